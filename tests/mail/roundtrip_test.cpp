// decode(encode(m)) gives back m: the fields, the body lines and the exact attachment bytes.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "mail/msmsg.h"
#include "tests/mail/attachment_maker.h"

namespace kivo {
namespace {

constexpr auto Att = test::MakeAttachment;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random() & 0xff);
    return data;
}

TmsMessage Base() {
    TmsMessage message;
    message.Sender() = TmsMailAddress("jane@x.org", "Jane Q. Smith");
    message.Recipients().AddAddress("a@y.org", "Smith, Ann");
    message.Recipients().AddAddress("b@y.org", "");
    message.CC().AddAddress("c@z.org", "Carl");
    message.SetSubject("Round trip");
    message.SetPriority(ptHigh);
    message.SetReturnReceipt(true);
    message.Headers().Add("Date: Sun, 4 Jul 1999 09:05:00 +0200");
    message.Body() = {"Hello,", "", "  indented line", "last"};
    return message;
}

struct Case {
    const char* name;
    std::function<void(TmsMessage&)> build;
};

TEST(RoundTrip, DecodeOfEncodeGivesTheMessageBack) {
    const Case cases[] = {
        {"plain text", [](TmsMessage&) {}},
        {"body ends with an empty line", [](TmsMessage& m) { m.Body().push_back(""); }},
        {"8-bit latin-1 body", [](TmsMessage& m) {
             m.SetCharSet(csISO8859);
             m.Body() = {"Gr\xfc\xdf" "e = caf\xe9", "trailing blank ", "\t"};
         }},
        {"long lines", [](TmsMessage& m) {
             m.Body() = {std::string(300, 'a'), std::string(100000, 'b') + " end", "x"};
         }},
        {"binary attachments of awkward sizes", [](TmsMessage& m) {
             unsigned seed = 1;
             for (std::size_t size : {0, 1, 2, 56, 57, 58, 114, 1000, 70000}) {
                 m.Attachments().Add(Att("f" + std::to_string(size) + ".zzqq",
                                         "application/x-test", aeBase64,
                                         RandomBytes(size, seed++)));
             }
         }},
        {"text attachments", [](TmsMessage& m) {
             m.Attachments().Add(Att("a.txt", "text/plain", aeQuotedPrintable,
                                     "caf\xe9\r\n= sign\r\n" + std::string(500, 'q') + "\r\n"));
             m.Attachments().Add(Att("b.txt", "text/plain", aeQuotedPrintable, "no line end"));
             m.Attachments().Add(Att("c.zzqq", "text/x-raw", aeNone, "one\r\ntwo\r\n"));
             m.Attachments().Add(Att("d.zzqq", "text/x-raw", aeNone, "no line end"));
         }},
        {"attachments without body", [](TmsMessage& m) {
             m.Body().clear();
             m.Attachments().Add(Att("x.zzqq", "image/x-test", aeBase64, RandomBytes(99, 7)));
             m.Attachments().Add(Att("y.zzqq", "image/x-test", aeBase64, RandomBytes(3, 8)));
         }},
        {"alternative", [](TmsMessage& m) {
             m.Attachments().Add(Att("_alt.0", "text/html", aeQuotedPrintable,
                                     "<html><p>Hello</p></html>\r\n"));
         }},
        {"alternative nested in mixed", [](TmsMessage& m) {
             m.Attachments().Add(Att("_alt.0", "text/html", aeQuotedPrintable, "<p>Hi</p>"));
             m.Attachments().Add(Att("pic.zzqq", "image/x-test", aeBase64, RandomBytes(500, 9)));
             m.Attachments().Add(Att("att.2", "text/plain", aeNone, "plain part\r\n"));
         }},
        {"uuencoded", [](TmsMessage& m) {
             m.SetEncoding(meUU);
             m.Attachments().Add(Att("one.zzqq", "", aeBase64, RandomBytes(100, 10)));
             m.Attachments().Add(Att("two.zzqq", "", aeBase64, RandomBytes(90, 11)));
             m.Attachments().Add(Att("empty.zzqq", "", aeBase64, ""));
         }},
        {"one attachment only", [](TmsMessage& m) {
             m.Body().clear();
             m.Attachments().Add(Att("doc.zzqq", "application/x-doc", aeBase64,
                                     RandomBytes(4000, 12)));
         }},
    };
    for (const Case& c : cases) {
        TmsMessage original = Base();
        c.build(original);
        TmsMessage sent = original;
        std::string text = sent.SaveToString();
        TmsMessage back;
        back.LoadFromBytes(text);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(back.Sender(), original.Sender());
        EXPECT_EQ(back.Recipients(), original.Recipients());
        EXPECT_EQ(back.CC(), original.CC());
        EXPECT_EQ(back.Subject(), original.Subject());
        EXPECT_EQ(back.Priority(), original.Priority());
        EXPECT_EQ(back.ReturnReceipt(), original.ReturnReceipt());
        EXPECT_EQ(back.Encoding(), original.Encoding());
        EXPECT_EQ(back.Headers().GetFieldValue("Date"), "Sun, 4 Jul 1999 09:05:00 +0200");
        EXPECT_EQ(back.Body(), original.Body());
        EXPECT_EQ(back.ContentType(), original.ContentType());
        ASSERT_EQ(back.Attachments().Count(), original.Attachments().Count());
        for (std::size_t i = 0; i < back.Attachments().Count(); ++i) {
            const TmsAttItem& a = back.Attachments().Items(i);
            const TmsAttItem& b = original.Attachments().Items(i);
            EXPECT_EQ(a.FileName(), b.FileName()) << i;
            if (original.Encoding() == meMIME) {
                EXPECT_EQ(a.ContentType(), b.ContentType()) << i;
            }
            EXPECT_TRUE(a.Data() == b.Data()) << b.FileName() << ": " << a.Data().size()
                                              << " bytes back of " << b.Data().size();
        }
        // What was sent reads back the same way a second time.
        TmsMessage again;
        again.LoadFromBytes(back.SaveToString());
        EXPECT_EQ(again.Body(), back.Body());
        EXPECT_EQ(again.Attachments(), back.Attachments());
    }
}

}  // namespace
}  // namespace kivo
