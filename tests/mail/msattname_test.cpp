#include "mail/msattname.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(PartFileName, ReadsEveryFormSendersUse) {
    struct Case {
        const char* parameter;
        const char* field;
        const char* name;
        const char* why;
    };
    const Case cases[] = {
        {"name", "image/gif; name=\"x.gif\"", "x.gif", "plain quoted"},
        {"filename", "attachment; filename=report.pdf", "report.pdf", "plain unquoted"},
        {"name", "application/zip; name=\"=?iso-8859-1?Q?=DCbersicht=2Ezip?=\"",
         "\xdc" "bersicht.zip", "encoded word"},
        {"filename", "attachment; filename*=iso-8859-1''%DCbersicht.dat", "\xdc" "bersicht.dat",
         "RFC 2231 with charset"},
        {"filename", "attachment; filename*0*=utf-8''a%20b; filename*1*=c", "a b",
         "RFC 2231 continuation: the first piece"},
        {"filename", "attachment; filename*0=\"part.txt\"", "part.txt", "numbered, not encoded"},
        {"name", "text/plain; name=\"2024=report.txt\"", "2024=report.txt",
         "digits and '=' in an ordinary name"},
        {"filename", "attachment; filename*=bad%zz", "bad%zz", "no charset part: as written"},
        {"name", "text/plain", "", "no such parameter"},
    };
    for (const Case& c : cases) EXPECT_EQ(PartFileName(c.parameter, c.field), c.name) << c.why;
}

}  // namespace
}  // namespace kivo
