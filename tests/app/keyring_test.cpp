// Passwords in the Secret Service: a private session bus (dbus-run-session) with its own
// gnome-keyring-daemon, unlocked with a test password, in a temporary home, so no user's
// keyring is ever touched. Skipped only where that cannot start.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "accounts/account.h"
#include "app/settings.h"
#include "base/inifile.h"
#include "base/scramble.h"
#include "base/secretstore.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

// Starts the bus and the daemon; its address is empty when they could not start.
class PrivateKeyring {
  public:
    PrivateKeyring() {
        const fs::path home = home_.path();
        for (const char* sub : {"data", "config", "run"}) fs::create_directories(home / sub);
        fs::permissions(home / "run", fs::perms::owner_all);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        // The daemon reads the keyring's password from its input; once the secrets service is
        // on the bus the address is printed, and the session lasts until our pipe closes.
        const std::string script =
            "printf kivo-test | gnome-keyring-daemon --foreground --unlock --components=secrets "
            ">/dev/null 2>&1 & daemon=$!\n"
            "for i in $(seq 100); do\n"
            "  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
            "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null "
            "| grep -q true && break; sleep 0.05; done\n"
            "echo \"$DBUS_SESSION_BUS_ADDRESS\"\n"
            "cat >/dev/null\n"
            "kill $daemon; wait $daemon\n";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::setenv("HOME", home.c_str(), 1);
            ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            ::execlp("dbus-run-session", "dbus-run-session", "--", "sh", "-c", script.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        if (line.starts_with("unix:")) address_ = line;
    }
    ~PrivateKeyring() {
        if (input_ >= 0) ::close(input_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    const std::string& Address() const { return address_; }

  private:
    test::TempDir home_;
    pid_t pid_ = -1;
    int input_ = -1;
    std::string address_;
};

mode_t ModeOf(const fs::path& file) {
    struct stat st {};
    ::stat(file.c_str(), &st);
    return st.st_mode & 0777;
}

// One keyring for the suite: GLib keeps its first bus connection for the process.
class Keyring : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        keyring_ = new PrivateKeyring();
        if (keyring_->Address().empty()) return;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", keyring_->Address().c_str(), 1);
        ::unsetenv("KIVO_NO_KEYRING");
    }
    static void TearDownTestSuite() {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        delete keyring_;
        keyring_ = nullptr;
    }
    void SetUp() override {
        if (keyring_->Address().empty())
            GTEST_SKIP() << "no private keyring (dbus-run-session, gnome-keyring-daemon)";
        ASSERT_TRUE(TPasswordStore::ForFolder(home.path()).UsesKeyring());
    }
    static PrivateKeyring* keyring_;
    test::TempDir home;
};
PrivateKeyring* Keyring::keyring_ = nullptr;

TEST_F(Keyring, OlderScrambledPasswordsMoveIntoTheKeyring) {
    // A folder of an older version: both files hold scrambled passwords.
    test::WriteFile(home / "accounts.ini",
                    "[Work]\r\nPOPServer=pop.example.org\r\nPOPPass=" +
                        Scramble("pop secret", kAccountPasswordKey) +
                        "\r\nSMTPAuth=own\r\nSMTPUser=me\r\nSMTPPass=" +
                        Scramble("smtp secret", kAccountPasswordKey) + "\r\n[Home]\r\nPOPPass=" +
                        Scramble("home secret", kAccountPasswordKey) + "\r\n");
    test::WriteFile(home / "kivo.ini",
                    "[Mail]\r\nDialUpPass=" + Scramble("dial", kDialUpPasswordKey) +
                        "\r\nPrivacyPass=" + Scramble("hush", kPrivacyPasswordKey) + "\r\n");
    std::vector<Account> accounts = ReadAccounts(home / "accounts.ini");
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].Password(), "pop secret");
    EXPECT_EQ(accounts[0].SmtpAuthPassword(), "smtp secret");
    EXPECT_EQ(accounts[1].Password(), "home secret");
    IniFile file(home / "accounts.ini");
    EXPECT_EQ(file.ReadString("Work", "POPPass", "?"), "");
    EXPECT_EQ(file.ReadString("Work", "SMTPPass", "?"), "");
    EXPECT_EQ(file.ReadString("Work", "POPServer", ""), "pop.example.org");
    // Read again with nothing left in the file: the keyring has them.
    accounts = ReadAccounts(home / "accounts.ini");
    EXPECT_EQ(accounts[0].Password(), "pop secret");
    EXPECT_EQ(accounts[0].SmtpAuthPassword(), "smtp secret");

    // kivo.ini's are read at once and leave the file when the settings are saved.
    IniFile settings(home / "kivo.ini");
    TSettings s = LoadIni(settings, home.path());
    EXPECT_EQ(s.Mail.DialUpPass, "dial");
    EXPECT_EQ(s.Mail.PrivacyPass, "hush");
    SaveIni(s, settings);
    EXPECT_EQ(settings.ReadString("Mail", "DialUpPass", "?"), "");
    settings.UpdateFile();
    s = LoadIni(IniFile(home / "kivo.ini"), home.path());
    EXPECT_EQ(s.Mail.DialUpPass, "dial");
    EXPECT_EQ(s.Mail.PrivacyPass, "hush");

    // Another folder has passwords of its own under the same account names.
    test::TempDir other;
    test::WriteFile(other / "accounts.ini", "[Work]\r\nPOPPass=\r\n");
    EXPECT_EQ(ReadAccounts(other / "accounts.ini")[0].Password(), "");
}

