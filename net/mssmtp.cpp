#include "net/mssmtp.h"

#include <exception>

#include "base/platform.h"
#include "mail/mserrors.h"

namespace kivo {

std::string StuffDots(std::string_view data) {
    std::string out;
    out.reserve(data.size() + data.size() / 64 + 2);
    bool lineStart = true;
    for (char c : data) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

TmsSMTP::TmsSMTP(Platform& platform) : TmsMailBase(platform) {
    DefaultPort = 25;
    SetServiceName("smtp");
}

void TmsSMTP::Connect() {
    if (Server.empty()) RaiseSocketText("Server property is required");
    ResetFlags();
    TmsMailBase::Connect();
}

void TmsSMTP::Expect(std::string_view command, int expected) {
    SendLine(command);
    if (ReadReply() / 100 != expected) throw EServerError(lastReply_);
}

void TmsSMTP::LogIn() {
    OpenConnection();
    if (ReadReply() / 100 != 2) throw EServerError(lastReply_);
    SendLine("HELO " + LocalHostName());
    if (ReadReply() / 100 != 2) Expect("HELO", 2);
}

void TmsSMTP::LogOut() {
    GetPlatform().Pump();
    Expect("QUIT", 2);
}

void TmsSMTP::SendMail() {
    Open();
    try {
        Send();
    } catch (...) {
        // The failure of the message is what the user must see, not that of the QUIT after it.
        try {
            Close();
        } catch (const std::exception&) {
        }
        throw;
    }
    Close();
}

void TmsSMTP::Send() {
    if (!MailMessage) RaiseSocketText("MailMessage property must be assigned");
    MailMessage->Validate();
    if (OnPrepare) OnPrepare(*this);
    std::string data = MailMessage->SaveToString(&GetPlatform());
    std::vector<std::string> recipients;
    for (const TmsAddressList* list :
         {&MailMessage->Recipients(), &MailMessage->CC(), &MailMessage->BCC()})
        for (const TmsMailAddress& address : *list) recipients.push_back(address.Address());
    SendEnvelope(MailMessage->Sender().Address(), recipients, data);
}

void TmsSMTP::SendEnvelope(std::string_view from, const std::vector<std::string>& recipients,
                           std::string_view data) {
    if (OnSending) OnSending(*this);
    if (!from.empty()) Expect("MAIL FROM:<" + std::string(from) + ">", 2);
    for (const std::string& address : recipients) {
        SendLine("RCPT TO:<" + address + ">");
        if (ReadReply() / 100 == 2) continue;
        bool proceed = false;
        if (OnAddressRejected) OnAddressRejected(*this, address, lastReply_, proceed);
        if (!proceed) throw EServerError(lastReply_);
    }
    Expect("DATA", 3);
    SendStream(StuffDots(data));
    SendLine("");
    Expect(".", 2);
    if (OnMailSent) OnMailSent(*this);
}

void TmsSMTP::Reset() {
    Open();
    SendLine("RSET");
    if (ReadLine(lastReply_) / 100 != 2) throw EServerError(lastReply_);
}

}  // namespace kivo
