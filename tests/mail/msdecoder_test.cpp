// Decoder behaviours beyond the sample messages of tests/data/mime (whose golden dumps are
// checked through `kivo mime dump`).

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "mail/msdecoder.h"
#include "mail/msmsg.h"

namespace kivo {
namespace {

// Raw message text from lines, each ended by CR LF.
std::string Raw(const std::vector<std::string>& lines) {
    return JoinLinesCrLf(lines);
}

TmsMessage Decode(const std::string& raw) {
    TmsMessage message;
    message.LoadFromBytes(raw);
    return message;
}

std::vector<std::string> Names(const TmsMessage& message) {
    std::vector<std::string> names;
    for (const TmsAttItem& item : message.Attachments()) names.push_back(item.FileName());
    return names;
}

std::vector<std::string> ErrorTail(const std::string& text) {
    return {"The following error has been occured while processing the message:", text,
            "The original message will be stored as an attachment"};
}

TEST(Decoder, UuencodedFilesInPlainText) {
    TmsMessage message = Decode(
        Raw({"Subject: files", "", "text", "begin 644", "#86)C", "`", "end", "between is dropped",
             "BEGIN 600 \"two words.bin\"", "", "#86)C", "END", "after is dropped", "."}));
    EXPECT_EQ(message.Encoding(), meUU);
    EXPECT_EQ(message.Body(), (std::vector<std::string>{"text"}));
    EXPECT_EQ(Names(message), (std::vector<std::string>{"att.0", "two words.bin"}));
    EXPECT_EQ(message.Attachments().Items(0).Data(), "abc");
    EXPECT_EQ(message.Attachments().Items(1).Data(), "abc");
    EXPECT_EQ(message.ContentType(), "");

    TmsMessage bad = Decode(Raw({"", "begin 644 x.bin", "#8{{{", "end"}));
    EXPECT_EQ(bad.Body(), ErrorTail("Error decoding the attachment"));
    EXPECT_EQ(Names(bad), (std::vector<std::string>{"original.eml"}));
}

TEST(Decoder, SinglePartTextVariants) {
    struct Case {
        std::vector<std::string> headers;
        std::vector<std::string> body;
        std::vector<std::string> expected;
        TCharSet charSet;
        const char* why;
    };
    const Case cases[] = {
        {{"Content-Type: text/plain; charset=ISO-2022-JP"},
         {"x"},
         {"x"},
         csISO2022jp,
         "Japanese text"},
        {{"Content-Type: text/plain", "X-MIME-Autoconverted: from 8bit to quoted-printable"},
         {"caf=E9"},
         {"caf\xe9"},
         csISO8859,
         "autoconverted text is quoted-printable"},
        {{"Content-Type: text/plain; charset=iso-2022-jp",
          "Content-Transfer-Encoding: Quoted-Printable"},
         {"a=3Db"},
         {"a=b"},
         csISO8859,
         "quoted-printable wins over iso-2022-jp"},
        {{"Content-Type: TEXT/PLAIN", "Content-Transfer-Encoding: BASE64"},
         {"YQ0KYg==", ".", "", "DQpj"},
         {"a", "b", "c"},
         csUSASCII,
         "base64 text; empty and dot lines skipped"},
        {{}, {"no type at all", "."}, {"no type at all", "."}, csUSASCII, "a last \".\" line is text"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = {"MIME-Version: 1.0"};
        lines.insert(lines.end(), c.headers.begin(), c.headers.end());
        lines.push_back("");
        lines.insert(lines.end(), c.body.begin(), c.body.end());
        TmsMessage message = Decode(Raw(lines));
        EXPECT_EQ(message.Body(), c.expected) << c.why;
        EXPECT_EQ(message.CharSet(), c.charSet) << c.why;
        EXPECT_EQ(message.Attachments().Count(), 0u) << c.why;
    }
}

TEST(Decoder, MimeTextWithUuencodedFileIsReadAsPlainText) {
    TmsMessage message = Decode(Raw({"MIME-Version: 1.0", "Content-Type: text/plain", "",
                                     "see file", "begin 644 f.bin", "#86)C", "`", "end"}));
    EXPECT_EQ(message.Encoding(), meUU);
    EXPECT_EQ(message.Body(), (std::vector<std::string>{"see file"}));
    EXPECT_EQ(Names(message), (std::vector<std::string>{"f.bin"}));
}

TEST(Decoder, SinglePartAttachments) {
    TmsMessage uue = Decode(Raw({"MIME-Version: 1.0", "Content-Type: application/x-stuff",
                                 "Content-Transfer-Encoding: x-uuencode", "", "begin 644 f",
                                 "#86)C", "`", "end", ".", "#86)C"}));
    ASSERT_EQ(uue.Attachments().Count(), 1u);
    const TmsAttItem& item = uue.Attachments().Items(0);
    EXPECT_EQ(item.FileName(), "att.0");
    EXPECT_EQ(item.ContentType(), "application/x-stuff");
    EXPECT_EQ(item.Encoding(), aeBase64);
    EXPECT_EQ(item.Data(), "abc");  // the "." line ends the data
    EXPECT_TRUE(uue.Body().empty());

    std::string binary("\0\x01\xff\r\n\0", 6);
    TmsMessage raw = Decode(Raw({"MIME-Version: 1.0", "Content-Type: application/octet-stream", "",
                                 std::string(70000, 'z') + binary}));
    EXPECT_EQ(raw.Attachments().Items(0).Data(), std::string(70000, 'z') + binary + "\r\n");
}

TEST(Decoder, MultipartPartsAndNames) {
    TmsMessage message = Decode(Raw({"MIME-Version: 1.0",
                                     "Content-Type: Multipart/Mixed; BOUNDARY=\"b\"",
                                     "",
                                     "preamble",
                                     "--b",
                                     "Content-Type: text/plain; charset=us-ascii",
                                     "",
                                     "body",
                                     "",
                                     "--b",
                                     "Content-Type: application/x-unknown-kind; name=\"data.zzqq\"",
                                     "Content-Transfer-Encoding: base64",
                                     "",
                                     "",
                                     "AAEC",
                                     "",
                                     "AwQ=",
                                     "",
                                     "--b",
                                     "",
                                     "no headers: text/plain",
                                     "--b",
                                     "Content-Type: text/html",
                                     "Content-Transfer-Encoding: quoted-printable",
                                     "",
                                     "<p>=",
                                     "x</p>",
                                     "--b--",
                                     "epilogue"}));
    EXPECT_EQ(message.Body(), (std::vector<std::string>{"body"}));
    ASSERT_EQ(Names(message), (std::vector<std::string>{"data.zzqq", "att.1", "att.2"}));
    const TmsAttList& att = message.Attachments();
    EXPECT_EQ(att.Items(0).ContentType(), "application/x-unknown-kind");
    EXPECT_EQ(att.Items(0).Data(), std::string("\0\1\2\3\4", 5));
    EXPECT_EQ(att.Items(1).ContentType(), "text/plain");
    EXPECT_EQ(att.Items(1).Encoding(), aeNone);
    EXPECT_EQ(att.Items(1).Data(), "no headers: text/plain");
    EXPECT_EQ(att.Items(2).Encoding(), aeQuotedPrintable);
    EXPECT_EQ(att.Items(2).Data(), "<p>x</p>");
    EXPECT_EQ(message.ContentType(), "multipart/mixed");
}

TEST(Decoder, FirstPartVariants) {
    // A base64 text part is the body like any other.
    TmsMessage base64First = Decode(Raw(
        {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
         "Content-Type: text/plain", "Content-Transfer-Encoding: base64", "", "aGk=", "--b--"}));
    EXPECT_EQ(base64First.Body(), (std::vector<std::string>{"hi"}));
    EXPECT_EQ(base64First.Attachments().Count(), 0u);

    // With iso-2022-jp it is the body.
    TmsMessage japanese =
        Decode(Raw({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
                    "Content-Type: text/plain; charset=iso-2022-jp",
                    "Content-Transfer-Encoding: base64", "", "aGkNCnRoZXJl", "--b--"}));
    EXPECT_EQ(japanese.Body(), (std::vector<std::string>{"hi", "there"}));
    EXPECT_EQ(japanese.CharSet(), csISO2022jp);

    // The only part: its type becomes the message's, and an empty part still gives a line.
    TmsMessage only = Decode(Raw({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b",
                                  "", "--b", "Content-Type: text/html", "", "<p>x</p>", "--b--"}));
    EXPECT_EQ(only.Body(), (std::vector<std::string>{"<p>x</p>"}));
    EXPECT_EQ(only.ContentType(), "text/html");
    TmsMessage empty = Decode(Raw({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b",
                                   "", "--b", "", "--b--"}));
    EXPECT_EQ(empty.Body(), (std::vector<std::string>{""}));
}

TEST(Decoder, NestedAlternativeWithOneInnerPartKeepsTheOuterParts) {
    TmsMessage message =
        Decode(Raw({"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=out", "", "--out",
                    "Content-Type: multipart/alternative; boundary=in", "", "--in",
                    "Content-Type: text/plain", "", "only text", "--in--", "--out",
                    "Content-Type: application/octet-stream; name=\"a.zzqq\"",
                    "Content-Transfer-Encoding: base64", "", "YWJj", "--out--"}));
    EXPECT_EQ(message.Body(), (std::vector<std::string>{"only text"}));
    EXPECT_EQ(Names(message), (std::vector<std::string>{"a.zzqq"}));
}

// Mail as other programs write it, read as readers read it; each row is the shape of a message
// that showed the fault. Nothing here ends in the error text and "original.eml".
TEST(Decoder, LenientAsReadersAre) {
    struct Case {
        const char* why;
        std::vector<std::string> lines;
        std::vector<std::string> body;
        std::vector<std::string> names;
        std::vector<std::string_view> notes;
    };
    const Case cases[] = {
        {"a multipart without MIME-Version (list software strips it)",
         {"Content-Type: multipart/mixed; boundary=b", "", "--b", "", "text", "--b",
          "Content-Type: application/pdf; name=a.pdf", "Content-Transfer-Encoding: base64", "",
          "JVBERg==", "--b--"},
         {"text"},
         {"a.pdf"},
         {}},
        {"an encrypted message: the \"Version: 1\" note is no body",
         {"MIME-Version: 1.0",
          "Content-Type: multipart/encrypted; protocol=\"application/pgp-encrypted\"; boundary=e",
          "", "--e", "Content-Type: application/pgp-encrypted", "", "Version: 1", "--e",
          "Content-Type: application/octet-stream; name=encrypted.asc", "",
          "-----BEGIN PGP MESSAGE-----", "--e--"},
         {},
         {"att.0", "encrypted.asc"},
         {}},
        {"a first part marked as attachment is saved; the text after it is the body",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
          "Content-Type: text/plain", "Content-Disposition: attachment; filename=notes.txt", "",
          "the notes", "--b", "Content-Type: text/plain", "", "the text", "--b--"},
         {"the text"},
         {"notes.txt"},
         {}},
        {"one bad character in base64 is skipped",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b", "", "text",
          "--b", "Content-Type: application/octet-stream; name=a.bin",
          "Content-Transfer-Encoding: base64", "", "YW!Jj", "--b--"},
         {"text"},
         {"a.bin"},
         {kNoteBadBase64}},
        {"the last part has no closing boundary",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b", "", "text",
          "--b", "Content-Type: application/octet-stream; name=a.bin",
          "Content-Transfer-Encoding: base64", "", "YWJj"},
         {"text"},
         {"a.bin"},
         {kNoteUnclosed}},
        {"the only part has no closing boundary",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b", "",
          "text without end"},
         {"text without end"},
         {},
         {kNoteUnclosed}},
        {"a nested multipart and the one around it have no closing boundary",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=x", "", "--x",
          "Content-Type: multipart/alternative; boundary=y", "", "--y", "", "text", "--y",
          "Content-Type: text/html", "", "<p>text</p>", "--y--", "no outer boundary"},
         {"text"},
         {"_alt.0"},
         {kNoteUnclosed}},
        {"a part's header block without the empty line after it",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
          "Content-Type: text/plain; charset=us-ascii", "Hello there,", "the text.", "--b--"},
         {"Hello there,", "the text."},
         {},
         {}},
        {"the message's header block without the empty line after it",
         {"From: a@b.c", "Subject: s", "Hello there"},
         {"Hello there"},
         {},
         {}},
        {"no boundary line at all: the text is the body",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=x", "", "Hi there,",
          "no parts."},
         {"Hi there,", "no parts."},
         {},
         {kNoteNoBoundary}},
        {"no boundary parameter (a line \"-- \" is no boundary line then)",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed", "", "text", "-- ", "sig"},
         {"text", "-- ", "sig"},
         {},
         {kNoteNoBoundary}},
        {"a nested multipart whose boundary never comes is text in its place",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=x", "", "--x",
          "Content-Type: multipart/alternative; boundary=y", "", "inner text", "--x",
          "Content-Type: application/octet-stream; name=a.bin", "", "abc", "--x--"},
         {"inner text"},
         {"a.bin"},
         {kNoteNoBoundary}},
        {"boundary lines followed by blanks",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b \t", "",
          "text", "--b ", "Content-Type: application/octet-stream; name=a.bin", "", "abc",
          "--b-- "},
         {"text"},
         {"a.bin"},
         {}},
        {"a line that only begins with the boundary is data; nothing is invented after it",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=\"==b==\"", "",
          "--==b==", "", "text", "--==b======", "more text", "--==b==x", "--==b==--x"},
         {"text", "--==b======", "more text", "--==b==x", "--==b==--x"},
         {},
         {kNoteUnclosed}},
        {"a boundary line as the last line of the data opens no part",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b", "",
          "text", "--b"},
         {"text"},
         {},
         {kNoteUnclosed}},
        {"boundary lines one after another hold no parts",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b", "",
          "text", "--b", "--b", "Content-Type: application/octet-stream; name=a.bin", "", "x",
          "--b", "--b--"},
         {"text"},
         {"a.bin"},
         {}},
        {"the boundary in the RFC 2231 form",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary*=us-ascii''b1", "",
          "--b1", "", "text", "--b1", "Content-Type: application/pdf; name*=utf-8''a%C3%A9.pdf",
          "", "x", "--b1--"},
         {"text"},
         {"a\xc3\xa9.pdf"},
         {}},
        {"a type without subtype is plain text, in a part too",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
          "Content-Type: text; charset=us-ascii", "", "text", "--b--"},
         {"text"},
         {},
         {}},
        {"a message of a type without subtype is plain text",
         {"MIME-Version: 1.0", "Content-Type: text", "", "Hello"},
         {"Hello"},
         {},
         {}},
        {"base64 declared on plain text keeps the text",
         {"MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=b", "", "--b",
          "Content-Type: text/plain", "Content-Transfer-Encoding: base64", "",
          "Hello Bob, this is", "plain text.", "--b--"},
         {"Hello Bob, this is", "plain text."},
         {},
         {}},
    };
    for (const Case& c : cases) {
        TmsMessage message = Decode(Raw(c.lines));
        EXPECT_EQ(message.Body(), c.body) << c.why;
        EXPECT_EQ(Names(message), c.names) << c.why;
        EXPECT_EQ(message.DecodeNotes(),
                  std::vector<std::string>(c.notes.begin(), c.notes.end()))
            << c.why;
    }
    TmsMessage skipped = Decode(Raw(cases[3].lines));
    EXPECT_EQ(skipped.Attachments().Items(0).Data(), "abc");

    // Header fields written the old ways read as the sender meant them.
    TmsMessage old = Decode(Raw({"From: <@a.com,@b.ru:test@attack.com>",
                                 "To: <@a.com,@b.ru:bob@x.org>, ann@y.org",
                                 "Subject: pre =?utf-8?Q?broken tail", "", "x"}));
    EXPECT_EQ(old.Sender().Address(), "test@attack.com");
    ASSERT_EQ(old.Recipients().Count(), 2u);
    EXPECT_EQ(old.Recipients().Items(0).Address(), "bob@x.org");
    EXPECT_EQ(old.Subject(), "pre =?utf-8?Q?broken tail");
}

