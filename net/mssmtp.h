#pragma once
// The SMTP client: delivers one message at a time over a connection that may stay open for
// several. Send encodes the message, sends the envelope (the sender, then every To, CC and BCC
// recipient; BCC addresses appear nowhere in the data) and then the data, dot-stuffed on the
// wire so that every line arrives as the encoder wrote it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/msmsg.h"
#include "net/agsocket.h"

namespace kivo {

class TmsSMTP : public TmsMailBase {
  public:
    using TmsAddressRejectedEvent =
        std::function<void(TagSocket& sender, const std::string& theAddress,
                           const std::string& serverReply, bool& proceed)>;

    explicit TmsSMTP(Platform& platform);

    // The message to send; borrowed, so it must outlive the Send that uses it.
    TmsMessage* MailMessage = nullptr;
    // Log-in after the greeting (AUTH); no log-in while AuthUser is empty.
    std::string AuthUser;
    std::string AuthPassword;

    TNotifyEvent OnPrepare;
    TNotifyEvent OnSending;
    TNotifyEvent OnMailSent;
    TmsAddressRejectedEvent OnAddressRejected;

    // Checks Server, then connects.
    void Connect() override;
    void LogIn() override;
    void LogOut() override;

    // Open, Send, and Close in any case.
    void SendMail();
    // Sends MailMessage over the open connection; the connection stays open.
    void Send();
    // Opens the connection when needed and sends RSET.
    void Reset();
    // The envelope and data of one message: the dialogue Send runs once the message is
    // encoded. `data` is the encoded message as it should arrive.
    void SendEnvelope(std::string_view from, const std::vector<std::string>& recipients,
                      std::string_view data);

  private:
    // Sends the command and reads the (multi-line) reply; raises EServerError with the last
    // reply line unless the reply's first digit is `expected`.
    void Expect(std::string_view command, int expected);
    // HELO with the local host name, the bare HELO when that is refused.
    void Helo();
    // EHLO; false when refused. The extensions the server named are kept.
    bool Ehlo();
    bool HasExtension(std::string_view keyword) const;
    // The words after an extension's keyword ("AUTH PLAIN LOGIN": PLAIN, LOGIN).
    std::vector<std::string> ExtensionWords(std::string_view keyword) const;
    // AUTH with the best mechanism both sides know.
    void Authenticate();
    void AuthenticateWith(const std::vector<std::string>& offered);
    // The MAIL FROM parameters EHLO allows: SIZE and BODY=8BITMIME. Raises when the
    // message is larger than the server takes.
    std::string MailParameters(std::string_view data);

    std::vector<std::string> extensions_;  // EHLO's lines after the first; empty after HELO
    bool extended_ = false;                // EHLO was accepted
};

// The data as it goes on the wire: every line that begins with "." gets one more.
std::string StuffDots(std::string_view data);

}  // namespace kivo
