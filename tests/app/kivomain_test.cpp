#include "app/KivoMain.h"

#include <gtest/gtest.h>

#include "store/indexfile.h"
#include "store/mbxfile.h"
#include "tests/store/fakes.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"
#include "view/FPrint.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::NumberedMailbox;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct RecordingView : TFrmMainView {
    std::vector<std::string> panel0;
    std::string panel2;
    std::vector<int> shown;  // first header line's subject number, per message shown
    int cleared = 0;
    TShownLines last;
    void SetStatusText(int panel, std::string_view text) override {
        if (panel == 0) panel0.emplace_back(text);
        if (panel == 2) panel2 = text;
    }
    void ShowMessageLines(const TShownLines& message) override {
        last = message;
        shown.push_back(static_cast<int>(shown.size()));
    }
    void ClearMessageView() override { ++cleared; }
    std::vector<int> windows;  // the numbers of the messages opened in separate windows
    void OpenMessageWindow(const TShownLines& message, int number) override {
        last = message;
        windows.push_back(number);
    }
};

struct MainRig {
    TempDir home;
    test::RecordingPlatform platform;
    RecordingView view;
    TFrmMain main{ProgramFolder{home.path()}, platform, view};
    MainRig() { fs::create_directory(home / "Mail"); }
    fs::path Mail(std::string_view name) const { return home.path() / "Mail" / name; }
    void Open(std::string name) {
        main.MainIndex().MailboxName = std::move(name);
        main.Init();
    }
};

TEST(MainWindow, OpensFromACurrentIndexAndRebuildsAStaleOne) {
    MainRig rig;
    WriteFile(rig.Mail("in.mbx"), NumberedMailbox(3));
    rig.Open("In");
    TFrmIndex& index = rig.main.MainIndex();
    EXPECT_EQ(index.RowCount(), 3);
    EXPECT_EQ(rig.view.panel2, "3 messages");
    EXPECT_EQ(index.SelectedRows(), std::vector<int>{2});  // the last entry
    EXPECT_TRUE(rig.view.shown.empty());                   // nothing shown while starting
    EXPECT_NE(std::find(rig.view.panel0.begin(), rig.view.panel0.end(), "Loading mailbox..."),
              rig.view.panel0.end());

    // Saved, the index is loaded as it is (a changed subject proves it is not rebuilt).
    index.SortByColumn(icSubject);
    index.SortByColumn(icSubject);
    rig.main.SaveInfo();
    rig.view.panel0.clear();
    rig.Open("In");
    EXPECT_EQ(index.Row(0).Subject, "m3");  // the order of the last sort
    EXPECT_TRUE(rig.view.panel0.empty());

    // A message appended behind the index is listed after the others; the rest stays.
    AppendToFile({"From x", "Subject: m4", "", "b"}, rig.Mail("in.mbx"));
    rig.Open("In");
    ASSERT_EQ(index.RowCount(), 4);
    EXPECT_EQ(index.Row(0).Subject, "m3");
    EXPECT_EQ(index.Row(3).Subject, "m4");
    EXPECT_EQ(index.Row(3).Number, 4);

    // A file rewritten behind the index makes it stale: rebuilt in message order.
    std::string text = test::ReadFile(rig.Mail("in.mbx"));
    text.replace(text.find("Subject: m2"), 11, "Subject: M2");
    test::WriteFile(rig.Mail("in.mbx"), text);
    rig.Open("In");
    ASSERT_EQ(index.RowCount(), 4);
    EXPECT_EQ(index.Row(0).Subject, "m1");
    EXPECT_EQ(index.Row(1).Subject, "M2");

    // A missing mailbox file is created empty.
    rig.Open("Sent");
    EXPECT_TRUE(fs::exists(rig.Mail("Sent.mbx")));
    EXPECT_EQ(rig.view.panel2, "No messages");
}

