#pragma once
// A fetched message in the form the In mailbox stores it: the decoded message with its body
// reduced to text (the HTML alternative when there is one, the text parts, and one
// "Attachment Converted:" line per attachment written to the attachment folder), and the
// stored header lines "Content-Type:", "X-Account:" and "Status: U".

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/spoolfile.h"
#include "mail/msmsg.h"
#include "store/freename.h"

namespace kivo {

class Platform;

// A received message between decoding and storing; the incoming filters see and may change
// `message` in between.
struct ReceivedMessage {
    TmsMessage message;      // decoded; its parts are taken out, its Body is the stored body
    std::string storedType;  // the stored "Content-Type:" value
    std::vector<std::filesystem::path> files;  // attachment files written
};

// Decodes the raw message and writes its attachments into `folder` under free names (a
// sender's name is made safe first: no folders, no control characters, a sane length).
// Throws std::system_error when a file cannot be written.
ReceivedMessage ConvertReceived(std::string_view raw, const std::filesystem::path& folder,
                                Platform* platform = nullptr);
// The same into the folder of `names`, which a run keeps for all the messages it stores.
ReceivedMessage ConvertReceived(std::string_view raw, TFreeNames& names,
                                Platform* platform = nullptr);
// The same from the spool file the message arrived in: the attachment parts of at least
// `minSpooledPart` bytes of a message of at least 16 times that size are decoded from there
// into their files, never held in memory; a smaller message is read whole.
inline constexpr std::uint64_t kMinSpooledPart = 256 << 10;
ReceivedMessage ConvertReceived(const TSpoolFile& raw, TFreeNames& names,
                                Platform* platform = nullptr,
                                std::uint64_t minSpooledPart = kMinSpooledPart);

// The stored lines of the message, without the separator line: the header lines as the
// encoder writes them, the stored three set, the header end, one empty line, the stored body;
// every line that begins with "From " gets a ">" in front.
std::vector<std::string> StoredLines(ReceivedMessage& received, std::string_view account);

// The line that stands for an attachment file in a stored body.
std::string AttachmentLine(const std::filesystem::path& file);

// The stored header line that ties a saved attachment to the Content-ID its message gave it,
// one per such file: 'X-Content-File: <logo@example.org> "/path/to/logo.png"'. The message
// view resolves an HTML part's "cid:logo@example.org" to that file. Lines of that name in a
// received message are removed before storing.
inline constexpr std::string_view kContentIdField = "X-Content-File";
std::string ContentIdLine(std::string_view contentId, const std::filesystem::path& file);

}  // namespace kivo
