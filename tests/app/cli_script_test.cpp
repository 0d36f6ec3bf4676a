// kivo script list, filters, dry-run and run as real processes on a program folder, and the
// user buttons running a script through the engine.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/scriptrunner.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "script/scripthelp.h"
#include "script/scripthost.h"
#include "store/mbxfile.h"
#include "store/populate.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"

extern char** environ;

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct ScriptHome {
    TempDir dir;
    ScriptHome() {
        fs::create_directories(dir / "Mail");
        fs::create_directories(dir / "Scripts");
    }
    void Script(const std::string& name, const std::string& text) const {
        WriteFile(dir / "Scripts" / (name + ".kiv"), text);
    }
    test::ProcessResult Kivo(std::vector<std::string> args) const {
        return test::RunKivoIn(dir.path(), std::move(args));
    }
};

TEST(ScriptCli, ListsScriptsAndFilters) {
    ScriptHome home;
    home.Script("Zap", "{### Zap}\r\n{Removes junk}\r\n{from In}\r\nExit\r\n");
    home.Script("a list", "{### a list}\r\nExit\r\n");
    WriteFile(home.dir / "kivo.ini",
              "[Scripts]\r\nIncoming=\"\"a list\",Zap\"\r\nOutgoing=Zap\r\n");
    auto list = home.Kivo({"script", "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "a list\t\nZap\tRemoves junk from In\n");
    auto filters = home.Kivo({"script", "filters"});
    EXPECT_EQ(filters.out, "Incoming:\n\ta list\n\tZap\nOutgoing:\n\tZap\n");
}

// The filter lists changed from the terminal are written in the program's quoting: a name
// with blanks stays one script for the check and the send pipelines.
TEST(ScriptCli, FiltersAreAddedRemovedAndMovedInTheProgramsQuoting) {
    ScriptHome home;
    for (const char* name : {"File Devel List", "Sort", "Zap"}) home.Script(name, "Exit\r\n");
    const auto out = [&](std::vector<std::string> args) {
        const test::ProcessResult r = home.Kivo(std::move(args));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_EQ(out({"script", "filters", "add", "incoming", "file devel list"}),
              "Incoming:\n\tFile Devel List\n");
    out({"script", "filters", "add", "incoming", "Sort"});
    out({"script", "filters", "add", "Incoming", "Zap"});
    out({"script", "filters", "add", "outgoing", "Zap"});
    EXPECT_EQ(IniFile(home.dir / "kivo.ini").ReadString("Scripts", "Incoming", ""),
              "\"File Devel List\",Sort,Zap");
    EXPECT_NE(ReadFile(home.dir / "kivo.ini").find("Incoming=\"\"File Devel List\",Sort,Zap\"\r\n"),
              std::string::npos);
    EXPECT_EQ(out({"script", "filters", "move", "incoming", "zap", "1"}),
              "Incoming:\n\tZap\n\tFile Devel List\n\tSort\n");
    EXPECT_EQ(out({"script", "filters", "move", "incoming", "Zap", "3"}),
              "Incoming:\n\tFile Devel List\n\tSort\n\tZap\n");
    EXPECT_EQ(out({"script", "filters", "remove", "incoming", "Sort"}),
              "Incoming:\n\tFile Devel List\n\tZap\n");
    EXPECT_EQ(out({"script", "filters"}),
              "Incoming:\n\tFile Devel List\n\tZap\nOutgoing:\n\tZap\n");

    // Refused with the reason, the lists unchanged.
    const std::string before = ReadFile(home.dir / "kivo.ini");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } refused[] = {
        {{"script", "filters", "add", "incoming", "Missing"}, 1, "no script Missing"},
        {{"script", "filters", "add", "incoming", "zap"}, 1, "Zap is on the Incoming list already"},
        {{"script", "filters", "remove", "outgoing", "Sort"},
         1,
         "Sort is not on the Outgoing list"},
        {{"script", "filters", "move", "incoming", "Zap", "3"}, 2, "a number from 1 to 2, not '3'"},
        {{"script", "filters", "move", "incoming", "Zap", "x"}, 2, "not 'x'"},
        {{"script", "filters", "add", "sideways", "Zap"},
         2,
         "incoming or outgoing, not 'sideways'"},
    };
    for (const auto& c : refused) {
        const test::ProcessResult r = home.Kivo(c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(home.dir / "kivo.ini"), before);
}

// kivo help script prints the language help the script window shows, or one topic of it;
// the kivo script commands keep their own help.
TEST(ScriptCli, HelpScriptPrintsTheLanguageHelp) {
    ScriptHome home;
    const test::ProcessResult all = home.Kivo({"help", "script"});
    EXPECT_EQ(all.status, 0);
    EXPECT_TRUE(all.out.starts_with(ScriptHelpText())) << all.out.substr(0, 200);
    EXPECT_NE(all.out.find("script filters add LIST NAME"), std::string::npos);
    const test::ProcessResult one = home.Kivo({"help", "script", "savemessage"});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.out, *ScriptHelpOn("SaveMessage"));
    EXPECT_TRUE(one.out.starts_with("SaveMessage %m file\n")) << one.out;
    EXPECT_TRUE(home.Kivo({"help", "script", "run"}).out.starts_with("Usage: kivo script run"));
    const test::ProcessResult none = home.Kivo({"help", "script", "Frobnicate"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("no command or section 'Frobnicate'"), std::string::npos);
}

TEST(ScriptCli, DryRunPrintsTheDebugTableAndErrorsWithTheirLine) {
    ScriptHome home;
    WriteFile(home.dir / "ok.kiv",
              "Set $a \"x\\ny\"\r\nCreateMessage %m\r\nSetHeader %m Subject Hi\r\n"
              "EditMessage %m\r\n");
    auto ok = home.Kivo({"script", "dry-run", (home.dir / "ok.kiv").string()});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find("$a\tx\n\ty\n%m\t<mail message>\n"), std::string::npos) << ok.out;
    // No composer on a terminal: the user is told, the run goes on.
    EXPECT_NE(ok.err.find("the message \"Hi\" was not opened"), std::string::npos) << ok.err;
    WriteFile(home.dir / "bad.kiv", "Set #n 1\r\n\r\nSet #n x\r\nSet $after 1\r\n");
    auto bad = home.Kivo({"script", "dry-run", (home.dir / "bad.kiv").string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Line 3: Non-integer assigned to integer variable"), std::string::npos)
        << bad.err;
    EXPECT_NE(bad.out.find("#n\t1\n"), std::string::npos);
    EXPECT_EQ(bad.out.find("$after"), std::string::npos);
}

TEST(ScriptCli, RunDeletesWhatTheScriptMarksAndSavesTheIndex) {
    ScriptHome home;
    WriteFile(home.dir / "Mail" / "Box.mbx", test::NumberedMailbox(3));
    home.Script("Junk",
                "ReadHeader $s Subject %message\r\nIf $s = m1 then Keep\r\n"
                "AppendToFile 1\r\nSaveMessage %message Junk.mbx\r\n"
                "DeleteMessage %message\r\n:Keep\r\n");
    auto run = home.Kivo({"script", "run", "junk", "Box", "1", "3"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(FindLastIndex(home.dir / "Mail" / "Junk.mbx"), 1);
    auto ls = home.Kivo({"ls", "Box"});
    // The index was saved as the window saves it (which may compress the mailbox).
    EXPECT_EQ(std::count(ls.out.begin(), ls.out.end(), '\n'), 2) << ls.out;
    EXPECT_EQ(ls.out.find("\tm3\t"), std::string::npos) << ls.out;
    auto missing = home.Kivo({"script", "run", "Nothing", "Box", "1"});
    EXPECT_EQ(missing.status, 1);
}

TEST(ScriptCli, CtrlCEndsAnEndlessLoop) {
    ScriptHome home;
    const fs::path started = home.dir / "Mail" / "started";
    WriteFile(home.dir / "loop.kiv",
              "Set $s x\r\nSaveBody $s started\r\n:top\r\nAddIntegers #n 1\r\nGoto top\r\n");
    std::vector<std::string> args{KIVO_BINARY, "--home",  home.dir.path().string(),
                                  "script",    "dry-run", (home.dir / "loop.kiv").string()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const fs::path errors = home.dir / "errors.txt";
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT, 0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // The loop runs once the file exists; no timing is assumed beyond that.
    while (!fs::exists(started)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);  // aborted, not completed
    EXPECT_EQ(ReadFile(errors), "kivo script dry-run: stopped before the end of the script\n");
}

TEST(ScriptButtons, RunTheirScriptOnTheSelectedMessages) {
    TempDir dir;
    fs::create_directories(dir / "Mail");
    fs::create_directories(dir / "Scripts");
    WriteFile(dir / "Mail" / "Box.mbx", test::NumberedMailbox(2));
    WriteFile(dir / "Scripts" / "Del.kiv", "DeleteMessage %message\r\n");
    TFrmIndex box = test::Rebuilt(dir / "Mail");
    box.SelectOnly(1);
    HeadlessPlatform platform;
    TScriptHost host;
    TFrmScripts scripts({dir.path(), dir / "Mail", dir / "Scripts", dir / "Signatures",
                         dir / "kivo.ini", dir / "accounts.ini"},
                        platform, host);
    TScriptButtonRunner runner(scripts, box);
    runner.RunOnSelectedMessages("del");
    EXPECT_EQ(test::ListedNumbers(dir / "Mail" / "Box.d"), "2\r\n");
    EXPECT_THROW(runner.RunOnSelectedMessages("Gone"), std::runtime_error);
}

}  // namespace
}  // namespace kivo
