// The text of a stored message as the view, printing and the send queue read it: bodies that
// Out and Sent kept in their transfer encoding, and attachment lines an older form cut up.

#include "mail/storedtext.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

using Lines = std::vector<std::string>;

TEST(StoredText, DecodesBodiesKeptInTheirTransferEncoding) {
    const std::string path = "\"/tmp/qlong/a-rather-long-folder-name-for-testing/and-another-"
                             "nested-folder-level/report-Q4.csv\"";
    struct Case {
        const char* why;
        Lines headers, body, text;
    } cases[] = {
        {"quoted-printable UTF-8, as older versions queued non-ASCII text",
         {"Content-Type: text/plain; charset=\"utf-8\"",
          "Content-Transfer-Encoding: quoted-printable"},
         {"Gr=C3=BC=C3=9Fe aus K=C3=B6ln", "soft=", "break"},
         {"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln", "softbreak"}},
        {"Latin-1 is converted from its declared charset",
         {"Content-Type: text/plain; charset=\"iso-8859-1\"",
          "Content-Transfer-Encoding: Quoted-Printable"},
         {"caf=E9"},
         {"caf\xC3\xA9"}},
        {"base64", {"Content-Transfer-Encoding: base64"}, {"SGVsbG8sCkJvYg=="}, {"Hello,", "Bob"}},
        {"an attachment line cut at the blank after the colon and in the path is whole again",
         {"Content-Type: text/plain; charset=\"utf-8\"",
          "Content-Transfer-Encoding: quoted-printable"},
         {"Gr=C3=BC=C3=9Fe", "Attachment Converted:",
          " \"/tmp/qlong/a-rather-long-folder-name-for-testing/and-another-ne",
          "sted-folder-level/report-Q4.csv\"", "after"},
         {"Gr\xC3\xBC\xC3\x9F" "e", "Attachment Converted: " + path, "after"}},
        {"text as In stores it stays as it is, = signs too",
         {"Content-Type: text/plain; charset=\"utf-8\"", "Content-Transfer-Encoding: 8bit"},
         {"a=C3=BC", "K\xC3\xB6ln"},
         {"a=C3=BC", "K\xC3\xB6ln"}},
        {"a multipart body is left to the view", 
         {"Content-Type: multipart/mixed; boundary=\"1\"",
          "Content-Transfer-Encoding: quoted-printable"},
         {"--1", "a=C3=BC"},
         {"--1", "a=C3=BC"}},
    };
    for (const Case& c : cases) EXPECT_EQ(StoredBodyText(c.headers, c.body), c.text) << c.why;
}

TEST(StoredText, JoinsOnlyWhatWasOneAttachmentLine) {
    struct Case {
        const char* why;
        Lines body, joined;
    } cases[] = {
        {"cut after the word Attachment", {"Attachment", " Converted: \"/a/b.csv\""},
         {"Attachment Converted: \"/a/b.csv\""}},
        {"a whole line stays", {"Attachment Converted: \"/a/b\"", "\"x\""},
         {"Attachment Converted: \"/a/b\"", "\"x\""}},
        {"a line that never closes its quote is left alone",
         {"Attachment Converted: \"/a", std::string(80, 'x'), "y\""},
         {"Attachment Converted: \"/a", std::string(80, 'x'), "y\""}},
        {"ordinary text is not joined", {"Attach", "ment Converted: \"/a\""},
         {"Attach", "ment Converted: \"/a\""}},
    };
    for (Case& c : cases) {
        JoinWrappedAttachmentLines(c.body);
        EXPECT_EQ(c.body, c.joined) << c.why;
    }
}

}  // namespace
}  // namespace kivo
