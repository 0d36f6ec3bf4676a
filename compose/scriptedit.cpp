#include "compose/scriptedit.h"

#include "base/bytes.h"
#include "compose/htmlstrip.h"

namespace kivo {

namespace {

// One line per address that is not blank.
std::string AddressLines(const TmsAddressList& list) {
    std::string text;
    for (const TmsMailAddress& entry : list) {
        if (Trim(entry.Address()).empty()) continue;
        if (!text.empty()) text += "\r\n";
        text += entry.Address();
    }
    return text;
}

}  // namespace

void FillFromScript(TfrmSend& composer, const TmsMessage& message) {
    std::vector<std::string> body = message.Body();
    if (EqualsNoCase(message.StoredContentType(), "text/html")) {
        // The stripper reads a whole message: a blank line marks where the body starts.
        body.insert(body.begin(), std::string());
        StripHtml(body);
        body.erase(body.begin());
    }
    composer.SetBodyText(JoinLinesCrLf(body));
    if (!message.Subject().empty()) composer.SetSubject(message.Subject());

    const std::string to = AddressLines(message.Recipients());
    const std::string cc = AddressLines(message.CC());
    const std::string bcc = AddressLines(message.BCC());
    if (!to.empty()) {
        composer.SetTo(to);
        composer.LeaveTo();
    }
    if (!cc.empty()) {
        composer.SetCc(cc);
        composer.LeaveCc();
    }
    if (!bcc.empty()) {
        composer.SetBcc(bcc);
        composer.LeaveBcc();
    }
}

}  // namespace kivo
