#include "transfer/storedform.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/bytes.h"
#include "mail/base64.h"
#include "transfer/spooledparts.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string Crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// The header value of `name` in stored lines (the header block only).
std::string Header(const Lines& lines, std::string_view name) {
    for (const std::string& line : lines) {
        if (line.empty()) break;
        if (StartsWithNoCase(line, name)) return Trim(line.substr(name.size()));
    }
    return "?";
}

Lines Body(const Lines& lines) {
    auto blank = std::find(lines.begin(), lines.end(), std::string());
    return blank == lines.end() ? Lines{} : Lines(blank + 1, lines.end());
}

TEST(StoredForm, PlainMessageGetsTheThreeStoredHeaderLines) {
    test::TempDir dir;
    ReceivedMessage r = ConvertReceived(Crlf("From: Ann <ann@example.org>\n"
                                             "To: jo@example.org\n"
                                             "Subject: hi\n"
                                             "Status: RO\n"
                                             "\n"
                                             "Hello\n"
                                             "From here on\n"),
                                        dir.path());
    EXPECT_EQ(r.storedType, "text/plain");
    const Lines lines = StoredLines(r, "Home");
    EXPECT_EQ(Header(lines, "Content-Type:"), "text/plain");
    EXPECT_EQ(Header(lines, "X-Account:"), "Home");
    EXPECT_EQ(Header(lines, "Status:"), "U");
    EXPECT_EQ(Header(lines, "Subject:"), "hi");
    EXPECT_EQ(Body(lines), (Lines{"", "Hello", ">From here on"}));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Today's nested shapes: the HTML of a related inside an alternative is the stored body, its
// picture a file tied to its Content-ID; a signed message stores as an unsigned one would.
TEST(StoredForm, NestedShapesStoreTheirHtmlTextAndFiles) {
    test::TempDir dir;
    const std::string styled = "X-Content-File: <logo.1@example.org> \"/etc/passwd\"\r\n" +
                               test::ReadFile(test::DataPath("mime/shape-html-inline-picture.eml"));
    ReceivedMessage r = ConvertReceived(styled, dir.path());
    EXPECT_EQ(r.storedType, "text/html");
    ASSERT_EQ(r.files, (std::vector<fs::path>{dir / "logo.png", dir / "figures.pdf"}));
    EXPECT_TRUE(test::ReadFile(dir / "logo.png").starts_with("\x89PNG"));
    const Lines lines = StoredLines(r, "Home");
    EXPECT_EQ(Body(lines),
              (Lines{"",
                     "<html><body><p>Hello Bob,</p><img src=\"cid:logo.1@example.org\"><p>the "
                     "figures are attached.</p></body></html>",
                     "Attachment Converted: \"" + (dir / "logo.png").string() + "\"",
                     "Attachment Converted: \"" + (dir / "figures.pdf").string() + "\""}));
    EXPECT_EQ(Header(lines, "X-Content-File:"),
              "<logo.1@example.org> \"" + (dir / "logo.png").string() + "\"");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("X-Content-File"); }),
              1);

    test::TempDir signedDir;
    ReceivedMessage s = ConvertReceived(
        test::ReadFile(test::DataPath("mime/shape-signed-mixed.eml")), signedDir.path());
    EXPECT_EQ(Body(StoredLines(s, "Home")),
              (Lines{"", "The signed report is attached.",
                     "Attachment Converted: \"" + (signedDir / "report.pdf").string() + "\"",
                     "Attachment Converted: \"" + (signedDir / "signature.asc").string() + "\""}));
}

TEST(StoredForm, PictureBecomesAFile) {
    test::TempDir dir;
    std::string picture = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 300; ++i) picture += static_cast<char>(i * 7);
    const std::string raw = Crlf(
        "From: ann@example.org\nSubject: pic\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\n\n"
        "--b1\nContent-Type: text/plain\n\nSee the picture.\n"
        "--b1\nContent-Type: image/png; name=\"../../pic.png\"\n"
        "Content-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"../../pic.png\"\n\n" +
        EncodeBase64(picture) + "\n--b1--\n");
    ReceivedMessage r = ConvertReceived(raw, dir.path());
    EXPECT_EQ(r.storedType, "text/plain");
    ASSERT_EQ(r.files.size(), 1u);
    EXPECT_EQ(r.files[0], dir / "pic.png");  // the sender's folders are dropped
    EXPECT_EQ(test::ReadFile(dir / "pic.png"), picture);
    const Lines body = Body(StoredLines(r, "Home"));
    EXPECT_EQ(body.back(), "Attachment Converted: \"" + (dir / "pic.png").string() + "\"");
    EXPECT_NE(std::find(body.begin(), body.end(), "See the picture."), body.end());
}

