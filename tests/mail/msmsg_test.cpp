#include "mail/msmsg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::TempDir;

TmsAttItem Att(std::string name, std::string type = "application/octet-stream") {
    TmsAttItem item;
    item.SetFileName(name);
    item.SetContentType(type);
    return item;
}

TEST(Message, ContentTypeFollowsTheParts) {
    struct Case {
        std::vector<std::string> attachments;
        bool body;
        TMsgEncoding encoding;
        std::string stored;
        std::string expected;
        const char* why;
    };
    const Case cases[] = {
        {{"a.gif"}, true, meUU, "", "", "uuencoded messages have no type"},
        {{"_alt.0", "dir/_ALT.1"}, true, meMIME, "", "multipart/alternative", "all alternatives"},
        {{"_rtfbody.rtf"}, false, meMIME, "", "text/rtf", "RTF body held as attachment"},
        {{"_htmbody.htm"}, false, meMIME, "", "text/html", "HTML body held as attachment"},
        {{"_htmbody.htm"}, true, meMIME, "", "multipart/mixed", "body text beside the HTML"},
        {{}, true, meMIME, "text/html", "text/html", "body only: the stored type"},
        {{}, true, meMIME, "", "text/plain", "body only, nothing stored"},
        {{}, true, meMIME, "multipart/mixed", "text/plain", "no parts left to be multipart"},
        {{"x.pdf"}, false, meMIME, "", "application/pdf", "one part: its own type"},
        {{}, false, meMIME, "text/html", "text/plain", "nothing at all"},
        {{"a", "b"}, false, meMIME, "", "multipart/mixed", "two parts"},
    };
    for (const Case& c : cases) {
        TmsMessage message;
        message.SetContentType(c.stored);
        message.SetEncoding(c.encoding);
        if (c.body) message.Body().push_back("text");
        for (const std::string& name : c.attachments) {
            message.Attachments().Add(Att(name, "application/pdf"));
        }
        EXPECT_EQ(message.ContentType(), c.expected) << c.why;
        EXPECT_EQ(message.StoredContentType(), c.expected) << c.why << " (stored)";
    }
}

TEST(Message, ValidateNamesTheFirstMissingField) {
    TmsMessage message;
    message.BCC().AddAddress("", "Nobody");
    EXPECT_THROW(
        {
            try {
                message.Validate();
            } catch (const EMessageError& e) {
                EXPECT_STREQ(e.what(), "The address of sender is required");
                throw;
            }
        },
        EMessageError);
    message.Sender().SetAddress("me@x.org");
    try {
        message.Validate();
        ADD_FAILURE() << "a message without a recipient address passed";
    } catch (const EMessageError& e) {
        EXPECT_STREQ(e.what(), "At least one Recipient, CC or BCC must be entered");
    }
    message.BCC().AddAddress("you@y.org", "");
    EXPECT_NO_THROW(message.Validate());

    TmsArticle article;
    article.Sender().SetAddress("me@x.org");
    for (const char* expected : {"Newsgroup header is required", "Subject header is required"}) {
        try {
            article.Validate();
            ADD_FAILURE() << "expected " << expected;
        } catch (const EMessageError& e) {
            EXPECT_STREQ(e.what(), expected);
        }
        article.SetNewsGroups("comp.mail");
    }
}

TEST(Message, AssignCopiesDeeplyWithTagAndComputedType) {
    TmsMessage source;
    source.Sender() = TmsMailAddress("me@x.org", "Me");
    source.Recipients().AddAddress("you@y.org", "You");
    source.SetSubject("Hi");
    source.SetPriority(ptHigh);
    source.SetReturnReceipt(true);
    source.SetTag(42);
    source.Body().push_back("line");
    source.Attachments().Add(Att("a.bin"));
    source.Attachments().Items(0).Data() = std::string("\0\1\2", 3);

    TmsMessage copy;
    copy.CC().AddAddress("old@z.org", "");
    copy.Assign(source);
    source.Attachments().Items(0).Data() = "changed";
    source.Recipients().Clear();
    EXPECT_EQ(copy.Tag(), 42);
    EXPECT_EQ(copy.Recipients().Count(), 1u);
    EXPECT_EQ(copy.CC().Count(), 0u);
    EXPECT_EQ(copy.Attachments().Items(0).Data(), std::string("\0\1\2", 3));
    EXPECT_EQ(copy.StoredContentType(), "multipart/mixed");
    EXPECT_EQ(copy.Priority(), ptHigh);
    EXPECT_TRUE(copy.ReturnReceipt());

    TmsArticle article;
    article.SetNewsGroups("comp.mail");
    article.Assign(copy);  // the common fields only
    EXPECT_EQ(article.Subject(), "Hi");
    EXPECT_EQ(article.NewsGroups(), "comp.mail");
}

