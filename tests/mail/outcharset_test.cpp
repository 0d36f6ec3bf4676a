#include "mail/outcharset.h"

#include <gtest/gtest.h>

#include "base/bytes.h"
#include "mail/msmsg.h"
#include "mail/quotedprintable.h"

namespace kivo {
namespace {

TEST(OutCharset, HeaderTextBecomesEncodedWords) {
    struct Case {
        const char* text;
        const char* written;
        const char* why;
    } cases[] = {
        {"Plain \"ASCII\" =?x?=", "Plain \"ASCII\" =?x?=", "ASCII is untouched"},
        {"Grüße", "=?utf-8?Q?Gr=C3=BC=C3=9Fe?=", "UTF-8"},
        {"5 €_x", "=?utf-8?Q?5_=E2=82=AC=5Fx?=", "blank and underscore"},
        {"caf\xe9", "=?iso-8859-1?Q?caf=E9?=", "not UTF-8: Latin-1"},
        {"\xed\xa0\x80", "=?iso-8859-1?Q?=ED=A0=80?=", "a surrogate is no UTF-8"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeHeaderText(c.text), c.written) << c.why;
}

TEST(OutCharset, LongTextIsSplitBetweenCharacters) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "日本";
    const std::string written = EncodeHeaderText(text);
    std::size_t words = 0;
    for (std::size_t at = 0; at < written.size();) {
        std::size_t end = written.find(' ', at);
        if (end == std::string::npos) end = written.size();
        const std::string word = written.substr(at, end - at);
        EXPECT_LE(word.size(), 75u);
        EXPECT_TRUE(word.starts_with("=?utf-8?Q?") && word.ends_with("?=")) << word;
        // Every word holds whole characters: 9 encoded bytes each.
        EXPECT_EQ((word.size() - 12) % 9, 0u) << word;
        ++words;
        at = end + 1;
    }
    EXPECT_GT(words, 1u);
}

TmsMessage Message(std::string name, std::string subject, std::vector<std::string> body) {
    TmsMessage message;
    message.Sender() = TmsMailAddress("jo@x.org", name);
    message.Recipients().AddAddress("bob@y.org", "Bö Bob");
    message.SetSubject(subject);
    message.Body() = std::move(body);
    return message;
}

TEST(OutCharset, EncoderDeclaresTheBodyAndEncodesHeaders) {
    TmsMessage utf8 = Message("Jürgen", "Grüße", {"Grüße aus Köln", "5 €"});
    const std::string text = utf8.SaveToString();
    EXPECT_NE(text.find("From:     =?utf-8?Q?J=C3=BCrgen?= <jo@x.org>\r\n"), std::string::npos);
    EXPECT_NE(text.find("To:       =?utf-8?Q?B=C3=B6_Bob?= <bob@y.org>\r\n"), std::string::npos);
    EXPECT_NE(text.find("Subject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?=\r\n"), std::string::npos);
    EXPECT_NE(text.find("Content-Type: text/plain; charset=\"utf-8\"\r\n"
                        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                        "Gr=C3=BC=C3=9Fe aus K=C3=B6ln\r\n5 =E2=82=AC\r\n"),
              std::string::npos)
        << text;

    // What the recipient's reader makes of it: the typed text again.
    TmsMessage back;
    back.LoadFromBytes(text);
    EXPECT_EQ(back.Subject(), "Grüße");
    EXPECT_EQ(back.Body(), (std::vector<std::string>{"Grüße aus Köln", "5 €"}));

    TmsMessage latin = Message("Jo", "Hi", {"caf\xe9"});
    EXPECT_NE(latin.SaveToString().find("charset=\"iso-8859-1\"\r\n"
                                        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                        "caf=E9\r\n"),
              std::string::npos);
}

TEST(OutCharset, MailboxFilesKeepHeaderTextAsTyped) {
    TmsMessage stored = Message("Jürgen", "Grüße", {"x"});
    WrapOnlyScope wrapOnly;
    const std::string text = stored.SaveToString();
    EXPECT_NE(text.find("From:     Jürgen <jo@x.org>\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Subject: Grüße\r\n"), std::string::npos) << text;
}

TEST(OutCharset, AsciiMessageIsWrittenAsBefore) {
    TmsMessage ascii = Message("Jane Smith", "Hi", {"Hello"});
    ascii.Recipients().Clear();
    ascii.Recipients().AddAddress("bob@y.org", "");
    EXPECT_EQ(ascii.SaveToString(),
              "From:     Jane Smith <jo@x.org>\r\n"
              "To:        <bob@y.org>\r\n"
              "Subject: Hi\r\n"
              "Mime-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Hello\r\n");
}

}  // namespace
}  // namespace kivo
