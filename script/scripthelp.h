#pragma once
// The script window's help on the language: one text with the sections General, Variables,
// Operators, Files and Commands, every command on a paragraph that starts with its syntax
// line, and the lookup the index and the F1 key use to find a place in it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The whole help text, lines ending in LF.
std::string_view ScriptHelpText();
// The index's root entry and its children.
std::string_view ScriptHelpIndexRoot();
std::vector<std::string> ScriptHelpIndexEntries();

// The help on one topic: a section ("Operators", any letter case) from its heading to the
// next, or every paragraph of a command ("if": both forms of If), each its syntax line and
// what it does. None when the help has no such topic.
std::optional<std::string> ScriptHelpOn(std::string_view topic);

// A place in the help text to scroll to and select.
struct THelpMatch {
    std::size_t offset = 0;
    std::size_t length = 0;
};
// The first line other than the first that begins with the topic, letter case aside.
std::optional<THelpMatch> FindHelpTopic(std::string_view helpText, std::string_view topic);
// The word at the caret: the characters up to the nearest blank, tab or line break on each
// side.
std::string WordAtCaret(std::string_view text, std::size_t caret);

}  // namespace kivo
