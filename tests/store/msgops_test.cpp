#include "store/msgops.h"

#include <gtest/gtest.h>

#include "store/KivoIndex.h"
#include "store/mbxfile.h"
#include "store/populate.h"
#include "store/storefeedback.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::NumberedMailbox;
using test::ReadFile;
using test::StoredMsg;
using test::TempDir;
using test::WriteFile;

TEST(MessageOps, CopyAndMoveAppendTheMessagesUnchanged) {
    TempDir dir;
    // The last message has no final line end; the target's last line has none either.
    WriteFile(dir / "Box.mbx", NumberedMailbox(2) + "From z\r\nSubject: m3\r\n\r\nno end");
    WriteFile(dir / "Target.mbx", "From t\r\nSubject: t1\r\n\r\nunfinished");
    TFrmIndex box = test::Rebuilt(dir.path(), "Box");
    box.SelectOnly(2);
    box.SetSelected(0, true);
    CopyToFile(box, nullptr, dir / "Target.mbx", NoFeedback());
    EXPECT_EQ(ReadFile(dir / "Target.mbx"), "From t\r\nSubject: t1\r\n\r\nunfinished\r\n" +
                                                NumberedMailbox(1) +
                                                "From z\r\nSubject: m3\r\n\r\nno end\r\n");
    EXPECT_EQ(box.RowCount(), 3);  // copying deletes nothing

    TFrmIndex target = test::Rebuilt(dir.path(), "Target");
    MoveMessage(box, {}, &target, NoFeedback());
    EXPECT_EQ(FindLastIndex(dir / "Target.mbx"), 5);
    EXPECT_EQ(box.RowCount(), 1);
    EXPECT_EQ(test::ListedNumbers(dir / "Box.d"), "1\r\n3\r\n");
    EXPECT_FALSE(fs::exists(dir / "trash.mbx"));  // a move copies nothing to the Trash

    // Moving into the mailbox itself does nothing, by window or by path.
    box.SelectAll();
    MoveMessage(box, {}, &box, NoFeedback());
    MoveMessage(box, dir / "box.mbx", nullptr, NoFeedback());
    EXPECT_EQ(box.RowCount(), 1);
    EXPECT_EQ(FindLastIndex(dir / "Box.mbx"), 3);
}

TEST(MessageOps, DeletingInTheTrashCopiesNothingAndEmptyTrashClearsIt) {
    TempDir dir;
    WriteFile(dir / "trash.mbx", NumberedMailbox(3));
    TFrmIndex trash = test::Rebuilt(dir.path(), "Trash");
    trash.SelectOnly(2);
    trash.SetFocused(2);
    DeleteSelected(trash, true, NoFeedback());
    EXPECT_EQ(FindLastIndex(dir / "trash.mbx"), 3);
    EXPECT_EQ(trash.SelectedRows(), std::vector<int>{1});  // past the end: the last row
    EXPECT_EQ(test::ListedNumbers(dir / "trash.d"), "3\r\n");

    EmptyTrash(dir.path());
    EXPECT_EQ(fs::file_size(dir / "trash.mbx"), 0u);
    EXPECT_FALSE(fs::exists(dir / "trash.d"));
}

TEST(MessageOps, AFailedCopyToTheTrashDeletesNothing) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", NumberedMailbox(3));
    fs::create_directory(dir / "trash.mbx");  // cannot be appended to
    TFrmIndex box = test::Rebuilt(dir.path(), "Box");
    box.SelectAll();
    try {
        DeleteSelected(box, true, NoFeedback());
        ADD_FAILURE() << "no error";
    } catch (const ECopyError& e) {
        EXPECT_STREQ(e.what(),
                     "Could not add the message to the mailbox,\rmost likely due to "
                     "lack of free space!");
    }
    EXPECT_EQ(box.RowCount(), 3);
    EXPECT_FALSE(fs::exists(dir / "Box.d"));
    EXPECT_EQ(CopyFailedText("Work/Alpha"),
              "Could not add the message to the mailbox Work/Alpha,\rmost likely due to lack of "
              "free space!");
}

TEST(MessageOps, ViewAndClipboardTextsOfMessages) {
    TempDir dir;
    WriteFile(dir / "Box.mbx", "From a\r\nSubject: one\r\nStatus: U\r\n\r\n\r\nbody\r\n.\r\n\r\n" +
                                   StoredMsg("Subject: two\r\n"));
    const TShownLines shown = ExtractForView(dir / "Box.mbx", 1);
    EXPECT_EQ(shown.headers, (std::vector<std::string>{"From a", "Subject: one", "Status: U"}));
    EXPECT_EQ(shown.body, std::vector<std::string>{"body"});
    EXPECT_EQ(shown.number, 1);
    EXPECT_THROW(ExtractForView(dir / "Box.mbx", 3), EIndexInvalid);

    TFrmIndex box = test::Rebuilt(dir.path(), "Box");
    box.SelectAll();
    EXPECT_EQ(SelectedMessagesText(box),
              "From a\r\nSubject: one\r\nStatus: U\r\n\r\n\r\nbody\r\n\r\n" +
                  StoredMsg("Subject: two\r\n") + "\r\n");
}

}  // namespace
}  // namespace kivo
