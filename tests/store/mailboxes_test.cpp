#include <gtest/gtest.h>

#include <functional>

#include "store/KivoMailboxes.h"
#include "store/mbxfile.h"
#include "store/storefeedback.h"
#include "tests/store/fakes.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

struct Tree {
    TempDir dir;
    test::FakeHost host;
    test::RecordingPlatform platform;
    TFrmMailboxes tree{dir.path(), host, platform, NoFeedback()};

    explicit Tree(std::string open = "In") {
        for (const char* f : {"in.mbx", "Out.mbx", "trash.mbx", "zeta.mbx", "Alpha.mbx",
                              "Alpha.idx", "notes.txt"}) {
            WriteFile(dir / f, "");
        }
        fs::create_directories(dir / "Work" / "Deep");
        WriteFile(dir / "Work" / "Beta.mbx", test::NumberedMailbox(1));
        WriteFile(dir / "Work" / "In.mbx", "");
        WriteFile(dir / "Work" / "Deep" / "Gamma.mbx", "");
        host.index.Folder = dir.path();
        host.index.MailboxName = open;
        tree.Init();
    }
    TMailboxNode* Node(std::string_view path) { return tree.FindNode(path); }
};

TEST(MailboxTree, IsBuiltFromTheMailFolderWithTheSystemMailboxesAroundIt) {
    Tree t;
    EXPECT_EQ(t.tree.DescriptionText(),
              "In\r\nOut\r\nSent\r\nAlpha\r\nWork\r\n\tBeta\r\n\tDeep\r\n\t\tGamma\r\n\tIn\r\n"
              "zeta\r\nTrash\r\n");
    EXPECT_EQ(t.Node("In")->Icon, niIn);
    EXPECT_EQ(t.Node("Trash")->Icon, niTrash);
    EXPECT_EQ(t.Node("work\\deep")->Icon, niFolder);
    EXPECT_EQ(t.tree.GetRelPath(t.Node("Work/Deep/Gamma")), "Work/Deep/Gamma");

    t.host.index.MailboxName = "Work\\Deep\\Gamma";
    t.tree.RevealOpenMailbox();
    EXPECT_EQ(t.Node("Work")->Icon, niFolderExpanded);
    EXPECT_EQ(t.Node("Work/Deep")->Icon, niFolderExpanded);
    EXPECT_EQ(t.tree.Selected(), t.Node("Work/Deep/Gamma"));
    EXPECT_EQ(t.tree.Selected()->Icon, niOpenMailbox);

    t.tree.WriteDescription(t.dir / "mboxdesc.ini");
    EXPECT_EQ(test::ReadFile(t.dir / "mboxdesc.ini"), t.tree.DescriptionText());
}

TEST(MailboxTree, UniqueNamesCountUpFromTheLastDigit) {
    Tree t;
    t.tree.Select(t.Node("Alpha"));
    TMailboxNode* first = t.tree.NewMailbox();
    TMailboxNode* second = t.tree.NewMailbox();
    EXPECT_EQ(first->Text, "New Mailbox");
    EXPECT_EQ(second->Text, "New Mailbox 1");
    EXPECT_TRUE(fs::exists(t.dir / "New Mailbox.mbx"));
    EXPECT_TRUE(fs::exists(t.dir / "New Mailbox 1.mbx"));

    t.tree.Select(t.Node("Work"));
    TMailboxNode* folder = t.tree.NewFolder();
    EXPECT_EQ(t.tree.GetRelPath(folder), "Work/New Folder");
    EXPECT_TRUE(fs::is_directory(t.dir / "Work" / "New Folder"));
    EXPECT_EQ(t.Node("Work")->Icon, niFolderExpanded);

    struct Case {
        std::vector<std::string> siblings;
        const char* wanted;
        const char* unique;
    } cases[] = {
        {{"Box"}, "Free", "Free"},
        {{"Box9"}, "Box9", "Box10"},
        {{"New Mailbox", "New Mailbox 1"}, "New Mailbox", "New Mailbox 2"},
        {{"M", "M 1", "M 2", "M 3", "M 4", "M 5", "M 6", "M 7", "M 8", "M 9", "M 10"}, "M", "M 11"},
        // Names that differ in letter case alone would share their files.
        {{"box"}, "Box", "Box 1"},
        {{"Box", "box 1"}, "BOX", "BOX 2"},
    };
    for (const Case& c : cases) {
        Tree u;
        u.tree.Select(u.Node("Work"));
        for (const std::string& s : c.siblings) u.tree.Rename(u.tree.NewMailbox(), s);
        EXPECT_EQ(u.tree.FindUniqueName(u.Node("Work/Beta"), c.wanted), c.unique) << c.wanted;
    }
}

