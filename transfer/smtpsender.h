#pragma once
// The SMTP side of the send queue: one server at a time, either one connection for several
// messages (Open, Send..., Close) or a connection per message (SendMail). The SMTP client
// implements it (TSmtpClientSender); tests use doubles. Every failure is thrown, after the
// error event saw (and possibly changed) its text.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "accounts/account.h"
#include "mail/msmsg.h"
#include "net/agsocket.h"

namespace kivo {

class Platform;
class TmsSMTP;

struct TSmtpEvents {
    std::function<void(int percent)> progress;     // of the message data being sent
    std::function<void(std::string& text)> error;  // the text of the failure about to be thrown
};

// How the connection to one SMTP server is secured and logged in to; all empty: plain HELO.
struct TSmtpAccess {
    TSecurity security = TSecurity::none;
    std::string trustCert;
    std::string user;  // no log-in when empty
    std::string password;
};

class TSmtpSender {
  public:
    virtual ~TSmtpSender() = default;
    virtual void SetEvents(TSmtpEvents events) = 0;
    virtual void SetServer(std::string_view server) = 0;
    // For the connections to the server set last; plain unless called.
    virtual void SetAccess(const TSmtpAccess& /*access*/) {}
    // Connects and greets unless connected.
    virtual void Open() = 0;
    // Sends the message over the open connection, which stays open.
    virtual void Send(TmsMessage& message) = 0;
    // Sends the message in a connection of its own: open, send, and close in any case.
    virtual void SendMail(TmsMessage& message) = 0;
    // RSET, opening the connection first when needed.
    virtual void Reset() = 0;
    // Says goodbye and disconnects; the socket is closed even when that fails.
    virtual void Close() = 0;
    // Callable at any time, also while a call above waits for the server.
    virtual void Cancel() = 0;
};

// The security and log-in an account asks for on its SMTP server.
TSmtpAccess SmtpAccessOf(const Account& account);
// The access for `server` when `account` sends through it: that account's log-in when its
// "SMTP" names the server or it names none, else that of the account whose "SMTP" does;
// plain when no account fits.
TSmtpAccess SmtpAccessFor(const std::filesystem::path& accountsFile, std::string_view server,
                          std::string_view account);

// Sends one message at once in a connection of its own, logged in as SmtpAccessFor says;
// throws on any failure after `error` saw the text.
void SendAtOnce(Platform& platform, const std::filesystem::path& accountsFile, TmsMessage& message,
                std::string_view server, std::string_view account,
                std::function<void(std::string& text)> error);

// The sender over the real SMTP client, which it borrows.
class TSmtpClientSender : public TSmtpSender {
  public:
    explicit TSmtpClientSender(TmsSMTP& smtp) : smtp_(smtp) {}
    void SetEvents(TSmtpEvents events) override;
    void SetServer(std::string_view server) override;
    void SetAccess(const TSmtpAccess& access) override;
    void Open() override;
    void Send(TmsMessage& message) override;
    void SendMail(TmsMessage& message) override;
    void Reset() override;
    void Close() override;
    void Cancel() override;

  private:
    TmsSMTP& smtp_;
};

}  // namespace kivo
