#pragma once
// The SMTP client: delivers one message at a time over a connection that may stay open for
// several. Send encodes the message into a temporary file, sends the envelope (the sender, then
// every To, CC and BCC recipient; BCC addresses appear nowhere in the data) and then the data
// from that file in pieces, dot-stuffed on the wire so that every line arrives as the encoder
// wrote it: a large message is never held whole. Whatever a server says, a reply is bounded
// in lines and bytes, and the data of one message has a deadline scaled to its size.

#include <cstdint>
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

    // The encoded message read in pieces: `read` fills the buffer and returns how many bytes
    // it gave, 0 at the end; `size` and `eightBit` describe the whole of it.
    struct TData {
        std::uint64_t size = 0;
        bool eightBit = false;
        std::function<std::size_t(char* buffer, std::size_t capacity)> read;
    };
    void SendEnvelope(std::string_view from, const std::vector<std::string>& recipients,
                      const TData& data);

    // What one reply may hold: a server that says more is cut off with an error naming it.
    static constexpr int kMaxReplyLines = 500;
    static constexpr std::size_t kMaxReplyBytes = 64 * 1024;
    // The slowest transfer of message data allowed: beyond the idle time-out, a message of N
    // bytes gets N / this many seconds, from its first byte to the server's final reply.
    static constexpr std::uint64_t kSlowestDataBytesPerSecond = 10 * 1024;

  private:
    // A reply of one or more "code-" lines, bounded by kMaxReplyLines and kMaxReplyBytes: the
    // code of the first line, LastReply the last, every line in `lines` when given.
    int ReadSmtpReply(std::vector<std::string>* lines = nullptr);
    // "host:port" of the server connected to, for errors.
    std::string ServerName() const;
    // Sends the command and reads the (multi-line) reply; raises EServerError with the last
    // reply line unless the reply's first digit is `expected`.
    void Expect(std::string_view command, int expected);
    // The data, the empty line and the "." line, and the server's reply to them, all within
    // the message's deadline.
    void SendData(const TData& data);
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
    std::string MailParameters(const TData& data);

    std::vector<std::string> extensions_;  // EHLO's lines after the first; empty after HELO
    bool extended_ = false;                // EHLO was accepted
};

// The data as it goes on the wire: every line that begins with "." gets one more.
std::string StuffDots(std::string_view data);

// StuffDots over data that comes in pieces: each piece is stuffed as if it followed the
// pieces before it.
class TDotStuffer {
  public:
    void Append(std::string_view piece, std::string& out);

  private:
    bool lineStart_ = true;
};

}  // namespace kivo
