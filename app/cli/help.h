#pragma once
// Finding a command by its words and the help texts: `kivo --help`, `kivo help CMD` and
// `kivo CMD --help` all come from the command table.

#include <iosfwd>
#include <optional>
#include <span>
#include <string>

#include "app/cli/cli.h"

namespace kivo::cli {

// The command whose (possibly two-word) name starts the arguments, with its word count;
// null when none.
const Command* FindCommand(std::span<const std::string> args, std::size_t& words);

// The overview: global options and every command with its one line.
void PrintOverview(std::ostream& out);
// One command: usage, what it does, its options and further details.
void PrintCommandHelp(std::ostream& out, const Command& cmd);
// `kivo help WORDS...`: a command's help, or the commands whose names start with the words
// ("kivo help mailbox"). False when nothing matches.
bool PrintHelpFor(std::ostream& out, std::span<const std::string> words);
// `kivo help script [TOPIC]`: the language help the script window shows, whole, then the
// script commands of kivo; or one topic of it (a command such as SaveMessage, or a section).
// A kivo command ("kivo help script run") is left to PrintHelpFor: none is returned.
std::optional<int> PrintScriptHelp(std::ostream& out, std::ostream& err,
                                   std::span<const std::string> words);

}  // namespace kivo::cli
