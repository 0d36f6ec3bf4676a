#include <gtest/gtest.h>
#include <sys/stat.h>

#include "accounts/account.h"
#include "base/inifile.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

class AccountCommands : public testing::Test {
  protected:
    test::ProcessResult Kivo(std::vector<std::string> args, std::string_view input = {}) {
        args.insert(args.begin(), {"--home", dir.path().string(), "account"});
        return test::RunKivo(args, input);
    }
    std::vector<Account> Stored() const { return ReadAccounts(dir / "accounts.ini"); }
    std::string StoredDefault() const {
        return IniFile(dir / "kivo.ini").ReadString("Mail", "DefaultAccount", "?");
    }

    test::TempDir dir;
};

TEST_F(AccountCommands, AddStoresEveryKeyAlphabeticallyAndTheFirstStaysDefault) {
    auto r = Kivo({"add",        "Work",      "--email",      "jo@work.example",
                   "--name",     "Jo Doe",    "--pop-server", "pop.work",
                   "--pop-user", "jo",        "--password",   "s3cret",
                   "--smtp",     "smtp.work", "--leave-mail", "1",
                   "--skip-big", "250",       "--check",      "0",
                   "--sound",    "0",         "--sig",        "Formal",
                   "--tag",      "Sales",     "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kivo({"add", "Home", "--password-stdin"}, "from stdin\r\n");
    ASSERT_EQ(r.status, 0) << r.err;

    const std::vector<Account> stored = Stored();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].account, "Home");  // alphabetical after a change
    EXPECT_EQ(stored[0].Password(), "from stdin");
    EXPECT_TRUE(stored[0].checkMail);
    EXPECT_FALSE(stored[0].leaveMail);
    EXPECT_TRUE(stored[0].sound);
    EXPECT_EQ(stored[0].sig, "Default");
    const Account& work = stored[1];
    EXPECT_EQ(work.name, "Jo Doe");
    EXPECT_EQ(work.email, "jo@work.example");
    EXPECT_EQ(work.popServer, "pop.work");
    EXPECT_EQ(work.popUser, "jo");
    EXPECT_EQ(work.Password(), "s3cret");
    EXPECT_EQ(work.smtp, "smtp.work");
    EXPECT_TRUE(work.leaveMail);
    EXPECT_TRUE(work.skipBig);
    EXPECT_EQ(work.skipBigSize, "250");
    EXPECT_FALSE(work.checkMail);
    EXPECT_FALSE(work.sound);
    EXPECT_EQ(work.sig, "Formal");
    EXPECT_EQ(work.tag, "Sales");
    const std::string file = test::ReadFile(dir / "accounts.ini");
    EXPECT_EQ(file.find("s3cret"), std::string::npos);
    EXPECT_EQ(IniFile(dir / "accounts.ini").Keys("Home").size(), 13u);
    EXPECT_FALSE(std::filesystem::exists(dir / "accounts.bak"));
    EXPECT_EQ(StoredDefault(), "Work");  // the first account became the default and stays it

    r = Kivo({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "  Home  check\n"
              "* Work  Jo Doe <jo@work.example>  pop jo@pop.work  smtp smtp.work  no check, "
              "leave mail, skip over 250 kb\n");
}

TEST_F(AccountCommands, SetDeleteAndDefaultGoThroughTheWindowRules) {
    ASSERT_EQ(Kivo({"add", "B", "--email", "b@x"}).status, 0);
    ASSERT_EQ(Kivo({"add", "a"}).status, 0);
    ASSERT_EQ(Kivo({"add", "C"}).status, 0);

    auto r = Kivo({"set", "b", "popuser=bee", "POPPass=pw 2", "CheckMail=0", "SkipBigSize=lots"});
    ASSERT_EQ(r.status, 0) << r.err;
    Account b = Stored()[1];
    EXPECT_EQ(b.email, "b@x");  // untouched keys stay
    EXPECT_EQ(b.popUser, "bee");
    EXPECT_EQ(b.Password(), "pw 2");
    EXPECT_FALSE(b.checkMail);
    EXPECT_EQ(b.skipBigSize, "lots");  // stored as typed

    r = Kivo({"default", "c"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(StoredDefault(), "C");
    EXPECT_EQ(Kivo({"default"}).out, "C\n");

    ASSERT_EQ(Kivo({"delete", "C"}).status, 0);
    EXPECT_EQ(StoredDefault(), "a");  // the deleted default gives way to the first account
    ASSERT_EQ(Kivo({"delete", "a"}).status, 0);
    r = Kivo({"delete", "B"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("last account"), std::string::npos) << r.err;
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].account, "B");
}

// Passwords given as "-" come from standard input, off the command line, and never show on
// a terminal; LeaveDays takes days and is written only when set.
TEST_F(AccountCommands, PasswordsFromStandardInputAndDaysToLeaveMail) {
    ASSERT_EQ(Kivo({"add", "A", "--leave-mail", "1", "--leave-days", "14"}).status, 0);
    EXPECT_EQ(Stored()[0].leaveDays, 14);
    auto r = Kivo({"set", "A", "SMTPAuth=own", "SMTPUser=me", "SMTPPass=-", "LeaveDays=30"},
                  "smtp secret\r\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Stored()[0].SmtpAuthPassword(), "smtp secret");
    EXPECT_EQ(Stored()[0].leaveDays, 30);
    EXPECT_EQ(IniFile(dir / "accounts.ini").ReadString("A", "LeaveDays", ""), "30");
    EXPECT_EQ(Kivo({"set", "A", "POPPass=-"}).status, 1) << "no line to read";

    const test::ProcessResult typed =
        test::RunOnTerminal({KIVO_BINARY, "--home", dir.path().string(), "account", "set", "A",
                             "POPPass=-", "LeaveDays=0"},
                            "POPPass: ", "typed secret\n");
    EXPECT_EQ(typed.status, 0) << typed.out;
    EXPECT_EQ(typed.out.find("typed secret"), std::string::npos) << "echoed: " << typed.out;
    EXPECT_EQ(Stored()[0].Password(), "typed secret");
    EXPECT_EQ(Stored()[0].leaveDays, 0);
    EXPECT_EQ(IniFile(dir / "accounts.ini").ReadString("A", "LeaveDays", "none"), "none");

    for (const char* wrong : {"LeaveDays=-1", "LeaveDays=soon", "LeaveDays="})
        EXPECT_EQ(Kivo({"set", "A", wrong}).status, 2) << wrong;
}

TEST_F(AccountCommands, RefusesWhatTheWindowRefuses) {
    ASSERT_EQ(Kivo({"add", "Home"}).status, 0);
    const std::string before = test::ReadFile(dir / "accounts.ini");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* why;
    } cases[] = {
        {{"add", "HOME"}, 1, "the name of an existing account"},
        {{"add", "unnamed"}, 1, "the new-account placeholder"},
        {{"add", "a]b"}, 1, "not a section name"},
        {{"add", ""}, 1, "empty"},
        {{"add", "X", "--check", "yes"}, 2, "a flag is 0 or 1"},
        {{"add", "X", "--skip-big", "-1"}, 2, "kilobytes"},
        {{"add", "X", "--colour", "red"}, 2, "unknown option"},
        {{"add", "X", "--email"}, 2, "missing value"},
        {{"add", "X", "--tag", "two\nlines"}, 2, "one line per value"},
        {{"set", "Home", "Nonsense=1"}, 2, "unknown key"},
        {{"set", "Home", "Sound=2"}, 2, "a flag is 0 or 1"},
        {{"set", "Home"}, 2, "nothing to set"},
        {{"set", "Gone", "Tag=x"}, 1, "no such account"},
        {{"delete", "Gone"}, 1, "no such account"},
        {{"default", "Gone"}, 1, "no such account"},
    };
    for (const auto& c : cases) {
        const auto r = Kivo(c.args);
        EXPECT_EQ(r.status, c.status) << c.why << ": " << r.err;
        EXPECT_FALSE(r.err.empty()) << c.why;
        EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), before) << c.why;
        EXPECT_FALSE(std::filesystem::exists(dir / "accounts.bak")) << c.why;
    }
    EXPECT_EQ(Kivo({"add", "X", "--password-stdin"}).status, 1);  // no line to read
}

