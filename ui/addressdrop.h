#pragma once
// Text dropped on an address field (a contact from the mini address list, addresses or a
// vCard from another program) goes in as new lines at the end of the field, never into the
// middle of an address already there. Dropped files are left to the field's window.

#include <string_view>

class QPlainTextEdit;

namespace kivo::ui {

// Makes the field take dropped addresses so.
void AcceptAddressDrops(QPlainTextEdit* field);

// Adds one line at the end of the field and scrolls it into view.
void AppendAddressLine(QPlainTextEdit* field, std::string_view line);

}  // namespace kivo::ui
