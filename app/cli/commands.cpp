#include "app/cli/cli.h"

namespace kivo::cli {

namespace {
// clang-format off
constexpr Command kCommands[] = {
    {"init", "", "create the program's data folders as start-up does", InitCommand},
    {"mbx count", "FILE", "print the number of messages in a mailbox file", MbxCountCommand},
    {"mbx extract", "FILE N", "print message N of a mailbox file", MbxExtractCommand},
    {"account list", "", "list the accounts; * marks the default account", AccountListCommand},
    {"account add", "NAME [--email E] [--name N] [--pop-server S] [--pop-user U] "
                    "[--password P | --password-stdin] [--smtp S] [--leave-mail 0|1] "
                    "[--skip-big KB] [--check 0|1] [--sound 0|1] [--sig S] [--tag T]",
     "add an account", AccountAddCommand},
    {"account set", "NAME KEY=VALUE...", "change keys of an account (POPPass is given plain)",
     AccountSetCommand},
    {"account delete", "NAME", "delete an account (not the last one)", AccountDeleteCommand},
    {"account default", "[NAME]", "print or choose the default account", AccountDefaultCommand},
    {"mime dump", "FILE", "decode a raw message file and print the result as JSON", MimeDumpCommand},
    {"mime encode", "FILE", "decode a raw message file and print it encoded again", MimeEncodeCommand},
};
// clang-format on
}  // namespace

std::span<const Command> Commands() { return kCommands; }

}  // namespace kivo::cli
