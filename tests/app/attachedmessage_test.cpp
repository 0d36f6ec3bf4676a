// An attached message read for the view: decoded as arriving mail is, its own attachments
// written into the window's private folder and nowhere else.

#include "app/attachedmessage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

bool HasLine(const std::vector<std::string>& lines, std::string_view want) {
    return std::find(lines.begin(), lines.end(), want) != lines.end();
}

TEST(AttachedMessage, ReadsAsStoredMailWithItsPartsInItsOwnFolder) {
    test::TempDir dir;
    test::WriteFile(dir / "Attached Message 1.html",
                    "From: Mallory <mallory@example.test>\r\nSubject: Inner\r\nMIME-Version: 1.0\r\n"
                    "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                    "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n"
                    "\r\nPHA+R3LDvMOfZTwvcD4=\r\n--b\r\nContent-Type: text/plain; name=\"notes.txt\"\r\n"
                    "Content-Disposition: attachment; filename=\"../notes.txt\"\r\n\r\nnotes\r\n"
                    "--b--\r\n");
    const fs::path parts = NewPartsFolder();
    struct stat info {};
    ASSERT_EQ(0, stat(parts.c_str(), &info));
    EXPECT_EQ(0700u, info.st_mode & 0777u);

    const TShownLines shown = AttachedMessageLines(dir / "Attached Message 1.html", parts);
    EXPECT_TRUE(HasLine(shown.headers, "Subject: Inner"));
    EXPECT_TRUE(HasLine(shown.headers, "Content-Type: text/html; charset=\"utf-8\""));
    EXPECT_TRUE(HasLine(shown.body, "<p>Gr\xc3\xbc\xc3\x9f" "e</p>")) << "decoded, in UTF-8";
    EXPECT_TRUE(HasLine(shown.body, "Attachment Converted: \"" + (parts / "notes.txt").string() + "\""));
    EXPECT_EQ("notes", test::ReadFile(parts / "notes.txt"));
    EXPECT_FALSE(fs::exists(dir / "notes.txt")) << "a sender's path stays inside the folder";

    EXPECT_THROW(AttachedMessageLines(dir / "gone.html", parts), std::system_error);
    fs::remove_all(parts);
}

}  // namespace
}  // namespace kivo
