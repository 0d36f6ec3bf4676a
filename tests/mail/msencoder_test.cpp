#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "mail/msmsg.h"
#include "tests/mail/attachment_maker.h"
#include "mail/quotedprintable.h"

namespace kivo {
namespace {

constexpr auto Att = test::MakeAttachment;

TmsMessage Simple() {
    TmsMessage message;
    message.Sender() = TmsMailAddress("jane@x.org", "Jane Smith");
    message.Recipients().AddAddress("bob@y.org", "");
    message.SetSubject("Hi");
    message.Body().push_back("Hello");
    return message;
}

// The boundaries the text declares, in order; empty strings for any not of the form 8 digits
// from 0 to 8.
std::vector<std::string> Boundaries(const std::string& text) {
    std::vector<std::string> found;
    const std::string key = "boundary=\"";
    for (std::size_t pos = text.find(key); pos != std::string::npos;
         pos = text.find(key, pos + 1)) {
        std::string value = text.substr(pos + key.size(), 9);
        bool good = value.size() == 9 && value[8] == '"';
        for (std::size_t i = 0; good && i < 8; ++i) good = value[i] >= '0' && value[i] <= '8';
        found.push_back(good ? value.substr(0, 8) : "");
    }
    return found;
}

// The output with every boundary replaced by B1, B2, ... in order of appearance.
std::string Normalized(TmsCustomMessage& message) {
    std::string text = message.SaveToString();
    int n = 0;
    for (const std::string& value : Boundaries(text)) {
        EXPECT_FALSE(value.empty()) << text;
        if (value.empty()) continue;
        std::string name = "B" + std::to_string(++n);
        for (std::size_t pos; (pos = text.find(value)) != std::string::npos;) {
            text.replace(pos, value.size(), name);
        }
    }
    return text;
}

TEST(Encoder, PlainMessageIsWrittenExactly) {
    TmsMessage message = Simple();
    message.Headers().Add("Date: Sun, 4 Jul 1999 09:05:00 +0200");
    message.Headers().Add("Subject: old subject");
    message.Headers().Add("To: old@x.org,");
    message.Headers().Add("\told2@x.org");
    message.Headers().Add("X-Own: kept");
    EXPECT_EQ(message.SaveToString(),
              "From:     Jane Smith <jane@x.org>\r\n"
              "To:        <bob@y.org>\r\n"
              "Date: Sun, 4 Jul 1999 09:05:00 +0200\r\n"
              "X-Own: kept\r\n"
              "Subject: Hi\r\n"
              "Mime-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "\r\n"
              "Hello\r\n");
    // The fields the encoder writes itself have left Headers for good.
    EXPECT_EQ(message.Headers().Lines(),
              (std::vector<std::string>{"Date: Sun, 4 Jul 1999 09:05:00 +0200", "X-Own: kept"}));
}

TEST(Encoder, HeaderFieldsAndAddressLayout) {
    TmsMessage message = Simple();
    message.Sender().SetName("J. Smith");
    message.Recipients().Clear();
    message.Recipients().AddAddress("a@x.org", "Ann");
    message.Recipients().AddAddress("b@x.org", "Smith, Bob");
    message.Recipients().AddAddress("c@x.org", "");
    message.CC().AddAddress("d@x.org", "\"Quoted\" Dee");
    message.BCC().AddAddress("hidden@x.org", "Hidden");
    message.SetReturnReceipt(true);
    message.SetPriority(ptLow);
    std::string text = message.SaveToString();
    EXPECT_EQ(text.substr(0, text.find("Subject:")),
              "From:     \"J. Smith\" <jane@x.org>\r\n"
              "To:       Ann <a@x.org>,\r\n"
              "          \"Smith, Bob\" <b@x.org>,\r\n"
              "           <c@x.org>\r\n"
              "CC:       \"Quoted\" Dee <d@x.org>\r\n"
              "Return-Receipt-To: <jane@x.org>\r\n"
              "X-Priority: 5\r\n");
    EXPECT_EQ(text.find("hidden"), std::string::npos);

    TmsMessage bccOnly = Simple();
    bccOnly.Recipients().Clear();
    bccOnly.BCC().AddAddress("hidden@x.org", "");
    bccOnly.SetPriority(ptHigh);
    text = bccOnly.SaveToString();
    EXPECT_EQ(text.find("To:"), std::string::npos);
    EXPECT_EQ(text.find("CC:"), std::string::npos);
    EXPECT_NE(text.find("\r\nX-Priority: 1\r\n"), std::string::npos);
}

TEST(Encoder, Iso2022jpNamesAndSubjectBecomeEncodedWords) {
    TmsMessage message = Simple();
    message.SetCharSet(csISO2022jp);
    message.Sender().SetName("\x1b$B$3\x1b(B");
    message.SetSubject("\x1b$B$3\x1b(B");
    std::string text = message.SaveToString();
    EXPECT_NE(text.find("From:     =?ISO-2022-JP?B?GyRCJDMbKEI=?= <jane@x.org>\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Subject: =?ISO-2022-JP?B?GyRCJDMbKEI=?=\r\n"), std::string::npos);
    EXPECT_NE(text.find("charset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: 7bit\r\n"),
              std::string::npos);
}

// Dots are the SMTP client's business: the text keeps "." lines of the body and of a text
// attachment as they are (doubling them made the recipient read "..", dropping lost data).
TEST(Encoder, DotLinesAreWrittenAsTheyStand) {
    TmsMessage message = Simple();
    message.Body() = {"before", ".", "after"};
    message.Attachments().Add(Att("t.dat", "text/plain", aeNone, "one\r\n.\r\ntwo\r\n"));
    std::string text = message.SaveToString();
    EXPECT_EQ(message.Body(), (std::vector<std::string>{"before", ".", "after"}));
    EXPECT_NE(text.find("\r\nbefore\r\n.\r\nafter\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\none\r\n.\r\ntwo\r\n"), std::string::npos);
}

TEST(Encoder, BodyTextSectionByCharsetAndLineLength) {
    struct Case {
        TCharSet charSet;
        std::string line;
        const char* head;
        bool quotedPrintable;
    };
    const Case cases[] = {
        {csUSASCII, "short", "charset=\"us-ascii\"", false},
        {csUSASCII, std::string(255, 'a'), "charset=\"us-ascii\"", false},
        {csUSASCII, std::string(300, 'a'), "charset=\"us-ascii\"", true},
        {csISO8859, "Gr\xfc\xdf" "e", "charset=\"iso-8859-1\"", true},
    };
    for (const Case& c : cases) {
        TmsMessage message = Simple();
        message.SetCharSet(c.charSet);
        message.Body() = {c.line};
        std::string text = message.SaveToString();
        std::string expectedBody =
            c.quotedPrintable ? JoinLinesCrLf(EncodeQuotedPrintable(c.line + "\r\n")) : c.line + "\r\n";
        std::string expected = std::string("Content-Type: text/plain; ") + c.head +
                               "\r\nContent-Transfer-Encoding: " +
                               (c.quotedPrintable ? "quoted-printable" : "7bit") + "\r\n\r\n" +
                               expectedBody;
        EXPECT_TRUE(text.ends_with(expected)) << c.line.size() << "\n" << text;
    }
}

TEST(Encoder, MultipartMixedLayout) {
    TmsMessage message = Simple();
    message.Attachments().Add(Att("dir/x.gif", "image/gif", aeBase64, std::string(60, '\0')));
    message.Attachments().Add(Att("notes.txt", "text/plain", aeQuotedPrintable, "caf\xe9\r\n"));
    std::string text = Normalized(message);
    EXPECT_TRUE(text.ends_with(
        "Subject: Hi\r\n"
        "Mime-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"B1\"\r\n"
        "\r\n"
        "This is a multipart message in MIME format\r\n"
        "\r\n"
        "--B1\r\n"
        "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n"
        "Hello\r\n"
        "\r\n"
        "--B1\r\n"
        "Content-Type: image/gif; name=\"x.gif\"\r\n"
        "Content-Transfer-Encoding: Base64\r\n"
        "Content-Disposition: attachment; filename=\"x.gif\"\r\n"
        "\r\n"
        "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n"
        "AAAA\r\n"
        "\r\n"
        "--B1\r\n"
        "Content-Type: text/plain; charset=\"iso-8859-1\"; name=\"notes.txt\"\r\n"
        "Content-Transfer-Encoding: Quoted-Printable\r\n"
        "Content-Disposition: attachment; filename=\"notes.txt\"\r\n"
        "\r\n"
        "caf=E9\r\n"
        "\r\n"
        "--B1--\r\n"))
        << text;
}

TEST(Encoder, AlternativeNestedInMixed) {
    TmsMessage message = Simple();
    message.Attachments().Add(Att("_alt.0", "text/html", aeQuotedPrintable, "<p>Hello</p>"));
    message.Attachments().Add(Att("a.bin", "application/octet-stream", aeBase64, "abc"));
    std::string text = Normalized(message);
    EXPECT_TRUE(text.ends_with(
        "Content-Type: multipart/mixed; boundary=\"B1\"\r\n"
        "\r\n"
        "This is a multipart message in MIME format\r\n"
        "\r\n"
        "--B1\r\n"
        "Content-Type:  multipart/alternative; boundary=\"B2\"\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n"
        "--B2\r\n"
        "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n"
        "Hello\r\n"
        "\r\n"
        "--B2\r\n"
        "Content-Type: text/html\r\n"
        "Content-Transfer-Encoding: Quoted-Printable\r\n"
        "\r\n"
        "<p>Hello</p>\r\n"
        "--B2--\r\n"
        "--B1\r\n"
        "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"
        "Content-Transfer-Encoding: Base64\r\n"
        "Content-Disposition: attachment; filename=\"a.bin\"\r\n"
        "\r\n"
        "YWJj\r\n"
        "\r\n"
        "--B1--\r\n"))
        << text;
    // Alternative form: every attachment is an alternative, none carries a name.
    message.Attachments().Delete(1);
    text = Normalized(message);
    EXPECT_NE(text.find("Content-Type: multipart/alternative; boundary=\"B1\"\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("--B1\r\nContent-Type: text/html\r\n"), std::string::npos) << text;
}

// Every text part says what its 8-bit text is, so other readers need not guess; ASCII text
// and other types keep their labels.
TEST(Encoder, EveryEightBitTextPartDeclaresItsCharset) {
    struct Case {
        const char* why;
        std::string file, type, data;
        bool withBody;
        std::string contentType;  // the part's Content-Type line
    } cases[] = {
        {"the HTML alternative of a styled message", "_alt.htm", "text/html",
         "<p>caf\xC3\xA9</p>", true, "Content-Type: text/html; charset=\"utf-8\"\r\n"},
        {"an HTML body held as its one attachment", "_htmbody.htm", "text/html",
         "<p>caf\xC3\xA9</p>", false, "Content-Type: text/html; charset=\"utf-8\"\r\n"},
        {"a text file that is no UTF-8", "notes.txt", "text/plain", "caf\xE9", true,
         "Content-Type: text/plain; charset=\"iso-8859-1\"; name=\"notes.txt\"\r\n"},
        {"a text file that names its charset keeps it", "n.txt", "text/plain; charset=koi8-r",
         "\xF0\xD2", true, "Content-Type: text/plain; charset=koi8-r; name=\"n.txt\"\r\n"},
        {"ASCII text needs no label", "a.txt", "text/plain", "plain", true,
         "Content-Type: text/plain; name=\"a.txt\"\r\n"},
        {"bytes of another type are no text", "a.bin", "application/octet-stream", "\xE9", true,
         "Content-Type: application/octet-stream; name=\"a.bin\"\r\n"},
    };
    for (const Case& c : cases) {
        TmsMessage message = Simple();
        if (!c.withBody) message.Body().clear();
        message.Attachments().Add(Att(c.file, c.type, aeQuotedPrintable, c.data));
        const std::string text = message.SaveToString();
        EXPECT_NE(text.find(c.contentType), std::string::npos) << c.why << "\n" << text;
    }
}

// In a mailbox file (wrap-only mode) text stays as typed, one line a line, however long and
// whatever its characters: the mailbox code reads its "Attachment Converted:" lines back whole.
// Attachment data is still encoded so that it reads back byte for byte.
TEST(Encoder, MailboxFormKeepsTextWholeAndDataExact) {
    const std::string longLine =
        "Attachment Converted: \"/home/user/" + std::string(120, 'x') + "/report-Q4.csv\"";
    const std::string html = "<td width=10>caf\xC3\xA9 " + std::string(100, 'y') + "</td>";
    TmsMessage message = Simple();
    message.Body() = {"Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x91\x8B", "a=3D", longLine};
    message.Attachments().Add(Att("_alt.htm", "text/html", aeQuotedPrintable, html));
    std::string text;
    {
        WrapOnlyScope wrapOnly;
        text = message.SaveToString();
    }
    EXPECT_NE(text.find("Content-Type: text/plain; charset=\"utf-8\"\r\n"
                        "Content-Transfer-Encoding: 8bit\r\n\r\n"
                        "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x91\x8B\r\na=3D\r\n" + longLine + "\r\n"),
              std::string::npos)
        << text;
    TmsMessage back;
    back.LoadFromBytes(text);
    EXPECT_EQ(back.Body(), message.Body());
    ASSERT_EQ(back.Attachments().Count(), 1u);
    EXPECT_EQ(back.Attachments().Items(0).Data(), html);

    // A styled-only body too.
    TmsMessage styled = Simple();
    styled.SetContentType("text/html");
    styled.Body() = {html};
    {
        WrapOnlyScope wrapOnly;
        text = styled.SaveToString();
    }
    EXPECT_NE(text.find("Content-Type: text/html; charset=\"utf-8\"\r\n"
                        "Content-Transfer-Encoding: 8bit\r\n\r\n" + html + "\r\n"),
              std::string::npos)
        << text;
}

TEST(Encoder, BoundariesAreEightDigitsWithoutNine) {
    for (int i = 0; i < 20; ++i) {
        TmsMessage message = Simple();
        message.Attachments().Add(Att("a.bin", "application/octet-stream", aeBase64, "x"));
        std::string text = message.SaveToString();
        std::vector<std::string> boundaries = Boundaries(text);
        ASSERT_EQ(boundaries.size(), 1u) << text;
        ASSERT_FALSE(boundaries[0].empty()) << text;
        EXPECT_NE(text.find("\r\n--" + boundaries[0] + "--\r\n"), std::string::npos);
    }
}

TEST(Encoder, SinglePartLayouts) {
    TmsMessage message = Simple();
    message.Body().clear();
    message.Attachments().Add(Att("/home/u/report.pdf", "application/pdf", aeBase64, "%PDF"));
    EXPECT_TRUE(message.SaveToString().ends_with(
        "Mime-Version: 1.0\r\n"
        "Content-Type: application/pdf; name=\"report.pdf\"\r\n"
        "Content-Transfer-Encoding: Base64\r\n"
        "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
        "\r\n"
        "JVBERg==\r\n"));

    TmsMessage html = Simple();
    html.Body() = {"<p>caf\xe9</p>"};
    html.SetContentType("text/html");
    html.SetCharSet(csISO8859);
    EXPECT_TRUE(html.SaveToString().ends_with(
        "Content-Type: text/html; charset=\"iso-8859-1\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n"
        "\r\n"
        "<p>caf=E9</p>\r\n"));
    EXPECT_EQ(html.Body(), (std::vector<std::string>{"<p>caf=E9</p>"}));

    TmsMessage body = Simple();
    body.Body().clear();
    body.Attachments().Add(Att("_htmbody.htm", "text/html", aeQuotedPrintable, "<p>x</p>"));
    EXPECT_TRUE(body.SaveToString().ends_with(
        "Content-Type: text/html\r\n"
        "Content-Transfer-Encoding: Quoted-Printable\r\n"
        "\r\n"
        "<p>x</p>\r\n"));

    // A stored single-part type with no part to write: the body text is what there is.
    TmsMessage stray = Simple();
    stray.SetContentType("image/gif");
    EXPECT_TRUE(stray.SaveToString().ends_with("Content-Transfer-Encoding: 7bit\r\n\r\nHello\r\n"));
}

TEST(Encoder, UuencodedLayout) {
    TmsMessage message = Simple();
    message.SetEncoding(meUU);
    std::string data;
    for (int i = 0; i < 100; ++i) data += static_cast<char>(i * 7);
    message.Attachments().Add(Att("c:\\files\\data.bin", "", aeBase64, data));
    std::string text = message.SaveToString();
    EXPECT_EQ(text.find("Mime-Version"), std::string::npos);
    EXPECT_EQ(text.find("Content-Type"), std::string::npos);
    std::vector<std::string> lines = SplitLines(text.substr(text.find("Subject: Hi\r\n")));
    ASSERT_EQ(lines.size(), 10u) << text;
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Hello");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "begin 600 data.bin");
    EXPECT_EQ(lines[5].size(), 61u);
    EXPECT_EQ(lines[6].size(), 61u);
    EXPECT_EQ(lines[7][0], ' ' + 10);
    EXPECT_EQ(lines[8], "`");
    EXPECT_EQ(lines[9], "end");
}

TEST(Encoder, ArticleHeader) {
    TmsArticle article;
    article.Sender() = TmsMailAddress("me@x.org", "Me");
    article.SetNewsGroups("comp.mail.misc");
    article.SetSubject("Question");
    article.Body().push_back("text");
    EXPECT_TRUE(article.SaveToString().starts_with(
        "From:     Me <me@x.org>\r\n"
        "Newsgroups: comp.mail.misc\r\n"
        "Subject:  Question\r\n"
        "Mime-Version: 1.0\r\n"));
}

}  // namespace
}  // namespace kivo