// As the setup wizard: the standard secure ports mean TLS with the SMTP log-in, and an account
// that would send its password unencrypted is saved only with --yes.
TEST_F(AccountCommands, APasswordGoesUnencryptedOnlyWithYes) {
    struct Case {
        std::vector<std::string> options;
        const char* refusal;  // null: saved
        const char* pop;      // POPSecurity, SMTPSecurity, SMTPAuth as stored
        const char* smtp;
        const char* auth;
    } cases[] = {
        {{"--pop-server", "pop.x", "--password", "p"},
         "unencrypted to the POP server pop.x;",
         "",
         "",
         ""},
        {{"--pop-server", "pop.x:995", "--smtp", "smtp.x:25", "--smtp-auth", "pop", "--password",
          "p"},
         "unencrypted to the SMTP server smtp.x:25;",
         "",
         "",
         ""},
        {{"--pop-server", "pop.x:110", "--smtp", "smtp.x", "--smtp-auth", "pop", "--password", "p"},
         "the POP server pop.x:110 and the SMTP server smtp.x;",
         "",
         "",
         ""},
        {{"--pop-server", "pop.x", "--password", "p", "--yes"}, nullptr, "", "", ""},
        {{"--pop-server", "pop.x"}, nullptr, "", "", ""},  // no password to give away
        {{"--pop-server", "pop.x", "--pop-security", "stls", "--password", "p"},
         nullptr,
         "stls",
         "",
         ""},
        {{"--pop-server", "pop.x:995", "--smtp", "smtp.x:587", "--password", "p"},
         nullptr,
         "tls",
         "starttls",
         "pop"},
        {{"--pop-server", "pop.x:995", "--smtp", "smtp.x:465", "--smtp-auth", "none", "--password",
          "p"},
         nullptr,
         "tls",
         "tls",
         "none"},
        {{"--pop-server", "pop.x:995", "--smtp", "smtp.x", "--password", "p"},
         nullptr,
         "tls",
         "",
         ""},  // an SMTP server without log-in gets no password
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& o : c.options) trace += o + " ";
        SCOPED_TRACE(trace);
        std::vector<std::string> args = {"add", "W"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const auto r = Kivo(args);
        if (c.refusal) {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
            EXPECT_FALSE(std::filesystem::exists(dir / "accounts.ini"));
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        const IniFile ini(dir / "accounts.ini");
        EXPECT_EQ(ini.ReadString("W", "POPSecurity", ""), c.pop);
        EXPECT_EQ(ini.ReadString("W", "SMTPSecurity", ""), c.smtp);
        EXPECT_EQ(ini.ReadString("W", "SMTPAuth", ""), c.auth);
        ASSERT_EQ(Kivo({"delete", "W"}).status, 1);  // the last one stays: start afresh
        std::filesystem::remove(dir / "accounts.ini");
    }
    EXPECT_EQ(Kivo({"add", "W", "--pop-security", "maybe"}).status, 2);
}

// A change that would newly send the password unencrypted is refused as adding such an account
// is, and saved with --yes; an account saved that way may still be edited.
TEST_F(AccountCommands, AChangeThatGivesThePasswordAwayNeedsYes) {
    ASSERT_EQ(Kivo({"add", "W", "--pop-server", "pop.x:995", "--password", "p"}).status, 0);
    struct Case {
        std::vector<std::string> change;
        const char* refusal;  // null: saved
    } cases[] = {
        {{"POPSecurity=none"}, "unencrypted to the POP server pop.x:995; secure it (POPSecurity="},
        {{"SMTP=smtp.x:25", "SMTPAuth=pop"}, "unencrypted to the SMTP server smtp.x:25;"},
        {{"SMTP=smtp.x:25", "SMTPAuth=pop", "SMTPSecurity=starttls"}, nullptr},
        {{"POPSecurity=none", "--yes"}, nullptr},
        // already unencrypted by consent: other edits go on, a move to another host too
        {{"Name=Wendy", "POPServer=pop.y:110"}, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"set", "W"};
        args.insert(args.end(), c.change.begin(), c.change.end());
        SCOPED_TRACE(args[2]);
        const std::string before = test::ReadFile(dir / "accounts.ini");
        const auto r = Kivo(args);
        if (c.refusal) {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
            EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), before) << "nothing changed";
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
        }
    }
    const IniFile ini(dir / "accounts.ini");
    EXPECT_EQ(ini.ReadString("W", "POPSecurity", ""), "none");
    EXPECT_EQ(ini.ReadString("W", "Name", ""), "Wendy");
}

