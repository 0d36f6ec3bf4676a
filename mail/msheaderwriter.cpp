// The header blocks the encoders write for messages and articles.

#include "mail/msencoder.h"

namespace kivo {

namespace {
constexpr std::size_t kAddressIndent = 10;
}  // namespace

void TmsMessageEncoder::WriteHeader() {
    const TmsMailAddress& sender = message_.Sender();
    WriteLine("From:     " + DisplayName(sender.Name()) + " <" + sender.Address() + ">");
    WriteAddressList("To", message_.Recipients());
    WriteAddressList("CC", message_.CC());
    if (message_.ReturnReceipt()) WriteLine("Return-Receipt-To: <" + sender.Address() + ">");
    if (message_.Priority() == ptLow) WriteLine("X-Priority: 5");
    if (message_.Priority() == ptHigh) WriteLine("X-Priority: 1");
    WriteOtherHeaders();
    if (!message_.Subject().empty()) WriteLine("Subject: " + SubjectText());
    if (message_.Encoding() == meMIME) WriteLine("Mime-Version: 1.0");
}

// "To:" padded to ten columns, then one address per line, further lines indented by ten
// blanks, every line but the last ending in ",".
void TmsMessageEncoder::WriteAddressList(std::string_view name, const TmsAddressList& list) {
    std::string head = std::string(name) + ":";
    head.resize(kAddressIndent, ' ');
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const TmsMailAddress& address = list.Items(i);
        std::string line = i == 0 ? head : std::string(kAddressIndent, ' ');
        line += DisplayName(address.Name()) + " <" + address.Address() + ">";
        if (i + 1 < list.Count()) line += ",";
        WriteLine(line);
    }
}

void TmsArticleEncoder::WriteHeader() {
    const TmsMailAddress& sender = article_.Sender();
    WriteLine("From:     " + sender.Name() + " <" + sender.Address() + ">");
    WriteLine("Newsgroups: " + article_.NewsGroups());
    WriteOtherHeaders();
    if (!article_.Subject().empty()) WriteLine("Subject:  " + SubjectText());
    if (article_.Encoding() == meMIME) WriteLine("Mime-Version: 1.0");
}

}  // namespace kivo
