#include "mail/mimetypes.h"

#include <gtest/gtest.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

TEST(MimeTypes, ReadsTablesAndLooksUpExtensions) {
    test::TempDir dir;
    test::WriteFile(dir / "system",
                    "# comment line\n"
                    "text/plain\t\ttxt text\n"
                    "image/GIF gif # trailing comment\n"
                    "application/x-empty\n"
                    "text/html html htm\r\n");
    test::WriteFile(dir / "user", "text/x-mine txt\n");
    MimeTypeTable table;
    table.Load(dir / "system");
    EXPECT_EQ(table.Lookup("notes.txt"), "text/plain");
    EXPECT_EQ(table.Lookup("C:\\dir\\PIC.GIF"), "image/gif") << "any case, Windows path";
    EXPECT_EQ(table.Lookup("/home/u/page.htm"), "text/html") << "CR LF line ends";
    EXPECT_EQ(table.Lookup("archive.tar.gz"), "");
    EXPECT_EQ(table.Lookup("README"), "");
    EXPECT_EQ(table.Lookup("dir.txt/README"), "") << "a dot in a folder name is no extension";
    EXPECT_EQ(table.Lookup("trailing."), "");
    table.Load(dir / "user");
    EXPECT_EQ(table.Lookup("notes.txt"), "text/x-mine") << "the later file wins";
    table.Load(dir / "missing");
    EXPECT_EQ(table.Lookup("notes.txt"), "text/x-mine");
}

TEST(MimeTypes, UnknownExtensionsAreOctetStreams) {
    EXPECT_EQ(ContentTypeForFile("file.no-such-extension-here"), "application/octet-stream");
    EXPECT_EQ(ContentTypeForFile(""), "application/octet-stream");
    EXPECT_EQ(ContentTypeForFile("picture.gif"), "image/gif");  // from the system table
}

}  // namespace
}  // namespace kivo
