#include "mail/msattname.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

struct Case {
    const char* parameter;
    const char* field;
    const char* name;
    const char* why;
};

TEST(PartFileName, ReadsEveryFormSendersUse) {
    const Case cases[] = {
        {"name", "image/gif; name=\"x.gif\"", "x.gif", "plain quoted"},
        {"filename", "attachment; filename=report.pdf", "report.pdf", "plain unquoted"},
        {"name", "application/zip; name=\"=?iso-8859-1?Q?=DCbersicht=2Ezip?=\"",
         "\xc3\x9c"
         "bersicht.zip",
         "encoded word"},
        {"filename", "attachment; filename*=iso-8859-1''%DCbersicht.dat",
         "\xc3\x9c"
         "bersicht.dat",
         "RFC 2231 with charset: the sender's bytes"},
        {"filename", "attachment; filename*0=\"part.txt\"", "part.txt", "numbered, not encoded"},
        {"name", "text/plain; name=\"2024=report.txt\"", "2024=report.txt",
         "digits and '=' in an ordinary name"},
        {"filename", "attachment; filename*=bad%zz", "bad%zz", "no charset part: as written"},
        {"name", "text/plain", "", "no such parameter"},
    };
    for (const Case& c : cases) EXPECT_EQ(PartFileName(c.parameter, c.field), c.name) << c.why;
}

TEST(PartFileName, JoinsNumberedPieces) {
    const Case cases[] = {
        {"filename",
         "attachment; filename*0*=UTF-8''Sch%C3%B6ne; filename*1*=%20Gr%C3%BC%C3%9Fe.txt",
         "Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f"
         "e.txt",
         "encoded pieces, each percent-decoded"},
        {"filename", "attachment; filename*0=\"long name \"; filename*1=\"part two.pdf\"",
         "long name part two.pdf", "a blank at the end of a quoted piece belongs to the name"},
        {"filename", "attachment; filename*0*=utf-8''%E2%82%AC; filename*1=\" 100%41.txt\"",
         "\xe2\x82\xac 100%41.txt", "an unmarked piece is not percent-decoded"},
        {"filename", "attachment; filename*0=\"50%41 \"; filename*1*=%41.txt", "50%41 A.txt",
         "an unmarked piece 0 has no charset; a marked piece 1 is decoded"},
        {"name", "application/pdf; name*0*=utf-8''Rechnung%20; name*1*=M%C3%A4rz.pdf",
         "Rechnung M\xc3\xa4rz.pdf", "pieces in Content-Type"},
        {"filename", "attachment; filename*2=\".txt\"; filename*0=\"a\"; filename*1=\"b\"",
         "ab.txt", "pieces out of order"},
        {"filename", "attachment; filename*0=\"a\"; filename*2=\"c\"", "a",
         "the join stops at the first number missing"},
        {"filename", "attachment; filename*0=a; filename*10=b; filename*1=c", "ac",
         "numbers compare as numbers, not text"},
        {"filename", "attachment; filename*0=\"first\"; filename*0=\"second\"", "first",
         "a repeated number keeps its first value"},
        {"filename", "attachment; FILENAME*0*=utf-8''a; Filename*1=b", "ab",
         "attribute names without regard to case"},
        {"filename", "attachment; filename*0*=utf-8''Bob; filename*1*='s'.txt", "Bob's'.txt",
         "only piece 0 carries charset'language'"},
        {"filename", "attachment; filename*0=\"a;b\"; filename*1=\".txt\"", "a;b.txt",
         "a ';' inside quotes does not end the piece"},
        {"filename", "attachment; filename*0=\"say \\\"hi\\\"\"; filename*1=\".txt\"",
         "say \"hi\".txt", "escaped quotes inside a quoted piece"},
        {"filename", "attachment; filename*=utf-8''a=%3Fb.txt", "a=?b.txt",
         "'=?' in an encoded name is text, not the start of an encoded word"},
    };
    for (const Case& c : cases) EXPECT_EQ(PartFileName(c.parameter, c.field), c.name) << c.why;
}

TEST(PartFileName, PrefersPiecesOverThePlainName) {
    const Case cases[] = {
        {"filename", "attachment; filename=\"fallback.txt\"; filename*=utf-8''R%C3%A9sum%C3%A9.txt",
         "R\xc3\xa9sum\xc3\xa9.txt", "plain name first, encoded name after"},
        {"filename", "attachment; filename*0*=utf-8''long%20; filename*1=\"name.txt\"; filename=x",
         "long name.txt", "pieces first, plain name after"},
        {"name", "text/plain; name=\"short.txt\"; name*0*=utf-8''; name*1*=", "short.txt",
         "pieces that join to nothing: the plain name"},
        {"filename", "attachment; filename=\"whole.txt\"; filename*1=\"tail\"", "whole.txt",
         "piece 0 missing: the plain name"},
        {"name", "text/plain; filename*0=\"other.txt\"; name=\"mine.txt\"", "mine.txt",
         "pieces of another parameter do not count"},
    };
    for (const Case& c : cases) EXPECT_EQ(PartFileName(c.parameter, c.field), c.name) << c.why;
}

TEST(PartFileName, MalformedPiecesGiveWhatCanBeRead) {
    const Case cases[] = {
        {"filename", "attachment; filename*0*=utf-8''100%; filename*1*=%zz%4", "100%%zz%4",
         "bad escapes stay as written"},
        {"filename", "attachment; filename*0*=x-unknown''a%41", "aA",
         "an unknown charset still gives the bytes"},
        {"filename", "attachment; filename*1=\"b\"; filename*2=\".txt\"", "b.txt",
         "piece 0 missing and no plain name: the pieces that came"},
        {"filename", "attachment; filename*0=\"abc", "abc", "quote never closed"},
        {"filename", "attachment; filename*0=", "", "field ends after the '='"},
        {"filename", "attachment; filename*0*=''", "", "charset and language only"},
        {"filename", "attachment; filename*0*=%C3; filename*1*=%B6.txt", "\xc3\xb6.txt",
         "no charset part; a character split across pieces"},
    };
    for (const Case& c : cases) EXPECT_EQ(PartFileName(c.parameter, c.field), c.name) << c.why;
}

TEST(PartFileName, CapsTheNumberOfPieces) {
    std::string field = "attachment";
    for (int i = 0; i < 1000; ++i) field += "; filename*" + std::to_string(i) + "=a";
    EXPECT_EQ(PartFileName("filename", field), std::string(100, 'a'));
}

}  // namespace
}  // namespace kivo
