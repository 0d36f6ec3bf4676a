#include "app/programfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

// Records which first-run content start-up asked for.
class RecordingContent : public TFirstRunContent {
  public:
    void WriteBuiltInScripts(const ProgramFolder&) override { calls += "scripts,"; }
    void WriteDefaultUserButtons(const ProgramFolder&) override { calls += "buttons,"; }
    void WriteWelcomeMailbox(const ProgramFolder&) override { calls += "welcome,"; }
    std::string calls;
};

std::string Names(const std::vector<fs::path>& paths, const fs::path& root) {
    std::string names;
    for (const fs::path& p : paths) names += fs::relative(p, root).string() + ",";
    return names;
}

TEST(PrepareProgramFolder, FirstRunPreparationDependsOnWhatIsThere) {
    struct Case {
        const char* why;
        std::vector<std::string> folders;  // there before the start
        bool accounts;
        bool firstRun;
        std::string created;
        std::string calls;
    } cases[] = {
        // clang-format off
        {"empty folder", {}, false, true,
         "Signatures,Signatures/Default.txt,Scripts,Mail,Attach,",
         "scripts,buttons,welcome,"},
        {"accounts but nothing else: no signature file, no welcome", {}, true, true,
         "Signatures,Scripts,Mail,Attach,", "scripts,buttons,"},
        {"mail folder deleted: a first run even with accounts",
         {"Signatures", "Scripts", "Attach"}, true, true, "Mail,", ""},
        {"only the signature folder missing", {"Scripts", "Mail", "Attach"}, false, false,
         "Signatures,Signatures/Default.txt,", ""},
        {"everything there", {"Signatures", "Scripts", "Mail", "Attach"}, false, false, "", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        for (const auto& f : c.folders) fs::create_directory(dir / f);
        if (c.accounts) test::WriteFile(dir / "accounts.ini", "[Work]\r\n");
        RecordingContent content;
        const TStartFolders start = PrepareProgramFolder({dir.path()}, content);
        EXPECT_EQ(start.FirstRun, c.firstRun) << c.why;
        EXPECT_EQ(Names(start.Created, dir.path()), c.created) << c.why;
        EXPECT_EQ(content.calls, c.calls) << c.why;
        for (const char* f : {"Signatures", "Scripts", "Mail", "Attach"}) {
            EXPECT_TRUE(fs::is_directory(dir / f)) << c.why << ": " << f;
        }
    }
}

TEST(PrepareProgramFolder, SignatureFileHoldsThePlaceholderLine) {
    test::TempDir dir;
    RecordingContent content;
    PrepareProgramFolder({dir.path()}, content);
    EXPECT_EQ(test::ReadFile(dir / "Signatures" / "Default.txt"),
              "-- %fullname%, %email% on %date% at %time%\r\n");
}

TEST(PrepareProgramFolder, AttachmentFolderFromTheSettingsIsMadeOneLevelDeepOnly) {
    struct Case {
        std::string attach;
        bool made;
    } cases[] = {{"Files", true}, {"Missing/Files", false}};
    for (const auto& c : cases) {
        test::TempDir dir;
        const fs::path attach = dir / c.attach;
        test::WriteFile(dir / "kivo.ini", "[Mail]\r\nAttachPath=" + attach.string() + "\r\n");
        RecordingContent content;
        const TStartFolders start = PrepareProgramFolder({dir.path()}, content);
        EXPECT_EQ(start.Settings.Mail.AttachPath, attach);
        EXPECT_EQ(fs::is_directory(attach), c.made) << c.attach;
        EXPECT_FALSE(fs::exists(dir / "Missing")) << c.attach;
        EXPECT_FALSE(fs::exists(dir / "Attach")) << c.attach;
    }
}

TEST(PrepareProgramFolder, MissingProgramFolderMakesNothing) {
    test::TempDir dir;
    RecordingContent content;
    const TStartFolders start = PrepareProgramFolder({dir / "gone"}, content);
    EXPECT_TRUE(start.FirstRun);
    EXPECT_TRUE(start.Created.empty());
    EXPECT_EQ(content.calls, "");
    EXPECT_FALSE(fs::exists(dir / "gone"));
}

TEST(ProgramFolderLocate, HomeOptionThenEnvironmentThenWritableExecutableFolder) {
    test::TempDir dir;
    fs::create_directory(dir / "bin");
    test::WriteFile(dir / "bin" / "kivo", "");
    const char* saved = std::getenv("KIVO_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("KIVO_HOME", (dir / "env").c_str(), 1);
    EXPECT_EQ(ProgramFolder::Locate(dir / "opt", dir / "bin" / "kivo").root, dir / "opt");
    EXPECT_EQ(ProgramFolder::Locate(std::nullopt, dir / "bin" / "kivo").root, dir / "env");
    unsetenv("KIVO_HOME");
    EXPECT_EQ(ProgramFolder::Locate(std::nullopt, dir / "bin" / "kivo").root, dir / "bin");
    if (saved) setenv("KIVO_HOME", savedValue.c_str(), 1);
}

}  // namespace
}  // namespace kivo
