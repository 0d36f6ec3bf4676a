#pragma once
// Text from mail on its way to a terminal. A subject may carry encoded escape sequences that
// would retitle or clear the terminal, or a tab that adds a column to tab-separated output;
// these helpers show such characters instead of sending them. Stored text is never changed.

#include <string>
#include <string_view>

namespace kivo {

// Control characters shown visibly: C0 and DEL in caret form (ESC "^[", BEL "^G", DEL "^?"),
// the C1 controls of UTF-8 as "<U+009B>". Tabs are kept when `keepTabs` is set.
std::string VisibleControls(std::string_view text, bool keepTabs = true);
// One field of tab-separated output: tabs and line ends become blanks, other control
// characters are shown as VisibleControls shows them.
std::string FieldText(std::string_view text);

}  // namespace kivo
