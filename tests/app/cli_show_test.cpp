// kivo show's forms of a message and kivo print --text, run as real processes on a program
// folder holding the view's sample messages.

#include <gtest/gtest.h>

#include <filesystem>

#include "base/bytes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct ShowHome {
    TempDir dir;
    ShowHome() {
        fs::create_directories(dir / "Mail");
        std::string in;
        for (const char* name : {"text", "html", "alternative", "latin1"})
            in += ReadFile(test::DataPath(std::string("view/") + name + ".msg"));
        WriteFile(dir / "Mail" / "in.mbx", in);
    }
    ProcessResult Kivo(std::vector<std::string> args) const {
        return test::RunKivoIn(dir.path(), std::move(args));
    }
    std::string Out(std::vector<std::string> args) const {
        ProcessResult r = Kivo(std::move(args));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
};

std::string Golden(std::string_view name) {
    return ReadFile(test::DataPath("view/" + std::string(name)));
}

TEST(CliShow, HtmlFormsPrintTheViewsLines) {
    ShowHome home;
    EXPECT_EQ(Golden("text.html"), home.Out({"show", "In", "1", "--html"}));
    EXPECT_EQ(Golden("text.headers.html"), home.Out({"show", "In", "1", "--html", "--headers"}));
    EXPECT_EQ(Golden("html.raw.html"), home.Out({"show", "In", "2", "--raw-view"}));
    EXPECT_EQ(Golden("alternative.html"), home.Out({"show", "In", "3", "--html"}));
    EXPECT_EQ(Golden("latin1.html"), home.Out({"show", "In", "4", "--html"}));
}

// --html prints the HTML as the sender wrote it; --html-safe the page the view loads, with
// nothing in it that runs, reloads or reaches the network.
TEST(CliShow, HtmlSafeIsThePageTheViewLoads) {
    ShowHome home;
    WriteFile(home.dir / "Mail" / "in.mbx",
              "From ???@??? 10/12/2026 09:15:00\r\nSubject: Offer\r\nContent-Type: text/html\r\n"
              "\r\n<html><head><META HTTP-EQUIV=refresh CONTENT=1>"
              "<meta http-equiv=\"Content-Security-Policy\" content=\"style-src 'none'\">\r\n"
              "<link rel=stylesheet href=\"https://t.example/s.css\"></head>\r\n"
              "<body background=http://t.example/bg.png><script>track()</script>\r\n"
              "<img src=\"http://t.example/p.gif?id=7\" onload=\"track()\">"
              "<a href=\"https://shop.example/\">Shop</a></body></html>\r\n");
    fs::remove(home.dir / "Mail" / "in.idx");
    const std::string sent = home.Out({"show", "In", "1", "--html"});
    for (const char* part : {"t.example/p.gif", "<script>", "CONTENT=1"})
        EXPECT_NE(std::string::npos, sent.find(part)) << part;
    const std::string safe = home.Out({"show", "In", "1", "--html-safe"});
    for (const char* part : {"t.example", "script", "track()", "refresh", "Security-Policy"})
        EXPECT_EQ(std::string::npos, safe.find(part)) << part << "\n" << safe;
    for (const char* part : {"<img src=\"about:blank\" >", "<body background=\"about:blank\">",
                             "<a href=\"https://shop.example/\">Shop</a>"})
        EXPECT_NE(std::string::npos, safe.find(part)) << part << "\n" << safe;
}

TEST(CliShow, TheReaderFormHasNoSeparatorAndHtmlAsText) {
    ShowHome home;
    EXPECT_EQ(
        "From: news@example.com\nSubject: =?utf-8?q?Caf=C3=A9_news?=\n"
        "Date: Wed, 9 Dec 2026 23:59:59 -0500\nContent-Type: text/html\nStatus: R\n\n"
        "Hello reader & http://example.com/ friends\n",
        home.Out({"show", "In", "2"}));
    EXPECT_EQ("Styled caf\xc3\xa9\n", home.Out({"show", "In", "3", "--body"}))
        << "the HTML alternative, as text";
    const std::string latin = home.Out({"show", "In", "4"});
    EXPECT_NE(latin.find("Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f"
                         "e \xe2\x80\x9cquoted\xe2\x80\x9d"),
              std::string::npos)
        << "an old mailbox's Windows-1252 text arrives as UTF-8";
    const std::string text = home.Out({"show", "In", "1", "--body"});
    EXPECT_NE(text.find("Attachment: C:\\Kivo\\Attach\\gone.txt\n"), std::string::npos);
    const std::string headers = home.Out({"show", "In", "1", "--headers"});
    EXPECT_TRUE(headers.starts_with("Return-Path: <ann@example.org>\n")) << headers;
    EXPECT_EQ(std::string::npos, headers.find("a < b")) << "headers only";
}

