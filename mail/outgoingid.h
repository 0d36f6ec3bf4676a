#pragma once
// What a message needs when it leaves for a server: a "Message-ID:" of its own on the
// sender's domain and a "Date:". Many servers score mail without them as spam. Queued
// messages written by other programs, or copied into Out by hand, may lack both.

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace kivo {

class TmsHeaders;

// A new message identifier, "<unique@domain>", unique to this call: random bits, the time
// and a count. The domain is that of `senderAddress`, else the host's name.
std::string NewMessageId(std::string_view senderAddress);

// Adds "Message-ID:" and "Date:" (the time `now`, in the local zone) when the headers have
// no such field; the lines already there stay as they are.
void AddMissingIdentity(TmsHeaders& headers, std::string_view senderAddress, const DateTime& now);

}  // namespace kivo