TEST(Decoder, AlternativePartsAreNumberedAlternatives) {
    TmsMessage message = Decode(
        Raw({"MIME-Version: 1.0", "Content-Type: multipart/alternative; boundary=a", "", "--a",
             "Content-Type: text/plain", "", "text", "--a", "Content-Type: text/enriched", "", "x",
             "--a", "Content-Type: text/html", "", "<p>x</p>", "--a--"}));
    EXPECT_EQ(Names(message), (std::vector<std::string>{"_alt.0", "_alt.1"}));
    EXPECT_EQ(message.Attachments().Items(1).ContentType(), "text/html");
    EXPECT_EQ(message.ContentType(), "multipart/alternative");
}

// Multiparts inside multiparts are walked to their leaves (the shapes of today's mail
// programs are checked against Python's email package by MimeShapes; these are the rules).
TEST(Decoder, NestedMultipartsGiveTheirLeaves) {
    struct Case {
        const char* why;
        std::vector<std::string> lines;  // after a top-level multipart/mixed; boundary=x
        std::vector<std::string> body;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"related in an alternative: its HTML is the alternative, its picture an attachment",
         {"--x",
          "Content-Type: multipart/alternative; boundary=a",
          "",
          "--a",
          "",
          "text",
          "--a",
          "Content-Type: multipart/related; boundary=r",
          "",
          "--r",
          "Content-Type: text/html",
          "",
          "<img src=cid:p>",
          "--r",
          "Content-Type: image/png",
          "Content-ID: <p>",
          "Content-Transfer-Encoding: base64",
          "",
          "AAEC",
          "--r--",
          "--a--",
          "--x--"},
         {"text"},
         {"_alt.0", "att.1"}},
        {"a signed first part: the signed text is the body, the signature an attachment",
         {"--x",
          "Content-Type: multipart/signed; boundary=s",
          "",
          "--s",
          "Content-Type: multipart/mixed; boundary=m",
          "",
          "--m",
          "",
          "signed text",
          "--m",
          "Content-Type: application/pdf; name=a.pdf",
          "",
          "%PDF",
          "--m--",
          "--s",
          "Content-Type: application/pgp-signature",
          "",
          "sig",
          "--s--",
          "--x--"},
         {"signed text"},
         {"a.pdf", "att.1"}},
        {"a mixed after the body: its first part is an attachment like the rest",
         {"--x", "", "body", "--x", "Content-Type: multipart/mixed; boundary=m", "", "--m", "",
          "inner text", "--m", "Content-Type: image/gif", "", "GIF", "--m--", "--x",
          "Content-Type: text/plain", "", "tail", "--x--"},
         {"body"},
         {"att.0", "att.1", "att.2"}},
        {"a digest's parts without a type are messages",
         {"--x", "", "contents", "--x", "Content-Type: multipart/digest; boundary=d", "", "--d", "",
          "From: a@b.c", "", "one", "--d", "", "From: d@e.f", "", "two", "--d--", "--x--"},
         {"contents"},
         {"att.0", "att.1"}},
        {"a multipart without a boundary stays one raw part",
         {"--x", "", "body", "--x", "Content-Type: multipart/mixed", "", "raw", "--x--"},
         {"body"},
         {"att.0"}},
    };
    auto decode = [](const std::vector<std::string>& parts) {
        std::vector<std::string> lines = {"MIME-Version: 1.0",
                                          "Content-Type: multipart/mixed; boundary=x", ""};
        lines.insert(lines.end(), parts.begin(), parts.end());
        return Decode(Raw(lines));
    };
    for (const Case& c : cases) {
        TmsMessage message = decode(c.lines);
        EXPECT_EQ(message.Body(), c.body) << c.why;
        EXPECT_EQ(Names(message), c.names) << c.why;
    }
    TmsMessage related = decode(cases[0].lines);
    ASSERT_EQ(related.Attachments().Count(), 2u);
    EXPECT_EQ(related.Attachments().Items(0).ContentType(), "text/html");
    EXPECT_EQ(related.Attachments().Items(1).ContentID(), "p");
    EXPECT_EQ(related.Attachments().Items(1).Data(), std::string("\0\1\2", 3));
    TmsMessage digest = decode(cases[3].lines);
    EXPECT_EQ(digest.Attachments().Items(1).ContentType(), "message/rfc822");
    EXPECT_EQ(digest.Attachments().Items(1).Data(), "From: d@e.f\r\n\r\ntwo");
}

