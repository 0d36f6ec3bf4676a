#include "app/cli/help.h"

#include <ostream>

#include "base/terminaltext.h"
#include "script/scripthelp.h"

namespace kivo::cli {

namespace {

constexpr std::size_t kColumn = 34;
constexpr std::size_t kWidth = 100;

// Text broken at blanks into lines of at most `width`, each after `indent` blanks but the
// first, which continues what is already on the line.
void PrintWrapped(std::ostream& out, std::string_view text, std::size_t indent) {
    const std::size_t width = kWidth > indent + 20 ? kWidth - indent : 20;
    while (text.size() > width) {
        std::size_t cut = text.rfind(' ', width);
        if (cut == std::string_view::npos || cut == 0) cut = width;
        out << text.substr(0, cut) << '\n' << std::string(indent, ' ');
        text.remove_prefix(cut);
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    }
    out << text << '\n';
}

// "  head    text", the text in a column of its own; a long head gets a line to itself.
void PrintRow(std::ostream& out, const std::string& head, std::string_view text) {
    out << "  " << head;
    if (head.size() + 2 <= kColumn)
        out << std::string(kColumn - head.size(), ' ');
    else
        out << "\n  " << std::string(kColumn, ' ');
    PrintWrapped(out, text, kColumn + 2);
}

std::string Synopsis(const Command& cmd) {
    std::string head(cmd.name);
    if (!cmd.usage.empty()) head += " " + std::string(cmd.usage);
    return head;
}

void PrintOptions(std::ostream& out, std::span<const Option> options) {
    for (const Option& o : options) {
        std::string head(o.name);
        if (!o.value.empty()) head += " " + std::string(o.value);
        PrintRow(out, head, o.help);
    }
}

}  // namespace

const Command* FindCommand(std::span<const std::string> args, std::size_t& words) {
    const Command* best = nullptr;
    for (const Command& cmd : Commands()) {
        std::size_t n = 0;
        std::string_view name = cmd.name;
        bool match = true;
        while (!name.empty()) {
            const std::size_t blank = name.find(' ');
            if (n >= args.size() || args[n] != name.substr(0, blank)) {
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

void PrintOverview(std::ostream& out) {
    out << "Usage: kivo [--home DIR] [-q | -v] COMMAND [ARGS...]\n"
           "       kivo [--home DIR] /m [ADDRESS]\n"
           "       kivo help [COMMAND] | --version | --help\n\n"
           "Options:\n"
           "  --home DIR     the program folder (default: $KIVO_HOME, else the executable's\n"
           "                 folder when it holds a kivo.ini, else $XDG_DATA_HOME/kivo, that\n"
           "                 is ~/.local/share/kivo)\n"
           "  -q, --quiet    print only errors on the error stream\n"
           "  -v, --verbose  also print the program folder used and what is being done\n"
           "  --version      print the version\n"
           "  -h, --help     print this help; kivo help COMMAND (or kivo COMMAND --help) for one\n"
           "  /m ADDRESS     open a new message to ADDRESS (or a mailto: text) in the running\n"
           "                 instance, or start one as `kivo run /m ADDRESS` does; when the\n"
           "                 instance has no windows (kivo run) the message opens in a window\n"
           "                 of its own on a display, and without one kivo says so (status 1)\n\n"
           "Options take their value as --opt VALUE or --opt=VALUE; -- ends the options.\n\n"
           "Commands:\n";
    for (const Command& cmd : Commands()) PrintRow(out, Synopsis(cmd), cmd.help);
}

void PrintCommandHelp(std::ostream& out, const Command& cmd) {
    out << "Usage: kivo " << Synopsis(cmd) << "\n\n";
    PrintWrapped(out, cmd.help, 0);
    out << "\nOptions:\n";
    PrintOptions(out, cmd.options);
    PrintOptions(out, CommonOptions());
    if (cmd.details.empty()) return;
    out << '\n';
    std::string_view details = cmd.details;
    while (!details.empty()) {
        const std::size_t end = details.find('\n');
        PrintWrapped(out, details.substr(0, end), 0);
        details = end == std::string_view::npos ? std::string_view() : details.substr(end + 1);
    }
}

bool PrintHelpFor(std::ostream& out, std::span<const std::string> words) {
    std::size_t used = 0;
    const Command* cmd = FindCommand(words, used);
    if (cmd && used == words.size()) {
        PrintCommandHelp(out, *cmd);
        return true;
    }
    std::string prefix;
    for (const std::string& w : words) prefix += w + " ";
    bool any = false;
    for (const Command& c : Commands()) {
        if (!(std::string(c.name) + " ").starts_with(prefix)) continue;
        if (!any) out << "Commands:\n";
        any = true;
        PrintRow(out, Synopsis(c), c.help);
    }
    return any;
}

std::optional<int> PrintScriptHelp(std::ostream& out, std::ostream& err,
                                   std::span<const std::string> words) {
    if (words.size() == 1) {
        out << ScriptHelpText()
            << "\nkivo help script COMMAND shows one command of the language.\n\n";
        PrintHelpFor(out, words);
        return 0;
    }
    std::size_t used = 0;
    const Command* cmd = FindCommand(words, used);
    if (cmd && used == words.size()) return std::nullopt;
    if (words.size() == 2) {
        if (const std::optional<std::string> topic = ScriptHelpOn(words[1])) {
            out << *topic;
            return 0;
        }
    }
    std::string asked;
    for (const std::string& w : words.subspan(1)) asked += (asked.empty() ? "" : " ") + w;
    err << "kivo help script: no command or section '" << VisibleControls(asked)
        << "' in the script language (see kivo help script)\n";
    return 2;
}

}  // namespace kivo::cli
