// The kivo executable. Until the windows exist it runs the headless commands: the global
// options come first, then a command name and its arguments.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "app/programfolder.h"
#include "app/singleinstance.h"
#include "base/platform.h"

namespace {

using kivo::cli::Command;

constexpr const char* kVersionText = "Kivo 1.0";

void PrintHelp(std::ostream& out) {
    out << "Usage: kivo [--home DIR] COMMAND [ARGS...]\n"
           "       kivo [--home DIR] /m [ADDRESS]\n"
           "       kivo --version | --help\n\n"
           "Options:\n"
           "  --home DIR   the program folder (default: $KIVO_HOME, else the executable's\n"
           "               folder when writable, else ~/.local/share/kivo)\n"
           "  --version    print the version\n"
           "  --help       print this help\n"
           "  /m ADDRESS   open a new message to ADDRESS (or a mailto: text) in the running\n"
           "               instance, or start one as `kivo run /m ADDRESS` does\n\n"
           "Commands:\n";
    for (const Command& cmd : kivo::cli::Commands()) {
        std::string head = std::string(cmd.name);
        if (!cmd.usage.empty()) head += " " + std::string(cmd.usage);
        out << "  " << head;
        if (head.size() < 34)
            out << std::string(34 - head.size(), ' ');
        else
            out << "\n  " << std::string(34, ' ');
        out << cmd.help << '\n';
    }
}

// The command whose (possibly two-word) name starts the arguments, with its word count.
const Command* FindCommand(const std::vector<std::string>& args, std::size_t& words) {
    const Command* best = nullptr;
    for (const Command& cmd : kivo::cli::Commands()) {
        std::size_t n = 0;
        std::string_view name = cmd.name;
        bool match = true;
        while (!name.empty()) {
            std::size_t blank = name.find(' ');
            std::string_view word = name.substr(0, blank);
            if (n >= args.size() || args[n] != word) {
                match = false;
                break;
            }
            ++n;
            name = blank == std::string_view::npos ? std::string_view() : name.substr(blank + 1);
        }
        if (match && (!best || n > words)) {
            best = &cmd;
            words = n;
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::optional<std::filesystem::path> home;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--version") {
            std::cout << kVersionText << '\n';
            return 0;
        }
        if (args[i] == "--help" || args[i] == "-h") {
            PrintHelp(std::cout);
            return 0;
        }
        if (args[i] == "--home") {
            if (i + 1 >= args.size()) {
                std::cerr << "kivo: --home needs a folder\n";
                return 2;
            }
            home = args[++i];
        } else if (args[i].starts_with("--home=")) {
            home = args[i].substr(7);
            if (home->empty()) {
                std::cerr << "kivo: --home needs a folder\n";
                return 2;
            }
        } else if (args[i].starts_with("-")) {
            std::cerr << "kivo: unknown option '" << args[i] << "' (see kivo --help)\n";
            return 2;
        } else {
            break;
        }
    }
    args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i));
    if (args.empty()) {
        PrintHelp(std::cerr);
        return 2;
    }

    std::size_t words = 0;
    const Command* cmd = nullptr;
    kivo::cli::Command compose{};
    if (args[0] == "/m" || args[0] == "/M") {
        // A mailto: link or a second start: the running instance takes the command, else
        // this start becomes the instance.
        const kivo::ProgramFolder folder = kivo::ProgramFolder::Locate(home, "/proc/self/exe");
        switch (kivo::SendToInstance(folder.InstanceSocket(), kivo::InstanceCommandText(args))) {
            case kivo::THandOver::Acknowledged:
                return 0;
            case kivo::THandOver::Unanswered:
                std::cerr << "kivo: the running instance is busy and has not answered yet; it "
                             "takes the command when it is free\n";
                return 1;
            case kivo::THandOver::NoInstance:
                break;
        }
        for (const Command& c : kivo::cli::Commands()) {
            if (c.name == "run") compose = c;
        }
        cmd = &compose;
    } else {
        cmd = FindCommand(args, words);
    }
    if (!cmd) {
        std::cerr << "kivo: unknown command '" << args[0] << "' (see kivo --help)\n";
        return 2;
    }
    kivo::HeadlessPlatform platform;
    kivo::cli::Context ctx{kivo::ProgramFolder::Locate(home, "/proc/self/exe"), platform, std::cout,
                           std::cerr};
    std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(words), args.end());
    if (cmd == &compose && rest.size() > 2) rest.resize(2);  // further arguments are ignored
    try {
        return cmd->run(ctx, rest);
    } catch (const kivo::cli::UsageError& e) {
        std::cerr << "kivo " << cmd->name << ": " << e.what() << "\nusage: kivo " << cmd->name
                  << (cmd->usage.empty() ? "" : " ") << cmd->usage << '\n';
        return 2;
    } catch (const std::exception& e) {
        // Texts meant for a message box may break their lines; the terminal gets one line.
        std::string text = e.what();
        for (char& c : text) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        std::cerr << "kivo " << cmd->name << ": " << text << '\n';
        return 1;
    }
}