TEST(Message, ClearKeepsPriorityAndReceipt) {
    TmsMessage message;
    message.SetReturnReceipt(true);
    message.SetPriority(ptLow);
    message.SetSubject("x");
    message.SetCharSet(csISO8859);
    message.Recipients().AddAddress("a@b", "");
    message.Clear();
    EXPECT_TRUE(message.ReturnReceipt());
    EXPECT_EQ(message.Priority(), ptLow);
    EXPECT_EQ(message.Subject(), "");
    EXPECT_EQ(message.CharSet(), csUSASCII);
    EXPECT_EQ(message.Recipients().Count(), 0u);
    EXPECT_EQ(message.StoredContentType(), "");
}

TEST(Message, BoundedFieldsKeep255Bytes) {
    TmsMessage message;
    message.SetSubject(std::string(300, 's'));
    message.Recipients().AddAddress(std::string(300, 'a'), std::string(256, 'n'));
    EXPECT_EQ(message.Subject().size(), 255u);
    EXPECT_EQ(message.Recipients().Items(0).Address().size(), 255u);
    EXPECT_EQ(message.Recipients().Items(0).Name().size(), 255u);
}

TEST(Message, ReadHeaderFields) {
    struct Case {
        const char* priority;
        TPriority expected;
    };
    for (const Case& c : {Case{"1", ptHigh}, Case{"5", ptLow}, Case{"2 (High)", ptNormal},
                          Case{"1 (Highest)", ptNormal}}) {
        TmsHeaders headers;
        headers.Add("From: \"Doe, Jane\" <jane@x.org>");
        headers.Add("To: a@b.c, Bob <bob@d.e>");
        headers.Add("Cc: carl@f.g (Carl)");
        headers.Add("Subject: =?iso-8859-1?Q?Caf=E9?=");
        headers.Add(std::string("X-Priority: ") + c.priority);
        TmsMessage message;
        message.ReadHeaderFields(headers);
        EXPECT_EQ(message.Priority(), c.expected) << c.priority;
        EXPECT_EQ(message.Sender(), TmsMailAddress("jane@x.org", "Doe, Jane"));
        ASSERT_EQ(message.Recipients().Count(), 2u);
        EXPECT_EQ(message.Recipients().Items(1), TmsMailAddress("bob@d.e", "Bob"));
        EXPECT_EQ(message.CC().Items(0), TmsMailAddress("carl@f.g", "Carl"));
        EXPECT_EQ(message.Subject(), "Caf\xc3\xa9");
        EXPECT_EQ(message.Headers(), headers);
        EXPECT_FALSE(message.ReturnReceipt());
    }
    // The sender is the first mailbox of the From field; a second one never becomes its name.
    struct FromCase {
        std::vector<std::string> lines;
        TmsMailAddress sender;
    };
    const FromCase froms[] = {
        {{"From: <any@attack.com>, <any2@attack.com>"}, TmsMailAddress("any@attack.com", "")},
        {{"From: Ann <ann@x.org>,", " Bob <bob@x.org>"}, TmsMailAddress("ann@x.org", "Ann")},
        {{"From: =?utf-8?Q?Ann?=", "\t<ann@x.org>"}, TmsMailAddress("ann@x.org", "Ann")},
        {{"From: jo@x.org (Doe, Jo)"}, TmsMailAddress("jo@x.org", "Doe, Jo")},
        {{"From: =?utf-8?Q?Doe=2C_Jo?= <jo@x.org>"}, TmsMailAddress("jo@x.org", "Doe, Jo")},
        {{"X-From: x@y", "From: a@b"}, TmsMailAddress("a@b", "")},
    };
    for (const FromCase& c : froms) {
        TmsHeaders headers;
        for (const std::string& line : c.lines) headers.Add(line);
        TmsMessage message;
        message.ReadHeaderFields(headers);
        EXPECT_EQ(message.Sender(), c.sender) << c.lines[0];
    }

    TmsHeaders receipt;
    receipt.Add("Return-Receipt-To: <me@x.org>");
    TmsMessage message;
    message.ReadHeaderFields(receipt);
    EXPECT_TRUE(message.ReturnReceipt());
}