TEST(MailboxTree, RenamingMovesTheFilesAndFollowsTheOpenMailbox) {
    Tree t("Work/Beta");
    EXPECT_EQ(t.tree.Rename(t.Node("In"), "Inbox"), "Cannot rename system mailbox!");
    EXPECT_EQ(t.tree.Rename(t.Node("Alpha"), "a/b"), kInvalidNameTip);
    EXPECT_EQ(t.tree.Rename(t.Node("Alpha"), ""), kInvalidNameTip);
    EXPECT_EQ(t.platform.tips.size(), 3u);

    // A name a sibling has gets the unique variant.
    EXPECT_EQ(t.tree.Rename(t.Node("Alpha"), "zeta"), "Name already exists!");
    EXPECT_TRUE(fs::exists(t.dir / "zeta 1.mbx"));
    EXPECT_TRUE(fs::exists(t.dir / "zeta 1.idx"));
    EXPECT_FALSE(fs::exists(t.dir / "Alpha.mbx"));

    // In inside a folder is no system mailbox.
    EXPECT_EQ(t.tree.Rename(t.Node("Work/In"), "Inner"), "");
    EXPECT_TRUE(fs::exists(t.dir / "Work" / "Inner.mbx"));

    // Renaming the folder of the open mailbox keeps the index window on it.
    EXPECT_EQ(t.tree.Rename(t.Node("Work"), "Job"), "");
    EXPECT_EQ(t.host.index.MailboxName, "Job/Beta");
    EXPECT_TRUE(fs::exists(t.dir / "Job" / "Beta.mbx"));
    EXPECT_EQ(t.tree.Rename(t.Node("Job/Beta"), "Gamma"), "");
    EXPECT_EQ(t.host.index.MailboxName, "Job/Gamma");
}

TEST(MailboxTree, DeletingAsksOnlyForMailboxesWithMessages) {
    Tree t("Work/Beta");
    t.tree.Select(t.Node("Out"));
    EXPECT_EQ(t.tree.DeleteSelected(), "Cannot delete system mailbox!");
    EXPECT_EQ(t.platform.messages.size(), 1u);

    t.tree.Select(t.Node("zeta"));  // empty: no question
    t.tree.DeleteSelected();
    EXPECT_TRUE(t.platform.questions.empty());
    EXPECT_FALSE(fs::exists(t.dir / "zeta.mbx"));
    EXPECT_EQ(t.Node("zeta"), nullptr);

    t.platform.answer = false;
    t.tree.Select(t.Node("Work/Beta"));
    t.tree.DeleteSelected();
    ASSERT_EQ(t.platform.questions.size(), 1u);
    EXPECT_EQ(t.platform.questions[0],
              "Mailbox \"Beta\" is not empty!\nAre you sure you want to delete it?\n"
              "This operation cannot be undone.");
    EXPECT_TRUE(fs::exists(t.dir / "Work" / "Beta.mbx"));

    // The whole folder: every question comes first, and a refusal changes nothing at all.
    t.tree.Select(t.Node("Work"));
    EXPECT_EQ(t.tree.DeleteSelected(), "");
    EXPECT_EQ(t.platform.questions.size(), 2u);
    EXPECT_NE(t.Node("Work"), nullptr);
    EXPECT_NE(t.Node("Work/Deep/Gamma"), nullptr);
    for (const char* f : {"Beta.mbx", "In.mbx", "Deep/Gamma.mbx"})
        EXPECT_TRUE(fs::exists(t.dir / "Work" / f)) << f;

    // Deleted, its messages go to the Trash as deleted messages do.
    t.platform.answer = true;
    t.tree.Select(t.Node("Work/Beta"));
    EXPECT_EQ(t.tree.DeleteSelected(), "");
    EXPECT_FALSE(fs::exists(t.dir / "Work" / "Beta.mbx"));
    EXPECT_EQ(t.host.index.MailboxName, "");  // the open mailbox is gone
    EXPECT_EQ(FindLastIndex(t.dir / "trash.mbx"), 1);

    // Unless asked to delete them for good.
    WriteFile(t.dir / "Work" / "Deep" / "Gamma.mbx", test::NumberedMailbox(2));
    t.tree.Select(t.Node("Work"));
    EXPECT_EQ(t.tree.DeleteSelected(false), "");
    EXPECT_FALSE(fs::exists(t.dir / "Work"));
    EXPECT_EQ(t.Node("Work"), nullptr);
    EXPECT_EQ(FindLastIndex(t.dir / "trash.mbx"), 1);
}