// --guess tries the servers people expect for the address's domain and saves nothing when
// none answers; the servers given are not guessed.
TEST_F(AccountCommands, GuessedServersThatDoNotAnswerSaveNothing) {
    auto r = Kivo({"add", "W", "--guess", "--password", "p"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--guess needs --email"), std::string::npos) << r.err;

    r = Kivo({"add", "W", "--email", "jo@nowhere.invalid", "--guess", "--smtp", "smtp.x:465",
              "--password", "p"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Trying pop.nowhere.invalid:995...\nTrying mail.nowhere.invalid:995..."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("  mail.nowhere.invalid:995: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("give it with --pop-server"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("smtp."), std::string::npos) << "a given server is not tried: " << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "accounts.ini"));
}

// Stored passwords are for the owner's eyes only: the program folder Kivo makes is 0700 and
// accounts.ini 0600, and an accounts.ini readable by others loses that on its next write.
TEST_F(AccountCommands, PasswordsAreKeptFromOtherUsers) {
    auto mode = [](const std::filesystem::path& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 0777;
    };
    const std::filesystem::path home = dir / "home";
    auto r = test::RunKivo({"--home", home.string(), "account", "add", "Work", "--password", "pw"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mode(home), 0700u);
    EXPECT_EQ(mode(home / "accounts.ini"), 0600u);

    ::chmod((home / "accounts.ini").c_str(), 0644);
    r = test::RunKivo({"--home", home.string(), "account", "set", "Work", "POPPass=new"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mode(home / "accounts.ini"), 0600u);

    const std::filesystem::path fresh = dir / "fresh";
    ASSERT_EQ(test::RunKivo({"--home", fresh.string(), "init"}).status, 0);
    EXPECT_EQ(mode(fresh), 0700u);
}

TEST_F(AccountCommands, EmptyProgramFolderHasNoAccounts) {
    auto r = Kivo({"list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = Kivo({"default"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace kivo
