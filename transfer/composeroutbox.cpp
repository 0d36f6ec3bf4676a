#include "transfer/composeroutbox.h"

#include "base/files.h"
#include "store/mbxfile.h"
#include "transfer/queueform.h"

namespace kivo {

void TMailOutbox::Queue(const TmsMessage& message, std::optional<int> signatureLines,
                        const std::vector<std::string>& attachments) {
    TQueueOptions options;
    options.signatureLines = signatureLines;
    for (const std::string& file : attachments) options.attachments.emplace_back(file);
    QueueMessage(message, options, mailFolder_);
    // The Out index is built again from the file the next time Out is shown.
    std::error_code ec;
    std::filesystem::remove(FindFileNoCase(mailFolder_, "out.idx"), ec);
}

void TMailOutbox::File(const TmsMessage& copy, std::optional<int> signatureLines, bool sent) {
    TQueueOptions options;
    options.signatureLines = signatureLines;
    std::vector<std::string> lines = QueueLines(copy, options);
    for (std::string& line : lines) {
        if (line == "Status: RQ") {
            line = "Status: RS";
            break;
        }
    }
    AppendToFile(lines, FindFileNoCase(mailFolder_, sent ? "sent.mbx" : "out.mbx"));
    if (!sent) {
        std::error_code ec;
        std::filesystem::remove(FindFileNoCase(mailFolder_, "out.idx"), ec);
    }
}

void TMailOutbox::Send(TmsMessage& message, const std::string& server, const std::string& account) {
    std::string error;
    smtp_.SetEvents({.progress = {}, .error = [&error](std::string& text) { error = text; }});
    smtp_.SetServer(server);
    smtp_.SetAccess(SmtpAccessFor(accountsFile_, server, account));
    try {
        smtp_.SendMail(message);
    } catch (const std::exception& e) {
        if (!error.empty() && error != e.what()) throw std::runtime_error(error);
        throw;
    }
}

}  // namespace kivo
