// The kivo executable's command line: the global options come first, then a command name and
// its arguments. With no command (or "/m" and no running instance) the windows open when the
// executable has them and there is a display; the headless commands never need one.

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/climain.h"
#include "app/cli/help.h"
#include "app/programfolder.h"
#include "app/singleinstance.h"
#include "base/platform.h"
#include "base/terminaltext.h"

namespace {

using kivo::TVerbosity;
using kivo::cli::Command;

constexpr const char* kVersionText = "Kivo 1.0";
constexpr const char* kExecutable = "/proc/self/exe";

// The options before the command.
struct GlobalOptions {
    std::optional<std::filesystem::path> home;
    TVerbosity verbosity = TVerbosity::Normal;
};

// Reads the global options off the front of args; returns an exit status when the command
// line is already answered (--version, --help or an error).
std::optional<int> TakeGlobalOptions(std::vector<std::string>& args, GlobalOptions& global) {
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--version") {
            std::cout << kVersionText << '\n';
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            kivo::cli::PrintOverview(std::cout);
            return 0;
        }
        if (arg == "-q" || arg == "--quiet") {
            global.verbosity = TVerbosity::Quiet;
        } else if (arg == "-v" || arg == "--verbose") {
            global.verbosity = TVerbosity::Verbose;
        } else if (arg == "--home" || arg.starts_with("--home=")) {
            std::string value;
            if (arg != "--home") {
                value = arg.substr(7);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            }
            if (value.empty()) {
                std::cerr << "kivo: --home needs a folder\n";
                return 2;
            }
            global.home = value;
        } else if (arg.starts_with("-")) {
            std::cerr << "kivo: unknown option '" << kivo::VisibleControls(arg)
                      << "' (see kivo --help)\n";
            return 2;
        } else {
            break;
        }
    }
    args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i));
    return std::nullopt;
}

// kivo help [WORDS...]
int Help(const std::vector<std::string>& words) {
    if (words.empty()) {
        kivo::cli::PrintOverview(std::cout);
        return 0;
    }
    if (words[0] == "script") {
        const std::optional<int> status = kivo::cli::PrintScriptHelp(std::cout, std::cerr, words);
        if (status) return *status;
    }
    if (kivo::cli::PrintHelpFor(std::cout, words)) return 0;
    std::cerr << "kivo help: no command '" << kivo::VisibleControls(words[0])
              << "' (see kivo --help)\n";
    return 2;
}

void PrintUsage(const Command& cmd) {
    std::cerr << "usage: kivo " << cmd.name << (cmd.usage.empty() ? "" : " ") << cmd.usage << "\n";
}

// Runs the command; its errors become one line on stderr.
int Run(const Command& cmd, kivo::cli::Context& ctx, const kivo::cli::CommandLine& line) {
    try {
        return cmd.run(ctx, line);
    } catch (const kivo::cli::UsageError& e) {
        std::cerr << "kivo " << cmd.name << ": " << kivo::VisibleControls(e.what(), false) << '\n';
        PrintUsage(cmd);
        return 2;
    } catch (const std::exception& e) {
        // Texts meant for a message box may break their lines; the terminal gets one line.
        std::cerr << "kivo " << cmd.name << ": " << kivo::FieldText(e.what()) << '\n';
        return 1;
    }
}

// A display the windows can open on: X11, Wayland, or a Qt platform named outright
// (offscreen in the tests).
bool HaveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int kivo::cli::Main(int argc, char** argv, WindowsEntry windows) {
    std::vector<std::string> args(argv + 1, argv + argc);
    GlobalOptions global;
    if (const std::optional<int> status = TakeGlobalOptions(args, global)) return *status;
    const bool windowsOpen = windows && HaveDisplay();
    if (args.empty()) {
        if (windowsOpen) {
            return windows(kivo::ProgramFolder::Locate(global.home, kExecutable), argc, argv, {});
        }
        if (windows) std::cerr << "kivo: no display to open the windows on (DISPLAY is not set)\n";
        kivo::cli::PrintOverview(std::cerr);
        return 2;
    }
    if (args[0] == "help") return Help({args.begin() + 1, args.end()});

    std::size_t words = 0;
    const Command* cmd = nullptr;
    std::vector<std::string> rest;
    if (args[0] == "/m" || args[0] == "/M") {
        // A mailto: link or a second start: the running instance takes the command, else
        // this start becomes the instance.
        const kivo::ProgramFolder folder = kivo::ProgramFolder::Locate(global.home, kExecutable);
        // With a display the windows hand the command over themselves, and open the composer
        // on their own when the running instance has no windows.
        if (windowsOpen) {
            const std::vector<std::string> command(
                args.begin(), args.begin() + std::min<std::size_t>(2, args.size()));
            return windows(folder, argc, argv, command);
        }
        std::string refusal;
        switch (kivo::SendToInstance(folder.InstanceSocket(), kivo::InstanceCommandText(args),
                                     kivo::kHandOverWait, &refusal)) {
            case kivo::THandOver::Acknowledged:
                return 0;
            case kivo::THandOver::Refused:
                std::cerr << "kivo: " << kivo::VisibleControls(refusal) << '\n';
                return 1;
            case kivo::THandOver::Unanswered:
                std::cerr << "kivo: the running instance is busy and has not answered yet; it "
                             "takes the command when it is free\n";
                return 1;
            case kivo::THandOver::NoInstance:
                break;
        }
        const std::vector<std::string> run = {"run"};
        cmd = kivo::cli::FindCommand(run, words);
        // The address is taken as it is, whatever it looks like; further arguments are ignored.
        rest = {"--"};
        rest.insert(rest.end(), args.begin(), args.begin() + std::min<std::size_t>(2, args.size()));
    } else {
        cmd = kivo::cli::FindCommand(args, words);
        if (cmd) rest.assign(args.begin() + static_cast<std::ptrdiff_t>(words), args.end());
    }
    if (!cmd) {
        const std::vector<std::string> first = {args[0]};
        if (args[0] != "--" && kivo::cli::PrintHelpFor(std::cerr, first)) {
            std::cerr << "kivo " << kivo::VisibleControls(args[0]) << ": needs one of these\n";
        } else {
            std::cerr << "kivo: unknown command '" << kivo::VisibleControls(args[0])
                      << "' (see kivo --help)\n";
        }
        return 2;
    }

    kivo::cli::CommandLine line;
    try {
        line = kivo::cli::CommandLine(rest, cmd->options);
    } catch (const kivo::cli::UsageError& e) {
        std::cerr << "kivo " << cmd->name << ": " << kivo::VisibleControls(e.what(), false) << '\n';
        PrintUsage(*cmd);
        return 2;
    }
    if (line.HelpAsked()) {
        kivo::cli::PrintCommandHelp(std::cout, *cmd);
        return 0;
    }
    // An option after the command wins over one before it.
    if (const std::optional<std::string> home = line.Value("--home")) {
        if (home->empty()) {
            std::cerr << "kivo: --home needs a folder\n";
            return 2;
        }
        global.home = *home;
    }
    const TVerbosity verbosity =
        line.Verbosity() != TVerbosity::Normal ? line.Verbosity() : global.verbosity;

    kivo::HeadlessPlatform platform;
    kivo::cli::Context ctx{kivo::ProgramFolder::Locate(global.home, kExecutable), platform,
                           std::cout, std::cerr, verbosity};
    if (verbosity == TVerbosity::Verbose && cmd->usesFolder) {
        std::cerr << "kivo: program folder " << ctx.folder.root.string() << " ("
                  << ctx.folder.chosenBy << ")\n";
    }
    return Run(*cmd, ctx, line);
}