// A file operation that fails (here on paths a folder stands in the way of, which stops root
// too) leaves the files and the tree as they were and says what failed.
TEST(MailboxTree, AFailedFileOperationChangesNothingAndSaysWhy) {
    auto blocked = [](const fs::path& path) {
        fs::create_directories(path / "x");  // a folder with something in it
    };
    struct Case {
        const char* why;
        std::function<std::string(Tree&)> act;
        const char* failure;
        std::vector<const char*> kept;  // files still in place
        std::vector<const char*> nodes;
    };
    const Case cases[] = {
        {"renaming a mailbox whose index cannot move",
         [&](Tree& t) {
             blocked(t.dir / "Beta.idx");
             return t.tree.Rename(t.Node("Alpha"), "Beta");
         },
         "Cannot rename \"Alpha\" to \"Beta\": ",
         {"Alpha.mbx", "Alpha.idx"},
         {"Alpha"}},
        {"renaming a folder onto a file",
         [&](Tree& t) {
             WriteFile(t.dir / "Home", "");
             return t.tree.Rename(t.Node("Work"), "Home");
         },
         "Cannot rename \"Work\" to \"Home\": ",
         {"Work/Beta.mbx"},
         {"Work", "Work/Beta"}},
        {"renaming a folder that is gone from the disk",
         [&](Tree& t) {
             fs::remove_all(t.dir / "Work");
             return t.tree.Rename(t.Node("Work"), "Home");
         },
         "Cannot rename \"Work\" to \"Home\": No such file or directory",
         {"Alpha.mbx"},
         {"Work", "Work/Beta"}},
        {"renaming a mailbox that is gone from the disk",
         [&](Tree& t) {
             fs::remove(t.dir / "Alpha.mbx");
             fs::remove(t.dir / "Alpha.idx");
             return t.tree.Rename(t.Node("Alpha"), "Home");
         },
         "Cannot rename \"Alpha\" to \"Home\": No such file or directory",
         {},
         {"Alpha"}},
        {"moving a folder into itself",
         [&](Tree& t) { return t.tree.MoveNode(t.Node("Work"), t.Node("Work/Deep")); },
         "Cannot move \"Work\": Invalid argument",
         {"Work/Deep/Gamma.mbx"},
         {"Work/Deep/Gamma"}},
        {"moving a mailbox whose index cannot move",
         [&](Tree& t) {
             blocked(t.dir / "Work" / "Alpha.idx");
             return t.tree.MoveNode(t.Node("Alpha"), t.Node("Work"));
         },
         "Cannot move \"Alpha\": ",
         {"Alpha.mbx", "Alpha.idx"},
         {"Alpha"}},
        {"deleting a mailbox whose index cannot go",
         [&](Tree& t) {
             fs::remove(t.dir / "Alpha.idx");
             blocked(t.dir / "Alpha.idx");
             t.tree.Select(t.Node("Alpha"));
             return t.tree.DeleteSelected();
         },
         "Cannot delete \"Alpha\": ",
         {"Alpha.mbx"},
         {"Alpha"}},
        {"deleting a mailbox whose messages cannot go to the Trash",
         [&](Tree& t) {
             fs::remove(t.dir / "trash.mbx");
             blocked(t.dir / "trash.mbx");
             t.tree.Select(t.Node("Work/Beta"));
             return t.tree.DeleteSelected();
         },
         "Cannot delete \"Work/Beta\": ",
         {"Work/Beta.mbx"},
         {"Work/Beta"}},
    };
    for (const Case& c : cases) {
        Tree t;
        const std::string tree = t.tree.DescriptionText();
        const std::string failure = c.act(t);
        EXPECT_TRUE(failure.starts_with(c.failure)) << c.why << ": " << failure;
        EXPECT_EQ(failure.find("same name"), std::string::npos) << c.why;
        ASSERT_EQ(t.platform.messages.size(), 1u) << c.why;
        EXPECT_EQ(t.platform.messages[0], failure);
        EXPECT_EQ(t.tree.DescriptionText(), tree) << c.why;
        for (const char* f : c.kept) EXPECT_TRUE(fs::is_regular_file(t.dir / f)) << c.why << f;
        for (const char* n : c.nodes) EXPECT_NE(t.Node(n), nullptr) << c.why << n;
    }
}

