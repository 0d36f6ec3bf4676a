#include "transfer/smtpsender.h"

#include "net/mssmtp.h"

namespace kivo {

namespace {

// Lends the message to the client for one call; the client only borrows it.
class LentMessage {
  public:
    LentMessage(TmsSMTP& smtp, TmsMessage& message) : smtp_(smtp) { smtp_.MailMessage = &message; }
    ~LentMessage() { smtp_.MailMessage = nullptr; }
    LentMessage(const LentMessage&) = delete;
    LentMessage& operator=(const LentMessage&) = delete;

  private:
    TmsSMTP& smtp_;
};

}  // namespace

TSmtpAccess SmtpAccessOf(const Account& account) {
    return {account.SmtpSecurity(), account.security.trustCert, account.SmtpAuthUser(),
            account.SmtpAuthPassword()};
}

TSmtpAccess SmtpAccessFor(const std::filesystem::path& accountsFile, std::string_view server,
                          std::string_view account) {
    const std::vector<Account> accounts = ReadAccounts(accountsFile);
    const Account* a = SmtpAccountFor(accounts, server, account, true);
    return a ? SmtpAccessOf(*a) : TSmtpAccess{};
}

void TSmtpClientSender::SetEvents(TSmtpEvents events) {
    smtp_.OnProgress = [progress = std::move(events.progress)](TagSocket&, int perc, std::int64_t) {
        if (progress) progress(perc);
    };
    smtp_.OnError = [error = std::move(events.error)](TagSocket&, std::string& text) {
        if (error) error(text);
    };
}

void TSmtpClientSender::SetServer(std::string_view server) {
    smtp_.Server = server;
}

void TSmtpClientSender::SetAccess(const TSmtpAccess& access) {
    smtp_.Security = access.security;
    smtp_.TrustCert = access.trustCert;
    smtp_.AuthUser = access.user;
    smtp_.AuthPassword = access.password;
}

void TSmtpClientSender::Open() {
    smtp_.Open();
}

void TSmtpClientSender::Send(TmsMessage& message) {
    LentMessage lent(smtp_, message);
    smtp_.Send();
}

void TSmtpClientSender::SendMail(TmsMessage& message) {
    LentMessage lent(smtp_, message);
    smtp_.SendMail();
}

void TSmtpClientSender::Reset() {
    smtp_.Reset();
}

void TSmtpClientSender::Close() {
    smtp_.Close();
}

void TSmtpClientSender::Cancel() {
    smtp_.Cancel();
}

void SendAtOnce(Platform& platform, const std::filesystem::path& accountsFile, TmsMessage& message,
                std::string_view server, std::string_view account,
                std::function<void(std::string& text)> error) {
    TmsSMTP smtp(platform);
    TSmtpClientSender sender(smtp);
    sender.SetServer(server);
    sender.SetAccess(SmtpAccessFor(accountsFile, server, account));
    sender.SetEvents({{}, std::move(error)});
    sender.SendMail(message);
}

}  // namespace kivo
