#include "addressbook/minilistlink.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/inifile.h"

namespace kivo {

TAddressField AddressFieldNamed(std::string_view name) {
    std::string text = LowerCase(TrimView(name));
    std::erase(text, '&');
    if (text.ends_with(':')) text.pop_back();
    text = Trim(text);
    if (text == "to") return TAddressField::To;
    if (text == "cc") return TAddressField::Cc;
    if (text == "bcc") return TAddressField::Bcc;
    return TAddressField::None;
}

std::string FieldWithLine(std::string_view field, std::string_view line) {
    std::string text(field);
    // A field that already ends in a line break takes the line as it is.
    if (!text.empty() && !text.ends_with('\n')) text += "\r\n";
    text += line;
    return text;
}

void TMiniListLink::Link(TLinkedComposer& composer) {
    composer_ = &composer;
    highlighted_ = true;
}

void TMiniListLink::Unlink(const TLinkedComposer& composer) {
    if (composer_ != &composer) return;
    composer_ = nullptr;
    highlighted_ = false;
}

bool TMiniListLink::EntryReleased(std::string_view entry) {
    if (!composer_ || TrimView(entry).empty()) return false;
    const TAddressField field = composer_->FocusedField();
    if (field == TAddressField::None) return false;
    composer_->AddAddressLine(field, entry);
    return true;
}

std::optional<std::string> TMiniListLink::TakeDropTo() {
    std::optional<std::string> entry = std::move(dropTo_);
    dropTo_.reset();
    return entry;
}

}  // namespace kivo
