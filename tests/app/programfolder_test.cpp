#include "app/programfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

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

// Sets environment variables for one case and puts the old values back.
class EnvGuard {
  public:
    void Set(const char* name, const std::string& value) {
        Save(name);
        if (value.empty()) {
            unsetenv(name);
        } else {
            setenv(name, value.c_str(), 1);
        }
    }
    ~EnvGuard() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

  private:
    void Save(const char* name) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(ProgramFolderLocate, HomeOptionThenEnvironmentThenPortableInstallThenXdgDataHome) {
    test::TempDir dir;
    fs::create_directory(dir / "bin");
    test::WriteFile(dir / "bin" / "kivo", "");
    fs::create_directory(dir / "portable");
    test::WriteFile(dir / "portable" / "kivo", "");
    test::WriteFile(dir / "portable" / "kivo.ini", "[Program]\r\n");
    const std::string data = (dir / "data").string();
    struct Case {
        const char* why;
        const char* option;  // --home, or empty
        const char* kivoHome;
        std::string xdg;
        const char* exe;
        fs::path expected;
        const char* chosenBy;
    } cases[] = {
        // clang-format off
        {"the option wins", "opt", "env", data, "portable", dir / "opt", "--home"},
        {"then KIVO_HOME", "", "env", data, "portable", dir / "env", "KIVO_HOME"},
        {"a kivo.ini beside the executable: a portable install", "", "", data, "portable",
         dir / "portable", "a kivo.ini beside the executable"},
        {"a writable executable folder alone is not used", "", "", data, "bin",
         dir / "data" / "kivo", "$XDG_DATA_HOME/kivo"},
        {"no XDG_DATA_HOME", "", "", "", "bin", dir / "home" / ".local" / "share" / "kivo",
         "~/.local/share/kivo"},
        {"a relative XDG_DATA_HOME is ignored", "", "", "rel/data", "bin",
         dir / "home" / ".local" / "share" / "kivo", "~/.local/share/kivo"},
        // clang-format on
    };
    for (const auto& c : cases) {
        EnvGuard env;
        env.Set("KIVO_HOME", *c.kivoHome ? (dir / c.kivoHome).string() : "");
        env.Set("XDG_DATA_HOME", c.xdg);
        env.Set("HOME", (dir / "home").string());
        const std::optional<fs::path> option =
            *c.option ? std::optional<fs::path>(dir / c.option) : std::nullopt;
        const ProgramFolder folder = ProgramFolder::Locate(option, dir / c.exe / "kivo");
        EXPECT_EQ(folder.root, c.expected) << c.why;
        EXPECT_EQ(folder.chosenBy, c.chosenBy) << c.why;
    }
}

TEST(ProgramFolderCreate, TheDefaultFolderGetsItsParentsANamedOneDoesNot) {
    test::TempDir dir;
    const ProgramFolder byDefault(dir / "home" / ".local" / "share" / "kivo", "default", true);
    ASSERT_TRUE(byDefault.Create());
    EXPECT_EQ(fs::status(byDefault.root).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(byDefault.Create()) << "an existing folder is fine";

    const ProgramFolder named(dir / "typo" / "kivo", "--home");
    EXPECT_FALSE(named.Create());
    EXPECT_FALSE(fs::exists(dir / "typo"));
}

}  // namespace
}  // namespace kivo
