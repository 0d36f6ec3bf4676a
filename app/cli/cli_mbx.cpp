// kivo mbx count FILE / kivo mbx extract FILE N: mailbox files for scripts and checks.

#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "app/cli/cli.h"
#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxfile.h"
#include "store/mbxscanner.h"

namespace kivo::cli {

namespace {

// The mailbox named on the command line. Unlike the program's readers, which take a missing
// mailbox for an empty one, a command says so: a mistyped path must not look like "0".
std::filesystem::path ExistingMailbox(const std::string& arg) {
    std::filesystem::path path = ResolveNoCase(arg);
    MbxScanner probe(path);
    if (!probe.IsOpen())
        throw std::runtime_error("cannot open " + arg + ": " + probe.OpenError().message());
    return path;
}

}  // namespace

int MbxCountCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("expects one mailbox file");
    ctx.out << FindLastIndex(ExistingMailbox(args[0])) << '\n';
    return 0;
}

int MbxExtractCommand(Context& ctx, Args args) {
    if (args.size() != 2) throw UsageError("expects a mailbox file and a message number");
    std::filesystem::path path = ExistingMailbox(args[0]);
    int number = 0;
    if (!ParseInt(args[1], number))
        throw std::runtime_error("message number is not a whole number: '" + args[1] + "'");
    std::vector<std::string> lines;
    try {
        ExtractMsg(number, path, lines);
    } catch (const EIndexInvalid&) {
        throw std::runtime_error("no message " + args[1] + " in " + args[0] + " (it holds " +
                                 std::to_string(FindLastIndex(path)) + ")");
    }
    ctx.out << JoinLinesCrLf(lines);
    ctx.out.flush();
    return 0;
}

}  // namespace kivo::cli
