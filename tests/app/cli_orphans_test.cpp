// `kivo repair` and the attachment folder: files no message points to are listed, and removed
// only when the user agrees; every file a message names stays, however it names it.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::StoredMsg;
using test::WriteFile;

TEST(CliRepair, OffersToRemoveAttachmentFilesNoMessagePointsTo) {
    test::TempDir home;
    const fs::path attach = home / "Attach";
    fs::create_directories(home / "Mail" / "Work");
    fs::create_directories(attach / "sub");
    WriteFile(
        home / "Mail" / "in.mbx",
        StoredMsg("Subject: one\r\nStatus: U\r\n",
                  "text\r\nAttachment Converted: \"" + (attach / "a.pdf").string() + "\"\r\n") +
            StoredMsg("Subject: moved here\r\nStatus: R\r\n",
                      // A program folder that moved since: the name still counts.
                      "Attachment Converted: \"/old/home/Attach/b b.txt\"\r\n"));
    WriteFile(home / "Mail" / "Work" / "Alpha.mbx",
              StoredMsg("Subject: html\r\nX-Content-File: <logo@x> \"" +
                        (attach / "logo.png").string() + "\"\r\nStatus: U\r\n"));
    for (const char* name : {"a.pdf", "b b.txt", "logo.png", "orphan.doc", "a1.pdf", ".hidden"})
        WriteFile(attach / name, "data");

    const test::ProcessResult asked = test::RunKivoIn(home.path(), {"repair", "in"});
    EXPECT_EQ(asked.status, 0) << asked.err;
    const std::string listed =
        "Attachment file no message points to: " + (attach / "a1.pdf").string() +
        "\nAttachment file no message points to: " + (attach / "orphan.doc").string() + "\n";
    EXPECT_NE(asked.out.find(listed + "2 attachment files kept\n"), std::string::npos) << asked.out;
    EXPECT_TRUE(fs::exists(attach / "orphan.doc")) << "no terminal to say yes";

    const test::ProcessResult yes = test::RunKivoIn(home.path(), {"repair", "in", "--yes"});
    EXPECT_EQ(yes.status, 0) << yes.err;
    EXPECT_NE(yes.out.find(listed + "2 attachment files removed\n"), std::string::npos) << yes.out;
    for (const char* kept : {"a.pdf", "b b.txt", "logo.png", ".hidden", "sub"})
        EXPECT_TRUE(fs::exists(attach / kept)) << kept;
    EXPECT_FALSE(fs::exists(attach / "orphan.doc"));
    EXPECT_FALSE(fs::exists(attach / "a1.pdf"));

    // Nothing left over: repair says nothing about the folder.
    const test::ProcessResult again = test::RunKivoIn(home.path(), {"repair", "in"});
    EXPECT_EQ(again.out.find("ttachment file"), std::string::npos) << again.out;
}

}  // namespace
}  // namespace kivo
