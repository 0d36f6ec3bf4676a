// The print document: the message's text under a heading naming sender and subject.

#include <gtest/gtest.h>

#include "view/FPrint.h"

namespace kivo {
namespace {

struct RecordingPrinter : TPrinter {
    std::vector<std::string> texts;
    void PrintDocument(const TFrmPrint& document) override { texts.push_back(document.Text()); }
};

TEST(TFrmPrint, HeadingCutsSenderAndSubject) {
    struct Case {
        std::string from, subject, heading;
        const char* why;
    };
    const std::string from31 = "Ann Example <ann@example.org>xx";  // 31 characters
    const Case cases[] = {
        {"ann@example.org", "Hi", "Message from ann@example.org, Hi", "short values stay"},
        {from31, "Hi", "Message from " + from31.substr(0, 30) + "..., Hi",
         "31 characters: the first 30 and ..."},
        {from31.substr(0, 30), "Hi", "Message from " + from31.substr(0, 30) + ", Hi",
         "30 characters stay"},
        {"a", std::string(45, 's'), "Message from a, " + std::string(40, 's'),
         "the subject is cut to 40 without a mark"},
        {"J\xc3\xbcrgen", "\xc3\xa9t\xc3\xa9", "Message from J\xc3\xbcrgen, \xc3\xa9t\xc3\xa9",
         "UTF-8 stays whole"},
        {"=?utf-8?q?J=C3=BCrgen?=", "x", "Message from J\xc3\xbcrgen, x", "encoded words decoded"},
        {"", "", "Message from , ", "no From, no Subject"},
    };
    for (const Case& c : cases) {
        TFrmPrint print;
        print.Fill({"From: " + c.from, "Subject: " + c.subject, "", "body"});
        print.InsertHeader();
        EXPECT_EQ(c.heading, print.Heading()) << c.why;
    }
    TFrmPrint print;
    print.Fill({"From: x", "Subject: " + std::string(39, 'a') + "\xc3\xa9\xc3\xa9"});
    print.InsertHeader();
    EXPECT_EQ("Message from x, " + std::string(39, 'a') + "\xc3\xa9", print.Heading())
        << "cut between characters, never inside one";
}

TEST(TFrmPrint, HtmlMessagesPrintAsTextWithoutTagsStylesOrScripts) {
    RecordingPrinter printer;
    PrintMessage({"From ???@??? 10/12/2026 10:00:00", "From: ann@example.org", "Subject: News",
                  "Content-Type: text/html", "",
                  "<html><head><style>.box{padding:16px}</style></head><body>",
                  "<p>Hello <b>you</b> &amp; &lt;3</p><div>Shoes</div><div>Coats</div>",
                  "<script>document.title = 'ran';</script></body></html>"},
                 printer);
    ASSERT_EQ(1u, printer.texts.size());
    const std::string& text = printer.texts[0];
    EXPECT_EQ(text.find("Message from ann@example.org, News\n"), 0u) << text;
    EXPECT_NE(text.find("Hello you & <3"), std::string::npos) << text;
    EXPECT_NE(text.find("Shoes\nCoats"), std::string::npos) << "blocks start lines: " << text;
    EXPECT_EQ(text.find("padding"), std::string::npos) << "no style sheet: " << text;
    EXPECT_EQ(text.find("document.title"), std::string::npos) << "no script: " << text;
}

TEST(TFrmPrint, PlainTextKeepsItsLinesAndOldBytesPrintAsUtf8) {
    RecordingPrinter printer;
    PrintMessage({"From: b@example.org",
                  "Subject: Gr\xfc\xdf"
                  "e",
                  "", "line <1>", "", "Sch\xf6n"},
                 printer);
    ASSERT_EQ(1u, printer.texts.size());
    EXPECT_EQ(
        "Message from b@example.org, Gr\xc3\xbc\xc3\x9f"
        "e\n\nline <1>\n\nSch\xc3\xb6n\n",
        printer.texts[0]);
}

}  // namespace
}  // namespace kivo
