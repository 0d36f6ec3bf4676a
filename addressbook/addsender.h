#pragma once
// Adding a message's sender to the address book (the message view's "From:" button): the
// From value becomes a contact whose first and last names come from the display name, or
// from the address's local part when there is no usable name.

#include <filesystem>
#include <optional>
#include <string_view>

#include "addressbook/addressfile.h"

namespace kivo {

class TFrmIndex;

inline constexpr const char* kAlreadyInBookTip = "Address is already in the Address Book";

// The contact a From value gives; none for a blank value or an address without "@".
std::optional<TContact> SenderContact(std::string_view fromValue);

enum class TAddSenderResult { Nothing, AlreadyThere, Added };

// Appends the sender to address.ini and saves at once. AlreadyThere (the caller shows
// kAlreadyInBookTip) when the lookup of the first name gives exactly this one address.
TAddSenderResult AddSender(std::string_view fromValue, const std::filesystem::path& addressFile,
                           int lookup);

// The main window's command: the sender of the message focused in an index window (its From
// header as stored). Nothing when no message is focused. Throws what reading the mailbox
// throws.
TAddSenderResult AddSenderOfFocused(const TFrmIndex& window,
                                    const std::filesystem::path& addressFile, int lookup);

}  // namespace kivo
