// The kivo executable as a real process: global options, exit statuses and kivo init.

#include <gtest/gtest.h>

#include <algorithm>

#include "base/inifile.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(KivoCommand, VersionHelpAndWrongCommandLines) {
    auto r = test::RunKivo({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Kivo 1.0\n");

    r = test::RunKivo({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--home DIR"), std::string::npos);
    EXPECT_NE(r.out.find("\n  init "), std::string::npos);

    struct Case {
        std::vector<std::string> args;
        int status;
        const char* error;  // part of the one-line error
    } cases[] = {
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"--home"}, 2, "--home needs a folder"},
        {{"--home=", "init"}, 2, "--home needs a folder"},
        {{"--frob", "init"}, 2, "unknown option '--frob'"},
        {{"init", "extra"}, 2, "unexpected argument 'extra'"},
        {{"--home", "/nonexistent-kivo-parent/home", "init"},
         1,
         "cannot create the program folder"},
    };
    for (const auto& c : cases) {
        r = test::RunKivo(c.args);
        EXPECT_EQ(r.status, c.status) << c.error;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.error;
    }
    // Without a command and without a display there are no windows to open: the usage.
    r = test::RunKivo({}, {}, {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage:"), std::string::npos);
}

// The headless commands (a cron check, a send) start without the GUI libraries: they would
// cost every start tens of megabytes. The windows are kivo-windows beside kivo.
TEST(KivoCommand, HeadlessCommandsLoadNoWindowLibraries) {
    const auto r = test::RunKivo({"--version"}, {}, {"LD_DEBUG=libs"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("libc.so"), std::string::npos) << "the loader's list is read";
    EXPECT_EQ(r.err.find("libQt6"), std::string::npos) << r.err;
}

TEST(KivoCommand, AStartWithoutItsWindowsProgramSaysSo) {
    test::TempDir dir;
    fs::copy_file(KIVO_BINARY, dir / "kivo");
    const auto r = test::RunProgram({(dir / "kivo").string(), "--home", (dir / "home").string()},
                                    {}, {"QT_QPA_PLATFORM=offscreen"});
#ifdef KIVO_WITH_WINDOWS
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot start the windows (" + (dir / "kivo-windows").string()),
              std::string::npos)
        << r.err;
#else
    EXPECT_EQ(r.status, 2);  // no windows in this build: the usage
    EXPECT_NE(r.err.find("init"), std::string::npos) << r.err;
#endif
}

TEST(KivoCommand, HomeOptionWinsOverTheEnvironment) {
    test::TempDir dir;
    fs::create_directory(dir / "env");
    auto r = test::RunKivo({"init"}, {}, {"KIVO_HOME=" + (dir / "env").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_directory(dir / "env" / "Mail"));

    r = test::RunKivo({"--home", (dir / "opt").string(), "init"}, {},
                      {"KIVO_HOME=" + (dir / "env2").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_directory(dir / "opt" / "Mail"));
    EXPECT_FALSE(fs::exists(dir / "env2"));
}

TEST(KivoInit, MakesTheProgramFolderAndWritesEverySetting) {
    test::TempDir dir;
    const fs::path home = dir / "home";
    auto r = test::RunKivo({"--home", home.string(), "init"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* f : {"Signatures", "Scripts", "Mail", "Attach"}) {
        EXPECT_TRUE(fs::is_directory(home / f)) << f;
        EXPECT_NE(r.out.find("created " + (home / f).string() + "\n"), std::string::npos) << f;
    }
    EXPECT_TRUE(fs::exists(home / "Signatures" / "Default.txt"));
    const IniFile ini(home / "kivo.ini");
    EXPECT_EQ(ini.ReadString("Program", "Opened", ""), "In");
    EXPECT_EQ(ini.ReadString("Mail", "AutoCheckTime", ""), "5");
    EXPECT_EQ(ini.ReadString("Position", "Col0", ""), "150");
}

TEST(KivoInit, SecondRunKeepsTheUsersFilesAndSettings) {
    test::TempDir dir;
    ASSERT_EQ(test::RunKivo({"--home", dir.path().string(), "init"}).status, 0);
    test::WriteFile(dir / "Signatures" / "Default.txt", "-- Jo\r\n");
    IniFile ini(dir / "kivo.ini");
    ini.WriteString("Mail", "SMTP", "smtp.example.org");
    ini.WriteString("Scripts", "Incoming", "\"Sort\"");
    ini.UpdateFile();

    auto r = test::RunKivo({"--home", dir.path().string(), "init"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LineCount(r.out), 1u) << r.out;  // only the settings line: nothing new made
    EXPECT_EQ(test::ReadFile(dir / "Signatures" / "Default.txt"), "-- Jo\r\n");
    const IniFile back(dir / "kivo.ini");
    EXPECT_EQ(back.ReadString("Mail", "SMTP", ""), "smtp.example.org");
    EXPECT_EQ(back.ReadString("Scripts", "Incoming", ""), "Sort");
}

TEST(KivoInit, AProgramFolderThatCannotBeMadeIsRefusedWithTheReason) {
    test::TempDir dir;
    auto r = test::RunKivo({"--home", (dir / "typo" / "kivo").string(), "init"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kivo init: cannot create the program folder " +
                         (dir / "typo" / "kivo").string() + ": the folder " +
                         (dir / "typo").string() +
                         " does not exist (make it first, or give another --home)\n");
    EXPECT_FALSE(fs::exists(dir / "typo"));
    test::WriteFile(dir / "file", "");
    r = test::RunKivo({"--home", (dir / "file").string(), "account", "add", "A"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(": a file of that name is in the way"), std::string::npos) << r.err;
}

TEST(KivoInit, FoldersWhoseParentIsMissingStayMissing) {
    test::TempDir dir;
    const fs::path deep = dir / "no" / "such" / "Attach";
    test::WriteFile(dir / "kivo.ini", "[Mail]\r\nAttachPath=" + deep.string() + "\r\n");
    auto r = test::RunKivo({"--home", dir.path().string(), "init"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir / "no"));
    EXPECT_TRUE(fs::is_directory(dir / "Mail"));
    EXPECT_EQ(IniFile(dir / "kivo.ini").ReadString("Mail", "AttachPath", ""), deep.string());
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// Which program folder a start without --home uses, as `kivo -v` reports it, and how it is
// made. The executable is copied where a case needs a folder of its own beside it.
TEST(KivoCommand, TheProgramFolderWithoutHomeOption) {
    test::TempDir dir;
    for (const char* bin : {"portable", "plain"}) {
        fs::create_directory(dir / bin);
        fs::copy_file(KIVO_BINARY, dir / bin / "kivo");
    }
    test::WriteFile(dir / "portable" / "kivo.ini", "[Program]\r\nOpened=In\r\n");
    const std::string home = (dir / "home").string();
    struct Case {
        const char* why;
        const char* exe;
        std::vector<std::string> env;  // set for the run; KIVO_HOME and XDG_DATA_HOME unset else
        fs::path expected;
    } cases[] = {
        {"the default", "plain", {"HOME=" + home}, dir / "home" / ".local" / "share" / "kivo"},
        {"XDG_DATA_HOME",
         "plain",
         {"HOME=" + home, "XDG_DATA_HOME=" + (dir / "xdg").string()},
         dir / "xdg" / "kivo"},
        {"KIVO_HOME",
         "portable",
         {"HOME=" + home, "KIVO_HOME=" + (dir / "env").string()},
         dir / "env"},
        {"a portable install", "portable", {"HOME=" + home}, dir / "portable"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {"env", "-u", "KIVO_HOME", "-u", "XDG_DATA_HOME"};
        argv.insert(argv.end(), c.env.begin(), c.env.end());
        argv.insert(argv.end(), {(dir / c.exe / "kivo").string(), "-v", "init"});
        const test::ProcessResult r = test::RunProgram(argv);
        EXPECT_EQ(r.status, 0) << c.why << ": " << r.err;
        EXPECT_TRUE(r.err.starts_with("kivo: program folder " + c.expected.string() + " ("))
            << c.why << ": " << r.err;
        EXPECT_TRUE(fs::is_directory(c.expected / "Mail")) << c.why;
        if (c.expected != dir / "portable") {
            EXPECT_EQ(fs::status(c.expected).permissions() & fs::perms::all, fs::perms::owner_all)
                << c.why;
        }
        EXPECT_FALSE(fs::exists(dir / "plain" / "Mail")) << c.why;
    }
}

}  // namespace
}  // namespace kivo