TEST_F(Keyring, AccountsStoredByOneRunAreFoundByTheNext) {
    ASSERT_EQ(test::RunKivoIn(home.path(), {"init"}).status, 0);
    test::ProcessResult r = test::RunKivoIn(
        home.path(), {"account", "add", "Work", "--pop-server", "pop.example.org", "--password-stdin",
                       "--yes"},
        "typed secret\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("scrambled"), std::string::npos) << r.err;
    const std::string text = test::ReadFile(home / "accounts.ini");
    EXPECT_NE(text.find("POPPass=\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(Scramble("typed secret", kAccountPasswordKey)), std::string::npos);
    EXPECT_EQ(ModeOf(home / "accounts.ini"), 0600u);
    EXPECT_EQ(ModeOf(home / "kivo.ini"), 0600u);
    EXPECT_EQ(ReadAccounts(home / "accounts.ini")[0].Password(), "typed secret");

    // Deleting the account takes its password out of the keyring.
    ASSERT_EQ(test::RunKivoIn(home.path(), {"account", "add", "Home"}).status, 0);
    r = test::RunKivoIn(home.path(), {"account", "delete", "Work"});
    ASSERT_EQ(r.status, 0) << r.err;
    test::WriteFile(home / "accounts.ini", "[Work]\r\nPOPPass=\r\n");
    EXPECT_EQ(ReadAccounts(home / "accounts.ini")[0].Password(), "");
}

// Without a keyring (no session bus, KIVO_NO_KEYRING=1) the files keep the scrambled form,
// with one note the first time, and stay private.
TEST(PasswordStore, WithoutAKeyringPasswordsStayScrambledWithOneNote) {
    test::TempDir home;
    ASSERT_EQ(test::RunKivoIn(home.path(), {"init"}).status, 0);
    for (int run = 0; run < 2; ++run) {
        const std::string name = run == 0 ? "Work" : "Home";
        const test::ProcessResult r = test::RunKivo(
            {"--home", home.path().string(), "account", "add", name, "--password-stdin"},
            "secret\n", {"KIVO_NO_KEYRING=1"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("no keyring is available") != std::string::npos, run == 0) << r.err;
    }
    EXPECT_NE(test::ReadFile(home / "accounts.ini")
                  .find("POPPass=" + Scramble("secret", kAccountPasswordKey)),
              std::string::npos);
    EXPECT_EQ(ModeOf(home / "accounts.ini"), 0600u);
    EXPECT_EQ(ModeOf(home / "kivo.ini"), 0600u);
}

}  // namespace
}  // namespace kivo