TEST(MainWindow, ShowingAMessageMarksItReadAndABrokenIndexIsRepaired) {
    MainRig rig;
    WriteFile(rig.Mail("in.mbx"), NumberedMailbox(2));
    rig.main.Starting = false;
    rig.Open("In");
    TFrmIndex& index = rig.main.MainIndex();
    ASSERT_EQ(rig.view.shown.size(), 1u);  // the last entry is shown once started
    EXPECT_EQ(rig.view.last.headers[1], "Subject: m2");
    EXPECT_FALSE(index.Row(1).Unread);
    EXPECT_EQ(index.Row(1).Icon, 2);
    EXPECT_FALSE(rig.main.ShowMessage(index, 1));  // already shown
    EXPECT_FALSE(rig.main.ShowMessage(index, 5));  // out of range
    EXPECT_TRUE(rig.main.ShowMessage(index, 0));
    EXPECT_EQ(rig.view.last.body, std::vector<std::string>{"body"});
    EXPECT_FALSE(index.Row(0).Unread);
    EXPECT_TRUE(rig.main.StepMessage(+1));  // from the focused first row to the second
    EXPECT_EQ(index.SelectedRows(), std::vector<int>{1});
    EXPECT_FALSE(rig.main.StepMessage(+1));
    EXPECT_TRUE(rig.main.StepMessage(-1));
    EXPECT_EQ(index.SelectedRows(), std::vector<int>{0});
    EXPECT_FALSE(rig.main.StepMessage(-1));
    EXPECT_NE(std::find(rig.view.panel0.begin(), rig.view.panel0.end(), "Retrieving message..."),
              rig.view.panel0.end());

    // Double click or Enter: a separate window, also for the message the docked view shows;
    // the docked view keeps its message.
    const std::size_t docked = rig.view.shown.size();
    EXPECT_TRUE(rig.main.ShowMessageSeparate(index, 0));
    EXPECT_TRUE(rig.main.ShowMessageSeparate(index, 0));
    EXPECT_FALSE(rig.main.ShowMessageSeparate(index, 9));
    EXPECT_EQ(rig.view.windows, (std::vector<int>{index.Row(0).Number, index.Row(0).Number}));
    EXPECT_EQ(rig.view.last.headers[1], "Subject: m1");
    EXPECT_EQ(rig.view.shown.size(), docked);

    // The file lost a message behind the index's back: compress and reopen.
    rig.main.SaveInfo();
    WriteFile(rig.Mail("in.mbx"), NumberedMailbox(1));
    TFrmIndex stale = index;
    EXPECT_FALSE(rig.main.ShowMessage(stale, 1));
    rig.Open("In");
    EXPECT_EQ(index.RowCount(), 1);
}

TEST(MainWindow, SaveInfoCompressesWhenManyMessagesAreDeleted) {
    struct Case {
        int messages;
        int deleted;
        bool compressed;
    } cases[] = {
        {30, 2, false}, {30, 3, true}, {2000, 101, true}, {2000, 100, false}};  // 28 / 10 = 2
    for (const Case& c : cases) {
        MainRig rig;
        WriteFile(rig.Mail("Box.mbx"), NumberedMailbox(c.messages));
        rig.Open("Box");
        TFrmIndex& index = rig.main.MainIndex();
        index.ClearSelection();
        for (int row = 0; row < c.deleted; ++row) index.SetSelected(row, true);
        DeleteSelected(index, false, NoFeedback());
        EXPECT_EQ(rig.main.DeletedCount(), c.deleted);
        rig.main.SaveInfo();
        EXPECT_EQ(FindLastIndex(rig.Mail("Box.mbx")),
                  c.compressed ? c.messages - c.deleted : c.messages)
            << c.messages << "/" << c.deleted;
        EXPECT_EQ(fs::exists(rig.Mail("Box.d")), !c.compressed);
    }
}

TEST(MainWindow, KeepsTheShowFilterAndEmptiesTheTrash) {
    MainRig rig;
    WriteFile(rig.Mail("trash.mbx"), NumberedMailbox(3));
    TFrmIndex& index = rig.main.MainIndex();
    index.ApplyFilter(scSubject, "m2", true);
    rig.Open("Trash");
    EXPECT_EQ(index.RowCount(), 1);
    EXPECT_EQ(rig.view.panel2, "1 message");
    rig.main.EmptyTrash1Click();
    EXPECT_EQ(fs::file_size(rig.Mail("trash.mbx")), 0u);
    EXPECT_EQ(index.RowCount(), 0);
    EXPECT_EQ(rig.view.panel2, "No messages");
}

