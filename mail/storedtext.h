#pragma once
// The text of a message as a mailbox file holds it. Received mail is stored as text, but
// Out and Sent kept the body of messages written by older versions in its transfer encoding
// (quoted-printable, its long lines cut into pieces with nothing marking the cut). These
// helpers read either form as the text the user wrote; they never touch the file.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// "Attachment Converted: ": the line a stored body has for each attachment file.
inline constexpr std::string_view kStoredAttachmentPrefix = "Attachment Converted: ";

// Puts "Attachment Converted:" lines back together that the older form cut into pieces of
// at most 65 characters: a short line that begins one is joined with the lines after it
// until the quoted path closes.
void JoinWrappedAttachmentLines(std::vector<std::string>& body);

// The body lines as text: when the header lines declare a single-part text body in
// quoted-printable or base64, the body decoded and, when it is not UTF-8, converted from its
// declared charset; then cut attachment lines joined. Other bodies come back unchanged.
std::vector<std::string> StoredBodyText(const std::vector<std::string>& headers,
                                        std::vector<std::string> body);

}  // namespace kivo
