#pragma once
// What a composer reaches outside itself, as small interfaces implemented above it: the
// screen (tips, status text, progress log), the outgoing side (the Out and Sent mailboxes in
// queue form, the Outgoing filters, the SMTP client) and the styled body's HTML.

#include <optional>
#include <string>
#include <vector>

#include "mail/msmsg.h"

namespace kivo {

class TfrmSend;

class TComposerView {
  public:
    virtual ~TComposerView() = default;
    // A confirmation tip; lines are separated by "\n".
    virtual void ShowTip(const std::string& text) = 0;
    virtual void StatusText(const std::string& text) = 0;
    // A progress-log entry: 1 progress, 2 error.
    virtual void ErrorLevel(int level, const std::string& text) = 0;
    virtual void Progress(int /*percent*/) {}
    // Shows the window and brings it to the front (files were dropped on it).
    virtual void BringToFront() {}
    // The window goes out of sight while its message is sent at once.
    virtual void HideWindow() {}
};

class TComposerOutbox {
  public:
    virtual ~TComposerOutbox() = default;
    // Appends the message to "out.mbx" in queue form with "Status: RQ"; each file becomes an
    // "Attachment Converted:" line. Removes "out.idx" so the Out index is rebuilt.
    virtual void Queue(const TmsMessage& message, std::optional<int> signatureLines,
                       const std::vector<std::string>& attachments) = 0;
    // Files a copy in queue form with "Status: RS": in "sent.mbx" after a delivery, in
    // "out.mbx" when the delivery failed.
    virtual void File(const TmsMessage& copy, std::optional<int> signatureLines, bool sent) = 0;
    // The Outgoing filters; a "D" in the message's "Status:" value discards it.
    virtual void RunOutgoing(TmsMessage& message) = 0;
    // Delivers through the server, logged in as the account asks; throws with the error
    // text on any failure.
    virtual void Send(TmsMessage& message, const std::string& server,
                      const std::string& account) = 0;
};

// The HTML of a styled message, made from the composer's body and style state.
class TStyledBody {
  public:
    virtual ~TStyledBody() = default;
    virtual std::vector<std::string> HtmlLines(const TfrmSend& composer) = 0;
};

}  // namespace kivo
