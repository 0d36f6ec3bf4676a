// The message view's state around the HTML: labels, sender strip, attachments pane, the
// show-headers and raw-view commands, opening attachments and links, inline pictures.

#include "view/KivoMsg.h"

#include <gtest/gtest.h>

#include "tests/support/testutil.h"
#include "tests/view/viewfakes.h"

namespace kivo {
namespace {

struct ViewFixture : ::testing::Test {
    test::TempDir dir;
    bool headers = false;
    bool queryAttach = true;
    bool viewAttach = true;
    std::filesystem::path attachPath = dir / "Attach";
    test::RecordingMsgView view;
    test::OpenRecorder platform;
    TFrmMsg msg{{headers, queryAttach, attachPath, viewAttach}, view, platform};

    ViewFixture() { std::filesystem::create_directories(attachPath); }
};

const std::vector<std::string> kTextHeaders{"From ???@??? 10/12/2026 09:15:00",
                                            "From: Ann <ann@example.org>", "Subject: Lunch",
                                            "Date: Thu, 10 Dec 2026 09:14:03 +0100", "Status: U"};

TEST_F(ViewFixture, LabelsComeFromTheHeaderLines) {
    msg.WriteMessage(kTextHeaders, {"Hi"});
    EXPECT_EQ(1, view.renderings);
    EXPECT_EQ("Lunch", msg.Title());
    EXPECT_FALSE(msg.Outgoing());
    EXPECT_EQ("Ann <ann@example.org>", msg.FromText());
    EXPECT_EQ("10/12/2026", msg.DateText());
    EXPECT_EQ("09:14:03", msg.TimeText());
    EXPECT_EQ((std::vector<std::string>{"Hi<br>"}), msg.Html());
}

TEST_F(ViewFixture, SentAndQueuedMessagesShowTheAccount) {
    struct Case {
        const char* status;
        bool outgoing;
    };
    for (const Case c : {Case{"Status: RS", true}, Case{"Status: Q", true},
                         Case{"Status: U", false}, Case{"Status: rs", false}}) {
        msg.WriteMessage({"From: me@example.net", "Subject: =?utf-8?q?Caf=C3=A9?=", c.status}, {});
        EXPECT_EQ(c.outgoing, msg.Outgoing()) << c.status;
        EXPECT_EQ("me@example.net", msg.FromText());
        EXPECT_EQ("Caf\xc3\xa9", msg.Title()) << "encoded words of a sent copy are decoded";
    }
}

// A sent copy written by an older version holds its text quoted-printable, an attachment line
// cut in two: the window shows the text and lists the attachment as for any message.
TEST_F(ViewFixture, ABodyKeptQuotedPrintableIsShownAsText) {
    msg.WriteMessage({"Status: RS", "Content-Type: text/plain; charset=\"utf-8\"",
                      "Content-Transfer-Encoding: quoted-printable"},
                     {"Gr=C3=BC=C3=9Fe aus K=C3=B6ln", "Attachment Converted:",
                      " \"/x/report-Q4.csv\""});
    EXPECT_EQ((std::vector<std::string>{"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln<br>"}), msg.Html());
    ASSERT_EQ(1u, msg.Attachments().size());
    EXPECT_EQ("report-Q4.csv", msg.Attachments()[0].FileName);
}

TEST_F(ViewFixture, WithoutADateTheCurrentTimeIsShown) {
    const DateTime before = DateTime::Now();
    msg.WriteMessage({"Subject: x"}, {"body"});
    EXPECT_GE(msg.Date(), before);
    EXPECT_LE(msg.Date(), DateTime::Now());
    EXPECT_EQ("", msg.FromText());
}

TEST_F(ViewFixture, AttachmentsAreFoundByNameInTheCurrentFolder) {
    test::WriteFile(attachPath / "Menu.PDF", "pdf");
    msg.WriteMessage(kTextHeaders, {"text", "Attachment Converted: \"/old/place/menu.pdf\"",
                                    "Attachment Converted: \"C:\\Kivo\\Attach\\gone.txt\""});
    ASSERT_EQ(2u, msg.Attachments().size());
    EXPECT_EQ("menu.pdf", msg.Attachments()[0].FileName);
    EXPECT_TRUE(msg.Attachments()[0].Found) << "moved with the folder, found by name";
    EXPECT_EQ(attachPath / "Menu.PDF", msg.Attachments()[0].File);
    EXPECT_FALSE(msg.Attachments()[1].Found);
    EXPECT_EQ(kAttachMissingHint, msg.AttachHint()) << "the last entry's hint wins";
    EXPECT_EQ((std::vector<std::string>{"text"}), msg.Body()) << "attachment lines leave the body";
    EXPECT_TRUE(msg.AttachPaneVisible());
    viewAttach = false;
    EXPECT_FALSE(msg.AttachPaneVisible());
    EXPECT_TRUE(msg.ViewAttachEnabled());

    msg.WriteMessage(kTextHeaders, {"Attachment Converted: \"/x/..\""});
    EXPECT_FALSE(msg.Attachments()[0].Found) << "a parent folder is no attachment";
    msg.WriteMessage(kTextHeaders, {"no attachments"});
    EXPECT_FALSE(msg.ViewAttachEnabled());
}

TEST_F(ViewFixture, OpeningAnAttachmentAsksFirstUnlessTheUserSaidAlwaysYes) {
    test::WriteFile(attachPath / "a.txt", "a");
    msg.WriteMessage(kTextHeaders, {"Attachment Converted: \"/x/a.txt\"",
                                    "Attachment Converted: \"/x/missing.txt\""});
    view.answer = TQueryAttachAnswer::No;
    EXPECT_FALSE(msg.OpenAttachment(0));
    EXPECT_TRUE(platform.opened.empty());
    view.answer = TQueryAttachAnswer::Yes;
    EXPECT_TRUE(msg.OpenAttachment(0));
    EXPECT_TRUE(queryAttach);
    view.answer = TQueryAttachAnswer::AlwaysYes;
    EXPECT_TRUE(msg.OpenAttachment(0));
    EXPECT_FALSE(queryAttach) << "Always Yes switches QueryAttach off";
    EXPECT_TRUE(msg.OpenAttachment(0));
    EXPECT_EQ(3, view.questions) << "no question once it is off";
    EXPECT_EQ(3u, platform.opened.size());
    EXPECT_EQ((attachPath / "a.txt").string(), platform.opened[0]);
    EXPECT_FALSE(msg.OpenAttachment(1)) << "a missing file is not opened";
    ASSERT_EQ(1u, platform.tips.size()) << "but the user is told why";
    EXPECT_EQ(std::string(kAttachMissingTip) + "missing.txt", platform.tips[0]);
    EXPECT_FALSE(msg.OpenAttachment(7));
    EXPECT_EQ(3, view.questions);

    // The folder command opens the folder, or says it is not there.
    EXPECT_TRUE(OpenAttachmentsFolder(attachPath, platform));
    EXPECT_EQ(attachPath.string(), platform.opened.back());
    EXPECT_FALSE(OpenAttachmentsFolder(attachPath / "gone", platform));
    EXPECT_EQ(kNoAttachFolderTip, platform.tips.back());
    EXPECT_EQ(4u, platform.opened.size());
}

// An attached message is the sender's HTML too: it opens in Kivo's own view, never through
// the desktop (a browser would run its scripts and fetch its pictures); an HTML file that is
// no attached message still goes to the desktop after the question.
TEST_F(ViewFixture, AnAttachedMessageOpensInKivosOwnView) {
    for (const char* name : {"Attached Message 1.html", "attached message 1(2).HTML", "page.html"})
        test::WriteFile(attachPath / name, "From: eve@example.org\r\n\r\n<script>x</script>");
    msg.WriteMessage(kTextHeaders, {"Attachment Converted: \"/x/Attached Message 1.html\"",
                                    "Attachment Converted: \"/x/attached message 1(2).HTML\"",
                                    "Attachment Converted: \"/x/page.html\""});
    EXPECT_TRUE(msg.OpenAttachment(0));
    EXPECT_TRUE(msg.OpenAttachment(1));
    EXPECT_EQ((std::vector<std::filesystem::path>{attachPath / "Attached Message 1.html",
                                                  attachPath / "attached message 1(2).HTML"}),
              view.messagesOpened);
    EXPECT_EQ(0, view.questions);
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_TRUE(msg.OpenAttachment(2));
    EXPECT_EQ(1, view.questions);
    EXPECT_EQ(std::vector<std::string>{(attachPath / "page.html").string()}, platform.opened);

    // Where there is no message window (headless), nothing is opened at all.
    test::OpenRecorder desktop;
    struct NoWindows : TFrmMsgView {
        void MessageWritten(const TFrmMsg&) override {}
        TQueryAttachAnswer QueryAttach() override { return TQueryAttachAnswer::Yes; }
    } bare;
    TFrmMsg headless({headers, queryAttach, attachPath, viewAttach}, bare, desktop);
    headless.WriteMessage(kTextHeaders, {"Attachment Converted: \"/x/Attached Message 1.html\""});
    EXPECT_FALSE(headless.OpenAttachment(0));
    EXPECT_FALSE(headless.LinkClick("mailto:ann@example.org"));
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(ViewFixture, ShowHeadersToggleStoresTheOptionAndRendersAgain) {
    msg.WriteMessage({"Content-Type: text/html", "Subject: <b>"}, {"<p>Hi</p>"});
    EXPECT_EQ((std::vector<std::string>{"<p>Hi</p>"}), msg.Html());
    msg.ToggleShowHeaders();
    EXPECT_TRUE(headers);
    EXPECT_TRUE(msg.ShowHeaders());
    ASSERT_EQ(5u, msg.Html().size());
    EXPECT_EQ("Subject: &lt;b&gt;<br>", msg.Html()[2]);
    EXPECT_EQ("<p>Hi</p>", msg.Html()[4]) << "the header table goes above the HTML page";
    msg.ToggleShowHeaders(true);
    EXPECT_TRUE(headers) << "ignored while the main window is busy";
    EXPECT_EQ(2, view.renderings);
}

TEST_F(ViewFixture, RawViewShowsTagsAsTextAndForgetsTheNumber) {
    msg.Number = 4;
    msg.WriteMessage({"Content-Type: text/html"}, {"<p>Hi</p>"});
    msg.ViewRawMessage();
    EXPECT_EQ(-1, msg.Number);
    EXPECT_FALSE(msg.IsHtml());
    EXPECT_EQ((std::vector<std::string>{"&lt;p&gt;Hi&lt;/p&gt;<br>"}), msg.Html());
}

// Only web addresses reach the desktop and mail addresses Kivo's composer; every other kind
// (a share, a local file, ftp, a program's own scheme) is named in a tip and left alone.
TEST_F(ViewFixture, LinksOpenOnlyWebAndMailAddresses) {
    enum Goes { Browser, Composer, Tip };
    struct Case {
        const char* url;
        Goes goes;
    };
    const Case cases[] = {
        {"http://example.org/", Browser},
        {" HTTPS://example.org/a", Browser},
        {"mailto:ann@example.org?subject=Hi", Composer},
        {"MAILTO:bob@example.org", Composer},
        {"ftp://example.org/f", Tip},
        {"file:///etc/passwd", Tip},
        {"smb://host/share", Tip},
        {"javascript:alert(1)", Tip},
        {"data:text/html,<script>alert(1)</script>", Tip},
        {"vscode://file/home/user/.bashrc", Tip},
        {"cid:logo@x", Tip},
        {"/home/user/.bashrc", Tip},
        {"http://", Tip},
    };
    for (const Case& c : cases) {
        const std::size_t opened = platform.opened.size(), composed = view.composed.size(),
                          tips = platform.tips.size();
        EXPECT_EQ(c.goes != Tip, msg.LinkClick(c.url)) << c.url;
        EXPECT_EQ(c.goes == Browser, platform.opened.size() > opened) << c.url;
        EXPECT_EQ(c.goes == Composer, view.composed.size() > composed) << c.url;
        EXPECT_EQ(c.goes == Tip, platform.tips.size() > tips) << c.url;
    }
    EXPECT_EQ("mailto:ann@example.org?subject=Hi", view.composed.front());
    EXPECT_EQ("Kivo does not open links of this kind:\nsmb://host/share", platform.tips[2]);
    EXPECT_TRUE(platform.questions.empty());
}

// A link that reads like one web address and leads to another host is opened only when the
// user says so; text that names no address, or the same host, asks nothing.
TEST_F(ViewFixture, ALinkShowingAnotherAddressAsksFirst) {
    struct Case {
        const char* url;
        const char* shown;
        bool asks;
    };
    const Case cases[] = {
        {"https://evil.example/login", "https://bank.example/login", true},
        {"https://evil.example/", "www.bank.example", true},
        {"https://evil.example/", "bank.example/login", true},
        {"https://bank.example@evil.example/", "https://bank.example/", true},
        {"http://bank.example:8080/a", "https://www.BANK.example/b", false},
        {"https://bank.example/", "Log in to your bank", false},
        {"https://bank.example/", "", false},
        {"https://bank.example/", "ann@bank.example", false},
    };
    for (const Case& c : cases) {
        platform.questions.clear();
        platform.opened.clear();
        platform.answer = false;
        EXPECT_EQ(!c.asks, msg.LinkClick(c.url, c.shown)) << c.url << " " << c.shown;
        EXPECT_EQ(c.asks, !platform.questions.empty()) << c.url << " " << c.shown;
        if (!c.asks) continue;
        EXPECT_TRUE(platform.opened.empty());
        EXPECT_NE(std::string::npos, platform.questions.front().find(c.url));
        platform.answer = true;
        EXPECT_TRUE(msg.LinkClick(c.url, c.shown));
        EXPECT_EQ(std::vector<std::string>{c.url}, platform.opened);
    }
}

// A long address is cut in the tip, never between the bytes of one character.
TEST_F(ViewFixture, ARefusedLongLinkIsCutInItsTip) {
    std::string url = "data:text/plain,";
    for (int k = 0; k < 400; ++k) url += "\xc3\xa9";
    EXPECT_FALSE(msg.LinkClick(url));
    ASSERT_EQ(1u, platform.tips.size());
    EXPECT_LT(platform.tips[0].size(), 400u);
    EXPECT_TRUE(platform.tips[0].ends_with("\xc3\xa9..."));
}

TEST_F(ViewFixture, CidReferencesNameTheMessagesSavedPictures) {
    test::WriteFile(attachPath / "logo(1).png", "png");
    test::WriteFile(attachPath / "chart.png", "png");
    test::WriteFile(attachPath / "other.png", "png");
    std::vector<std::string> headers = kTextHeaders;
    headers.push_back("X-Content-File: <logo.1@example.org> \"/old/Attach/logo(1).png\"");
    headers.push_back("X-Content-File: <gone@example.org> \"/old/Attach/gone.png\"");
    headers.push_back("X-Content-File: <evil@example.org> \"/etc/passwd\"");
    headers.push_back("x-content-file: <other@example.org> \"/x/other.png\"");
    msg.WriteMessage(headers, {"<img src=\"cid:logo.1@example.org\">",
                               "Attachment Converted: \"/old/Attach/logo(1).png\"",
                               "Attachment Converted: \"/old/Attach/gone.png\"",
                               "Attachment Converted: \"/old/Attach/chart.png\""});
    const std::filesystem::path logo = attachPath / "logo(1).png";
    struct Case {
        const char* reference;
        std::optional<std::filesystem::path> file;
        const char* why;
    };
    const Case cases[] = {
        {"cid:logo.1@example.org", logo, "the stored line ties the Content-ID to its file"},
        {"CID:%3Clogo.1%40example.org%3E", logo, "escaped, in angle brackets"},
        {"cid:gone@example.org", std::nullopt, "its file is missing: shown as missing"},
        {"cid:evil@example.org", std::nullopt, "only the message's own attachments"},
        {"cid:other@example.org", std::nullopt, "a file in the folder that is no attachment"},
        {"cid:chart.png", attachPath / "chart.png", "no line: an attachment of that name"},
        {"cid:chart.png@01D9.example", attachPath / "chart.png", "or of its part before @"},
        {"cid:nothing@example.org", std::nullopt, "no such picture"},
        {"cid:", std::nullopt, "no Content-ID"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.file, msg.CidFile(c.reference)) << c.why;
}

}  // namespace
}  // namespace kivo
