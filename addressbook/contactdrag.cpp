#include "addressbook/contactdrag.h"

#include "addressbook/vcard.h"
#include "base/bytes.h"
#include "base/commatext.h"

namespace kivo {

namespace {

constexpr std::string_view kFieldNames[] = {"first", "last", "email"};
constexpr std::string_view kMailTo = "mailto:";

std::optional<TListField> FieldNamed(std::string_view name) {
    for (std::size_t k = 0; k < std::size(kFieldNames); ++k) {
        if (kFieldNames[k] == name) return static_cast<TListField>(k);
    }
    return std::nullopt;
}

std::string FromMailTo(std::string_view line) {
    std::string_view address = line.substr(kMailTo.size());
    address = address.substr(0, address.find('?'));
    return Trim(address);
}

}  // namespace

std::optional<TContactDrag> DragOfEntry(const TfrmAddress& list, TListField field,
                                        std::string_view entry) {
    std::optional<TContact> contact = list.ContactOfEntry(field, entry);
    if (!contact) return std::nullopt;
    return TContactDrag{field, std::string(entry), std::move(*contact)};
}

std::string EncodeContactDrag(const TContactDrag& drag) {
    return ToCommaText({std::string(kFieldNames[drag.field]), drag.entry, drag.contact.first,
                        drag.contact.last, drag.contact.email});
}

std::optional<TContactDrag> DecodeContactDrag(std::string_view data) {
    const std::vector<std::string> items = FromCommaText(data);
    if (items.size() != 5) return std::nullopt;
    const std::optional<TListField> field = FieldNamed(items[0]);
    if (!field) return std::nullopt;
    return TContactDrag{*field, items[1], {items[2], items[3], items[4]}};
}

std::string ContactDragText(const TContactDrag& drag) {
    return drag.contact.email.empty() ? drag.entry : drag.contact.email;
}

std::vector<std::string> DroppedAddressLines(std::string_view text) {
    std::vector<std::string> lines;
    if (FindNoCase(text, "BEGIN:VCARD") != std::string_view::npos) {
        for (const TContact& card : ReadVCards(text)) {
            if (!card.email.empty()) lines.push_back(card.email);
        }
        return lines;
    }
    for (const std::string& raw : SplitLines(text)) {
        std::string line = Trim(raw);
        if (StartsWithNoCase(line, kMailTo)) line = FromMailTo(line);
        if (!line.empty()) lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace kivo