TEST(MailboxTree, MovingMailboxesAndFolders) {
    Tree t("Work/Deep/Gamma");
    WriteFile(t.dir / "Work" / "Beta.d", "1\r\n");
    EXPECT_EQ(t.tree.MoveNode(t.Node("Sent"), t.Node("Work")), "Cannot move system mailbox!");
    EXPECT_EQ(t.tree.MoveNode(t.Node("Work/Deep"), t.Node("Alpha")),
              "Close mailbox \"Work/Deep/Gamma\" first!");
    EXPECT_EQ(t.tree.MoveNode(t.Node("Work/Deep/Gamma"), t.Node("Alpha")),
              "Close mailbox \"Work/Deep/Gamma\" first!");

    // Onto a top-level mailbox: into the mail folder, with the deleted list.
    EXPECT_EQ(t.tree.MoveNode(t.Node("Work/Beta"), t.Node("Alpha")), "");
    EXPECT_TRUE(fs::exists(t.dir / "Beta.mbx"));
    EXPECT_TRUE(fs::exists(t.dir / "Beta.d"));
    EXPECT_FALSE(fs::exists(t.dir / "Work" / "Beta.mbx"));
    ASSERT_NE(t.Node("Beta"), nullptr);  // rebuilt
    // Onto a mailbox inside Work: into Work.
    EXPECT_EQ(t.tree.MoveNode(t.Node("Beta"), t.Node("Work/In")), "");
    EXPECT_TRUE(fs::exists(t.dir / "Work" / "Beta.mbx"));

    WriteFile(t.dir / "Work" / "ZETA.mbx", "");
    t.tree.Init();
    EXPECT_EQ(t.tree.MoveNode(t.Node("zeta"), t.Node("Work")),
              "Mailbox with the same name already exists!");
    t.host.index.MailboxName = "In";
    fs::create_directory(t.dir / "Deep");
    t.tree.Init();
    EXPECT_EQ(t.tree.MoveNode(t.Node("Work/Deep"), t.Node("Alpha")),
              "Folder with the same name already exists!");
    fs::remove(t.dir / "Deep");
    t.tree.Init();
    EXPECT_EQ(t.tree.MoveNode(t.Node("Work/Deep"), t.Node("zeta")), "");
    EXPECT_TRUE(fs::exists(t.dir / "Deep" / "Gamma.mbx"));
}

TEST(MailboxTree, DroppedContactsBecomeMailboxesWithAutoScripts) {
    struct Scripts : TAutoScriptMaker {
        std::vector<std::string> made;
        void MakeScript(std::string_view name, std::string_view relPath,
                        std::string_view email) override {
            made.push_back(std::string(name) + "|" + std::string(relPath) + "|" +
                           std::string(email));
        }
    } scripts;
    Tree t;
    TMailboxNode* node = t.tree.DropContact("", "Smith", "js@example.com", nullptr, scripts);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(t.tree.GetRelPath(node), "Smith");
    EXPECT_TRUE(fs::exists(t.dir / "Smith.mbx"));

    node = t.tree.DropContact(" ", "", "a/b@example.com", t.Node("Work"), scripts);
    EXPECT_EQ(t.tree.GetRelPath(node), "Work/ab@example.com");

    const std::size_t before = t.Node("Work")->Children.size();
    EXPECT_EQ(t.tree.DropContact("Beta", "", "b@example.com", t.Node("Work/Beta"), scripts),
              t.Node("Work/Beta"));
    EXPECT_EQ(t.Node("Work")->Children.size(), before);
    EXPECT_EQ(scripts.made,
              (std::vector<std::string>{"Smith|Smith|js@example.com",
                                        "ab@example.com|Work/ab@example.com|a/b@example.com",
                                        "Beta|Work/Beta|b@example.com"}));
}

TEST(MailboxTree, DroppedMessagesAreCopiedWithCtrlAndMovedWithout) {
    Tree t;
    TFrmIndex source = test::Rebuilt(t.dir / "Work", "Beta");
    source.SelectAll();
    t.tree.DropMessages(source, t.Node("Work"), true);  // a folder takes no messages
    EXPECT_EQ(FindLastIndex(t.dir / "in.mbx"), 0);
    t.tree.DropMessages(source, t.Node("In"), true);
    EXPECT_EQ(FindLastIndex(t.dir / "in.mbx"), 1);
    EXPECT_EQ(source.RowCount(), 1);
    t.tree.DropMessages(source, t.Node("Work/Deep/Gamma"), false);
    EXPECT_EQ(FindLastIndex(t.dir / "Work" / "Deep" / "Gamma.mbx"), 1);
    EXPECT_EQ(source.RowCount(), 0);
    EXPECT_EQ(test::ListedNumbers(t.dir / "Work" / "Beta.d"), "1\r\n");
}

TEST(MailboxTree, OpeningSavesTheOpenMailboxFirst) {
    Tree t;
    EXPECT_FALSE(t.tree.Open(t.Node("Work")));
    EXPECT_FALSE(t.tree.Open(t.Node("In")));  // already open
    EXPECT_TRUE(t.tree.Open(t.Node("Work/Beta")));
    EXPECT_EQ(t.host.saves, 1);
    EXPECT_EQ(t.host.inits, 1);
    EXPECT_EQ(t.host.index.MailboxName, "Work/Beta");
    EXPECT_EQ(t.Node("Work/Beta")->Icon, niOpenMailbox);
    EXPECT_TRUE(t.tree.Open(t.Node("Trash")));
    EXPECT_EQ(t.Node("Work/Beta")->Icon, niMailbox);
    EXPECT_EQ(t.Node("Trash")->Icon, niTrash);
}

}  // namespace
}  // namespace kivo
