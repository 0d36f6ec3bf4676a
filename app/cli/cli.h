#pragma once
// The headless commands of the kivo executable. Each command gets the located program folder,
// the terminal platform and its own arguments, writes its result to `out`, and returns the
// process exit status. Errors are thrown as exceptions and reported by main as one line.

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "app/cli/commandline.h"
#include "app/programfolder.h"
#include "base/platform.h"

namespace kivo::cli {

struct Context {
    ProgramFolder folder;
    Platform& platform;
    std::ostream& out;
    std::ostream& err;
    TVerbosity verbosity = TVerbosity::Normal;
};

// The arguments as the command declared them: reads like the list of positional arguments,
// and holds the options given.
using Args = const CommandLine&;

struct Command {
    std::string_view name;   // first word(s) on the command line, e.g. "mbx count"
    std::string_view usage;  // arguments after the name
    std::string_view help;   // one line for `kivo --help`
    int (*run)(Context&, Args);
    std::span<const Option> options = {};  // besides the common ones
    std::string_view details = {};         // more lines for `kivo help CMD`
    bool usesFolder = true;                // false for the file tools (mbx, mime)
};

// Every command, in the order `kivo --help` lists them.
std::span<const Command> Commands();

// Commands are grouped by the file that implements them.
int InitCommand(Context& ctx, Args args);
int MbxCountCommand(Context& ctx, Args args);
int MbxExtractCommand(Context& ctx, Args args);
int AccountListCommand(Context& ctx, Args args);
int AccountAddCommand(Context& ctx, Args args);
int AccountSetCommand(Context& ctx, Args args);
int AccountDeleteCommand(Context& ctx, Args args);
int AccountDefaultCommand(Context& ctx, Args args);
int MimeDumpCommand(Context& ctx, Args args);
int MimeEncodeCommand(Context& ctx, Args args);
int LsCommand(Context& ctx, Args args);
int ShowCommand(Context& ctx, Args args);
int PrintCommand(Context& ctx, Args args);
int DeleteCommand(Context& ctx, Args args);
int MoveCommand(Context& ctx, Args args);
int CopyCommand(Context& ctx, Args args);
int CompressCommand(Context& ctx, Args args);
int RepairCommand(Context& ctx, Args args);
int EmptyTrashCommand(Context& ctx, Args args);
int MailboxTreeCommand(Context& ctx, Args args);
int MailboxNewCommand(Context& ctx, Args args);
int MailboxMkdirCommand(Context& ctx, Args args);
int MailboxRenameCommand(Context& ctx, Args args);
int MailboxDeleteCommand(Context& ctx, Args args);
int MailboxMoveCommand(Context& ctx, Args args);
int FindCommand(Context& ctx, Args args);
int CheckCommand(Context& ctx, Args args);
int SendCommand(Context& ctx, Args args);
int RunCommand(Context& ctx, Args args);
int ScriptListCommand(Context& ctx, Args args);
int ScriptRunCommand(Context& ctx, Args args);
int ScriptDryRunCommand(Context& ctx, Args args);
int ScriptFiltersCommand(Context& ctx, Args args);
int ScriptFiltersAddCommand(Context& ctx, Args args);
int ScriptFiltersRemoveCommand(Context& ctx, Args args);
int ScriptFiltersMoveCommand(Context& ctx, Args args);
int ScriptBuiltinCommand(Context& ctx, Args args);
int ComposeCommand(Context& ctx, Args args);
int UpdateCheckCommand(Context& ctx, Args args);
int MailtoCommand(Context& ctx, Args args);
int AddressbookListCommand(Context& ctx, Args args);
int AddressbookAddCommand(Context& ctx, Args args);
int AddressbookAddSenderCommand(Context& ctx, Args args);
int AddressbookResolveCommand(Context& ctx, Args args);
int AddressbookImportCommand(Context& ctx, Args args);
int AddressbookExportCommand(Context& ctx, Args args);
int ReplyCommand(Context& ctx, Args args);
int ReplyAllCommand(Context& ctx, Args args);
int ForwardCommand(Context& ctx, Args args);
int BounceCommand(Context& ctx, Args args);

}  // namespace kivo::cli