// Plain text of a message with parts shows as it was written: kept as plain text, or, beside
// an HTML part, as escaped lines; never as markup. (A bounce notice lost its addresses, code
// its #include lines, and a typed fake link rendered.)
TEST(StoredForm, PlainTextOfPartsShowsAsWritten) {
    const std::string text =
        "--b\nContent-Type: text/plain\n\n<bob@example.org>: Recipient address rejected\n"
        "#include <stdio.h>\n  indented & <a href=\"http://evil.example\">click</a>\n";
    const std::string pdf =
        "--b\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Transfer-Encoding: base64\n"
        "\nJVBERg==\n";
    const struct {
        const char* why;
        std::string parts;
        const char* type;
        Lines body;  // without the attachment line
    } cases[] = {
        {"text and a file: plain text",
         text + pdf,
         "text/plain",
         {"<bob@example.org>: Recipient address rejected", "#include <stdio.h>",
          "  indented & <a href=\"http://evil.example\">click</a>"}},
        {"text beside an HTML part: escaped lines, the HTML as it came",
         text + "--b\nContent-Type: text/html\n\n<p>rich</p>\n" + pdf,
         "text/html",
         {"&lt;bob@example.org&gt;: Recipient address rejected<br>", "#include &lt;stdio.h&gt;<br>",
          "&nbsp;&nbsp;indented &amp; &lt;a href=&quot;http://evil.example&quot;&gt;click&lt;/a&gt;"
          "<br>",
          "<p>rich</p>"}},
        {"an alternative's HTML first, then a plain note escaped",
         "--b\nContent-Type: multipart/alternative; boundary=a\n\n--a\n\nplain\n--a\n"
         "Content-Type: text/html\n\n<p>rich</p>\n--a--\n"
         "--b\nContent-Type: text/plain\n\nnote: 1 < 2\n" + pdf,
         "text/html",
         {"<p>rich</p>", "note: 1 &lt; 2<br>"}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        ReceivedMessage r = ConvertReceived(
            Crlf("From: a@example.org\nMIME-Version: 1.0\n"
                 "Content-Type: multipart/mixed; boundary=b\n\n" +
                 c.parts + "--b--\n"),
            dir.path());
        EXPECT_EQ(r.storedType, c.type) << c.why;
        Lines expected = c.body;
        expected.insert(expected.begin(), "");
        expected.push_back("Attachment Converted: \"" + (dir / "a.pdf").string() + "\"");
        EXPECT_EQ(Body(StoredLines(r, "Home")), expected) << c.why;
    }
}

TEST(StoredForm, AlternativeKeepsOnlyItsHtml) {
    test::TempDir dir;
    const std::string raw = Crlf(
        "From: ann@example.org\nMIME-Version: 1.0\n"
        "Content-Type: multipart/alternative; boundary=\"alt\"\n\n"
        "--alt\nContent-Type: text/plain\n\nplain words\n"
        "--alt\nContent-Type: text/html\n\n<html><body>rich words</body></html>\n"
        "--alt--\n");
    ReceivedMessage r = ConvertReceived(raw, dir.path());
    EXPECT_EQ(r.storedType, "text/html");
    const Lines body = Body(StoredLines(r, "Home"));
    const std::string joined = JoinLinesCrLf(body);
    EXPECT_NE(joined.find("rich words"), std::string::npos);
    EXPECT_EQ(joined.find("plain words"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(StoredForm, AttachmentsOfOneNameAreNumbered) {
    test::TempDir dir;
    test::WriteFile(dir / "b.txt", "already here");
    const std::string raw = Crlf(
        "From: ann@example.org\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"m\"\n\n"
        "--m\nContent-Type: text/plain\n\nbody\n"
        "--m\nContent-Type: application/octet-stream; name=\"a.txt\"\n\nfirst\n"
        "--m\nContent-Type: application/octet-stream; name=\"a.txt\"\n\nsecond\n"
        "--m\nContent-Type: application/octet-stream; name=\"b.txt\"\n\nthird\n"
        "--m--\n");
    ReceivedMessage r = ConvertReceived(raw, dir.path());
    ASSERT_EQ(r.files.size(), 3u);
    EXPECT_EQ(r.files[0], dir / "a.txt");
    EXPECT_EQ(r.files[1], dir / "a1.txt");
    EXPECT_EQ(r.files[2], dir / "b1.txt");
    EXPECT_EQ(Trim(test::ReadFile(dir / "a1.txt")), "second");
    EXPECT_EQ(test::ReadFile(dir / "b.txt"), "already here");
}

// What a message stored from the spool file it arrived in looks like, with every attachment
// part left in the file and decoded from there: exactly what the message read whole gives,
// its stored lines, its files' names and bytes and its decoder's notes.
TEST(StoredForm, AttachmentsDecodedFromTheSpoolFileAreThoseOfTheWholeMessage) {
    std::vector<std::pair<std::string, std::string>> messages;
    for (const auto& entry : fs::directory_iterator(test::DataPath("mime"))) {
        if (entry.path().extension() == ".eml")
            messages.emplace_back(entry.path().filename(), test::ReadFile(entry.path()));
    }
    std::sort(messages.begin(), messages.end());
    std::string binary;
    for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7919) % 256);
    const std::string nested =
        "From: ann@example.org\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"m\"\n\npreamble\n"
        "--m\nContent-Type: multipart/alternative; boundary=\"a\"\n\n"
        "--a\nContent-Type: text/plain\n\nplain words\n"
        "--a\nContent-Type: multipart/related; boundary=\"r\"\n\n"
        "--r\nContent-Type: text/html\n\n<p>rich <img src=\"cid:logo@x\"></p>\n"
        "--r\nContent-Type: image/png; name=\"logo.png\"\nContent-ID: <logo@x>\n"
        "Content-Transfer-Encoding: base64\n\n" +
        EncodeBase64Lines(binary, "\n") +
        "--r--\n--a--\nbetween\n"
        "--m\nContent-Type: application/octet-stream; name=\"raw.bin\"\n\n"
        "unencoded line\nand another\n"
        "--m\nContent-Type: application/pdf; name=\"bad.pdf\"\n"
        "Content-Transfer-Encoding: base64\n\n" +
        EncodeBase64Lines(binary.substr(0, 1000), "\n") + "!!*\n" +
        "--m--\nepilogue\n";
    messages.emplace_back("nested, LF line ends", nested);
    messages.emplace_back("nested, CR LF line ends", Crlf(nested));

    int spooled = 0;
    for (const auto& [name, raw] : messages) {
        SCOPED_TRACE(name);
        test::TempDir whole;
        test::TempDir parts;
        TSpoolFile spool(parts.path());
        spool.Append(raw);
        TFreeNames wholeNames(whole.path());
        TFreeNames partNames(parts.path());
        ReceivedMessage a = ConvertReceived(raw, wholeNames);
        ReceivedMessage b = ConvertReceived(spool, partNames, nullptr, 1);
        if (ReduceSpooled(spool, 1) && !ReduceSpooled(spool, 1)->parts.empty()) ++spooled;
        EXPECT_EQ(a.message.DecodeNotes(), b.message.DecodeNotes());
        ASSERT_EQ(a.files.size(), b.files.size());
        for (std::size_t f = 0; f < a.files.size(); ++f) {
            EXPECT_EQ(a.files[f].filename(), b.files[f].filename());
            EXPECT_EQ(test::ReadFile(a.files[f]), test::ReadFile(b.files[f]))
                << a.files[f].filename();
        }
        std::string stored = JoinLinesCrLf(StoredLines(b, "Home"));
        for (std::size_t at; (at = stored.find(parts.path().string())) != std::string::npos;)
            stored.replace(at, parts.path().string().size(), whole.path().string());
        EXPECT_EQ(JoinLinesCrLf(StoredLines(a, "Home")), stored);
    }
    EXPECT_GE(spooled, 10) << "messages whose parts were left in the spool file";
}

}  // namespace
}  // namespace kivo
