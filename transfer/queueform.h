#pragma once
// The queue form of an outgoing message: how a message waits in "out.mbx" until the send
// queue delivers it. The composer, scripts and tests queue through QueueMessage; the send
// queue reads a queued message back with ReadQueued. Besides the message as the encoder
// writes it, the form carries the sending instructions as header lines that never travel:
// "X-SMTP:" (the server), "X-Bcc:" (the blind copies as comma text) and "X-Sig-Local:".

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mail/msmsg.h"

namespace kivo {

class Platform;

// The separator line of every queued message: "From ???@??? ??/??/???? ??:??:??" (split so
// that no "??/" reads as a trigraph).
inline constexpr const char* kQueueSeparator =
    "From ???@??? ??"
    "/??"
    "/???? ??:??:??";
inline constexpr const char* kAttachmentLinePrefix = "Attachment Converted: ";

struct TQueueOptions {
    // The "X-SMTP:" line; an empty text still writes the line (the default server then),
    // none leaves it out.
    std::optional<std::string> smtp;
    // The "X-Sig-Local:" line: the number of signature lines that close the body.
    std::optional<int> signatureLines;
    // Files to attach when the message is sent; each becomes an "Attachment Converted:" line.
    std::vector<std::filesystem::path> attachments;
};

// The lines the message adds to "out.mbx": an empty line, the separator, the optional
// "X-Sig-Local:" line, "Status: RQ", then the message as the encoder writes it (wrap-only
// mode, the text as typed) with the queue lines among its headers, and a "Message-ID:" and a
// "Date:" when the message has none, so that every attempt to send it carries the same ones.
// The message's BCC list becomes the "X-Bcc:" line and is not otherwise written. Lines that would start with "From " get a ">".
std::vector<std::string> QueueLines(const TmsMessage& message, const TQueueOptions& options);

// Appends the message in queue form to "out.mbx" of the mail folder (created when missing)
// through the locked append, so a running send queue or another process never loses it.
// Throws EAppendError.
void QueueMessage(const TmsMessage& message, const TQueueOptions& options,
                  const std::filesystem::path& mailFolder);

// A queued message made ready to send.
struct TQueuedMessage {
    TmsMessage message;  // decoded, the blind copies in BCC, the existing files attached
    std::string server;  // the "X-SMTP:" value, trimmed; empty for the default server
};

// Reads one queued message (its lines from the separator on, as extracted from "out.mbx"):
// takes the queue lines out of the header, decodes the rest, adds the "X-Bcc:" addresses as
// blind copies and attaches every file named by an "Attachment Converted:" line that exists
// (the line goes in any case; one that an older queue form cut into pieces is read whole).
// Throws when the message cannot be decoded or an existing file cannot be read.
TQueuedMessage ReadQueued(std::vector<std::string> lines, Platform* platform = nullptr);

}  // namespace kivo
