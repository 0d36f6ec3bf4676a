#pragma once
// The composer's outgoing side over the real pieces: the queue form in "out.mbx" and
// "sent.mbx", the Outgoing filter list and an SMTP sender. The windows and the headless
// commands give each composer one.

#include <filesystem>

#include "compose/composerio.h"
#include "transfer/filterlists.h"
#include "transfer/smtpsender.h"

namespace kivo {

class TMailOutbox : public TComposerOutbox {
  public:
    TMailOutbox(std::filesystem::path mailFolder, std::filesystem::path accountsFile,
                TSmtpSender& smtp, TFilterLists& filters)
        : mailFolder_(std::move(mailFolder)),
          accountsFile_(std::move(accountsFile)),
          smtp_(smtp),
          filters_(filters) {}

    void Queue(const TmsMessage& message, std::optional<int> signatureLines,
               const std::vector<std::string>& attachments) override;
    void File(const TmsMessage& copy, std::optional<int> signatureLines, bool sent) override;
    void RunOutgoing(TmsMessage& message) override { filters_.RunOutgoing(message); }
    void Send(TmsMessage& message, const std::string& server, const std::string& account) override;

  private:
    std::filesystem::path mailFolder_;
    std::filesystem::path accountsFile_;
    TSmtpSender& smtp_;
    TFilterLists& filters_;
};

}  // namespace kivo
