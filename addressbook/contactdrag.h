#pragma once
// A contact dragged out of the mini address list. The drag carries two things: the contact
// itself as the list found it by the dragged entry (for the mailbox tree, which makes a
// mailbox and a filing script of it), and the contact's addresses as plain text, which the
// composer's address fields and other programs take like any dropped text.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/KivoAddress.h"

namespace kivo {

// The drag's own data format; plain text goes beside it.
inline constexpr const char* kContactMime = "application/x-kivo-contact";

struct TContactDrag {
    TListField field = lfEmail;  // the field the list showed
    std::string entry;           // the dragged entry, as shown
    TContact contact;            // the first contact whose shown field is the entry

    bool operator==(const TContactDrag&) const = default;
};

// The drag of an entry, or none when no contact has it.
std::optional<TContactDrag> DragOfEntry(const TfrmAddress& list, TListField field,
                                        std::string_view entry);

// The drag as its data format holds it, and back; data that is not a drag gives none.
std::string EncodeContactDrag(const TContactDrag& drag);
std::optional<TContactDrag> DecodeContactDrag(std::string_view data);

// The plain text of the drag: the contact's addresses ("a@x.org, b@y.org"), or, for a contact
// without any, the entry itself, which the composer then resolves as a typed name.
std::string ContactDragText(const TContactDrag& drag);

// The address lines that text dropped on an address field adds: one per non-empty line,
// trimmed; "mailto:" links give their address (without the "?" part) and vCards every
// address they hold.
std::vector<std::string> DroppedAddressLines(std::string_view text);

}  // namespace kivo