TEST(MainWindow, RowsDroppedOnAnotherIndexWindowMoveOrCopyThere) {
    MainRig rig;
    WriteFile(rig.Mail("in.mbx"), NumberedMailbox(3));
    WriteFile(rig.Mail("work.mbx"), NumberedMailbox(1));
    rig.Open("In");
    TFrmIndex& main = rig.main.MainIndex();
    TFrmIndex work;
    work.MailboxName = "Work";
    rig.main.OpenIndexWindow(work);
    ASSERT_EQ(work.RowCount(), 1);
    EXPECT_EQ(work.SelectedRows(), std::vector<int>{0});

    // m2 moves from the main window to Work: it leaves In (deleted list) and Work lists it.
    main.SelectOnly(1);
    rig.main.DropOnIndex(main, work, false);
    EXPECT_EQ(main.RowCount(), 2);
    EXPECT_EQ(rig.view.panel2, "2 messages");
    ASSERT_EQ(work.RowCount(), 2);
    EXPECT_EQ(work.Row(1).Subject, "m2");
    EXPECT_EQ(FindLastIndex(rig.Mail("work.mbx")), 2);

    // Back from Work with Ctrl: a copy, and the main window lists it.
    work.SelectOnly(0);
    rig.main.DropOnIndex(work, main, true);
    EXPECT_EQ(work.RowCount(), 2);
    ASSERT_EQ(main.RowCount(), 3);
    EXPECT_EQ(main.Row(2).Subject, "m1");
    EXPECT_EQ(FindLastIndex(rig.Mail("in.mbx")), 4);

    // Onto a window of the same mailbox nothing happens.
    TFrmIndex alsoWork;
    alsoWork.MailboxName = "work";
    rig.main.OpenIndexWindow(alsoWork);
    work.SelectAll();
    rig.main.DropOnIndex(work, alsoWork, false);
    EXPECT_EQ(FindLastIndex(rig.Mail("work.mbx")), 2);
    EXPECT_EQ(work.RowCount(), 2);

    // Closing saves the window's index: it opens again without a rebuild, in its order.
    work.SortByColumn(icSubject);
    work.SortByColumn(icSubject);
    ASSERT_TRUE(rig.main.CloseIndexWindow(work));
    TFrmIndex again;
    again.MailboxName = "Work";
    rig.main.OpenIndexWindow(again);
    ASSERT_EQ(again.RowCount(), 2);
    EXPECT_EQ(again.Row(0).Subject, "m2");

    // Mail appended behind the window (a check storing into its mailbox) is listed on a
    // reopen, after the rows in their order, and is the selected row.
    AppendToFile({"From x", "Subject: m9", "", "b"}, rig.Mail("work.mbx"));
    rig.main.ReopenIndexWindow(again);
    ASSERT_EQ(again.RowCount(), 3);
    EXPECT_EQ(again.Row(0).Subject, "m2");
    EXPECT_EQ(again.Row(2).Subject, "m9");
    EXPECT_EQ(again.SelectedRows(), std::vector<int>{2});
}

TEST(MainWindow, PrintsTheFocusedMessageAndClearsItsStatusAlsoOnFailure) {
    struct RecordingPrinter : TPrinter {
        std::vector<std::string> headings;
        void PrintDocument(const TFrmPrint& document) override {
            headings.push_back(document.Heading());
        }
    };
    MainRig rig;
    WriteFile(rig.Mail("in.mbx"), NumberedMailbox(3));
    rig.Open("In");
    TFrmIndex& index = rig.main.MainIndex();
    RecordingPrinter printer;
    index.SelectOnly(0);
    index.SetSelected(1, true);
    index.SetFocused(1);
    rig.view.panel0.clear();
    EXPECT_TRUE(rig.main.Print1Click(printer));
    ASSERT_EQ(printer.headings.size(), 1u);
    EXPECT_EQ(printer.headings[0], "Message from , " + index.Row(1).Subject);
    EXPECT_EQ(rig.view.panel0, (std::vector<std::string>{"Printing...", ""}));

    // The file rewritten behind the index: nothing printed, the status panel cleared.
    WriteFile(rig.Mail("in.mbx"), NumberedMailbox(1));
    rig.view.panel0.clear();
    EXPECT_ANY_THROW(rig.main.Print1Click(printer));
    EXPECT_EQ(printer.headings.size(), 1u);
    EXPECT_EQ(rig.view.panel0.back(), "");

    // Nothing selected: nothing to print.
    rig.Open("In");
    for (int row = 0; row < index.RowCount(); ++row) index.SetSelected(row, false);
    EXPECT_FALSE(rig.main.Print1Click(printer));
}

}  // namespace
}  // namespace kivo