TEST(Attachments, FileNameSetsTypeAndEncoding) {
    TempDir dir;
    test::WriteFile(dir / "notes.txt", "hello\r\n");
    test::WriteFile(dir / "data.zzqq", std::string("\0\xff", 2));
    TmsAttList list;
    list.AddFile((dir / "notes.txt").string());
    list.AddFile((dir / "data.zzqq").string());
    EXPECT_THROW(list.AddFile((dir / "missing.txt").string()), std::system_error);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Items(0).FileName(), (dir / "notes.txt").string());
    EXPECT_EQ(list.Items(0).ContentType(), "text/plain");
    EXPECT_EQ(list.Items(0).Encoding(), aeQuotedPrintable);
    EXPECT_EQ(list.Items(0).Data(), "hello\r\n");
    EXPECT_EQ(list.Items(1).ContentType(), "application/octet-stream");
    EXPECT_EQ(list.Items(1).Encoding(), aeBase64);
    EXPECT_EQ(list.Items(1).Data(), std::string("\0\xff", 2));

    TmsAttItem item = list.Items(0);
    item.SetFileName("");  // an empty name leaves type and encoding alone
    EXPECT_EQ(item.ContentType(), "text/plain");
    item.SetFileName("mail.eml");
    EXPECT_EQ(item.Encoding(), aeNone);
    list.Delete(0);
    EXPECT_EQ(list.Items(0).FileName(), (dir / "data.zzqq").string());
}

TEST(Attachments, SaveAttachmentNeverLeavesTheFolder) {
    struct Case {
        const char* name;
        const char* saved;
    };
    const Case cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../x", "x"},
        {"..", "attachment"},
        {".", "attachment"},
        {"/etc/x", "x"},
        {"a\\b", "b"},
        {"C:\\Windows\\evil.exe", "evil.exe"},
        {"bad\x01na\nme\x7f.txt", "badname.txt"},
        {"dir/..", "attachment"},
        {"", "attachment"},
    };
    TempDir dir;
    std::filesystem::create_directory(dir / "in");
    for (const Case& c : cases) {
        TmsMessage message;
        TmsAttItem item;
        item.SetFileName(c.name);
        item.Data() = c.name;
        message.Attachments().Add(item);
        std::filesystem::path written = message.SaveAttachment(0, dir / "in");
        EXPECT_EQ(written, dir / "in" / c.saved) << c.name;
        EXPECT_EQ(test::ReadFile(written), c.name);
    }
    // Only the folder's own files were written.
    std::size_t outside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename() != "in") ++outside;
    }
    EXPECT_EQ(outside, 0u);
    TmsMessage message;
    message.Attachments().Add(Att("x.bin"));
    EXPECT_THROW(message.SaveAttachment(0, dir / "no" / "such"), std::system_error);
}

TEST(MessageList, OwnsItsMessages) {
    TmsMessageList list;
    TmsListMessage& first = list.Add();
    first.SetSubject("one");
    list.Add().SetSubject("two");
    EXPECT_EQ(&first.Owner(), &list);
    ASSERT_EQ(list.Count(), 2u);
    list.Delete(0);
    EXPECT_EQ(list.Items(0).Subject(), "two");
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace kivo