// Hostile nesting ends in a raw part, hostile part counts in the error form; both quickly.
TEST(Decoder, NestingAndPartCountsAreBounded) {
    std::string deep = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b0\r\n";
    for (int level = 1; level <= 10000; ++level) {
        deep += "\r\n--b" + std::to_string(level - 1) +
                "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(level) + "\r\n";
    }
    deep += "\r\n--b10000\r\n\r\ndeepest\r\n";
    TmsMessage nested = Decode(deep);
    std::string kept;
    for (const TmsAttItem& item : nested.Attachments()) kept += item.Data();
    EXPECT_NE(kept.find("deepest"), std::string::npos);
    EXPECT_LT(kept.size(), 2 * deep.size());

    std::string many = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int part = 0; part < 20000; ++part) many += "--b\r\n\r\nx\r\n";
    many += "--b--\r\n";
    TmsMessage crowded = Decode(many);
    EXPECT_EQ(std::vector<std::string>(crowded.Body().end() - 3, crowded.Body().end()),
              ErrorTail("Too many parts"));
    const TmsAttItem& original = crowded.Attachments().Items(crowded.Attachments().Count() - 1);
    EXPECT_EQ(original.FileName(), "original.eml");
    EXPECT_EQ(original.ContentType(), "message/rfc822");
    EXPECT_EQ(original.Encoding(), aeNone);
    EXPECT_EQ(original.Data(), many);
}

TEST(Decoder, LoadFromStreamReadsFromTheStartAndAppends) {
    std::istringstream in(Raw({"From: a@b.c", "To: x@y.z", "", "one"}));
    in.seekg(5);
    TmsMessage message;
    message.Recipients().AddAddress("earlier@x.org", "");
    message.LoadFromStream(in);
    EXPECT_EQ(message.Sender().Address(), "a@b.c");
    EXPECT_EQ(message.Recipients().Count(), 2u);
    EXPECT_EQ(message.Body(), (std::vector<std::string>{"one"}));
}

TEST(Decoder, ArticleFields) {
    TmsArticle article;
    article.LoadFromBytes(
        Raw({"From: Me <me@x.org>", "Newsgroups: comp.mail.misc,alt.test", "Path: news!me",
             "Message-ID: <1@x.org>", "Subject: Q", "", "text"}));
    EXPECT_EQ(article.NewsGroups(), "comp.mail.misc,alt.test");
    EXPECT_EQ(article.Path(), "news!me");
    EXPECT_EQ(article.MessageId(), "<1@x.org>");
    EXPECT_EQ(article.Subject(), "Q");
    EXPECT_EQ(article.Body(), (std::vector<std::string>{"text"}));
}

}  // namespace
}  // namespace kivo