TEST(CliShow, RawIsExactlyAsStoredAndControlCharactersNeverReachTheTerminal) {
    ShowHome home;
    EXPECT_EQ(Golden("alternative.msg"), home.Out({"show", "In", "3", "--raw"}));
    WriteFile(home.dir / "Mail" / "in.mbx",
              "From ???@??? 10/12/2026 09:15:00\r\nSubject: \x1b]0;owned\x07\r\n\r\nbell\x07\r\n");
    fs::remove(home.dir / "Mail" / "in.idx");
    const std::string shown = home.Out({"show", "In", "1"});
    EXPECT_EQ("Subject: ^[]0;owned^G\n\nbell^G\n", shown);
    EXPECT_NE(home.Out({"show", "In", "1", "--raw"}).find("\x1b]0;owned\x07"), std::string::npos);
}

// Sent and Out as older versions wrote them: the body in quoted-printable, an attachment line
// cut in two. Every form shows the text as written, as In shows it.
TEST(CliShow, SentAndOutShowTheirTextDecoded) {
    ShowHome home;
    const std::string message =
        "\r\nFrom ???@??? ?\?/?\?/?\?\?? ?\?:?\?:?\?\r\nStatus: RS\r\n"
        "From:      Alice <alice@example.test>\r\nTo:        bob@example.test\r\n"
        "Subject: Gr\xC3\xBC\xC3\x9F" "e\r\nMime-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=\"utf-8\"\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
        "Gr=C3=BC=C3=9Fe aus K=C3=B6ln\r\nAttachment Converted:\r\n"
        " \"/tmp/qlong/a-rather-long-folder-name-for-testing/and-another-ne\r\n"
        "sted-folder-level/report-Q4.csv\"\r\n";
    WriteFile(home.dir / "Mail" / "sent.mbx", message);
    WriteFile(home.dir / "Mail" / "out.mbx", message);
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln";
    for (const char* box : {"Sent", "Out"}) {
        EXPECT_EQ(text + "\nAttachment: /tmp/qlong/a-rather-long-folder-name-for-testing/"
                         "and-another-nested-folder-level/report-Q4.csv\n",
                  home.Out({"show", box, "1", "--body"}))
            << box;
        const std::string html = home.Out({"show", box, "1", "--html"});
        EXPECT_NE(html.find(text), std::string::npos) << html;
        EXPECT_EQ(html.find("=C3"), std::string::npos) << html;
        const std::string printed = home.Out({"print", box, "1", "--text"});
        EXPECT_NE(printed.find(text), std::string::npos) << printed;
    }
}

TEST(CliShow, WrongOptionCombinationsAreUsageErrors) {
    ShowHome home;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"show", "In", "1", "--raw", "--headers"},
          {"show", "In", "1", "--html", "--raw-view"},
          {"show", "In", "1", "--html-safe", "--raw"},
          {"show", "In", "1", "--body", "--headers"},
          {"show", "In", "1", "--colour"},
          {"print", "In", "1"},
          {"print", "In", "--text"}}) {
        const ProcessResult r = home.Kivo(args);
        EXPECT_EQ(2, r.status) << args.back() << r.err;
    }
    EXPECT_EQ(1, home.Kivo({"print", "In", "9", "--text"}).status);
}

TEST(CliPrint, TextHasTheHeadingAndTheMessageWithoutTags) {
    // The page is the HTML as the reader shows it as text: tags gone, entities their
    // characters, blocks one line each.
    ShowHome home;
    EXPECT_EQ(
        "Message from news@example.com, Caf\xc3\xa9 news\n\nHello reader & "
        "http://example.com/ friends\n",
        home.Out({"print", "In", "2", "--text"}));
    const std::string text = home.Out({"print", "In", "1", "--text"});
    EXPECT_TRUE(
        text.starts_with("Message from Ann Example <ann@example.org>, Lunch <today>\n\n"
                         "a < b > c, AT&amp;T and three   blanks\n"))
        << text;
}

}  // namespace
}  // namespace kivo
