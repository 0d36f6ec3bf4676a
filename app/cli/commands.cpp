#include "app/cli/cli.h"

namespace kivo::cli {

namespace {
// clang-format off
constexpr Command kCommands[] = {
    {"init", "", "create the program's data folders as start-up does", InitCommand},
    {"mbx count", "FILE", "print the number of messages in a mailbox file", MbxCountCommand},
    {"mbx extract", "FILE N", "print message N of a mailbox file", MbxExtractCommand},
    {"mime dump", "FILE", "decode a raw message file and print the result as JSON", MimeDumpCommand},
    {"mime encode", "FILE", "decode a raw message file and print it encoded again", MimeEncodeCommand},
};
// clang-format on
}  // namespace

std::span<const Command> Commands() { return kCommands; }

}  // namespace kivo::cli
