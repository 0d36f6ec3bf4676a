// `kivo check` as a user runs it, against the real Dovecot of the test rig (scripts/test.sh
// starts it; these tests skip without it). A check fetches and deletes every message of a
// mailbox, while other rig tests use the standard users at the same time, so each test makes
// users of its own in the rig.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <thread>

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "mail/rfc822date.h"
#include "store/indexfile.h"
#include "store/orphanattachments.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

using test::Env;

std::string Message(const std::string& subject, const std::string& extraHeaders = {},
                    const std::string& body = "Hello.\r\n") {
    return "From: Sender <sender@example.test>\r\nTo: someone@example.test\r\nSubject: " + subject +
           "\r\n" + extraHeaders + "\r\n" + body;
}

std::string Stamped(const std::string& subject, const std::string& id) {
    return Message(subject,
                   "Message-ID: <" + id + ">\r\nDate: Thu, 10 Dec 2026 09:00:00 +0000\r\n");
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The files named by the "Attachment Converted:" lines, in order.
std::vector<fs::path> ConvertedFiles(const std::string& text) {
    static const std::regex kLine("Attachment Converted: \"([^\"]+)\"");
    std::vector<fs::path> files;
    for (std::sregex_iterator it(text.begin(), text.end(), kLine), end; it != end; ++it)
        files.emplace_back((*it)[1].str());
    return files;
}

class CheckRig : public ::testing::Test {
  protected:
    void SetUp() override {
        rig_ = Env("MAILPEERS_DIR");
        if (Env("MAILPEERS_POP3_PORT").empty() || rig_.empty())
            GTEST_SKIP() << "no mail server rig: run scripts/test.sh or export the output of "
                            "`mailpeers env DIR`";
        server_ = (Env("MAILPEERS_HOST").empty() ? "127.0.0.1" : Env("MAILPEERS_HOST")) + ":" +
                  Env("MAILPEERS_POP3_PORT");
    }

    // A new rig user with password NAME + "pw": a line in Dovecot's user file (read again when
    // it changes) and an empty maildir owned as the rig's own users' are.
    std::string NewUser() {
        const std::string name =
            "chk" + std::to_string(::getpid()) + "t" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() %
                           1000000000);
        const fs::path home = rig_ / "mail" / name;
        struct stat owner {};
        EXPECT_EQ(::stat((rig_ / "mail").c_str(), &owner), 0);
        for (const char* sub : {"", "Maildir", "Maildir/cur", "Maildir/new", "Maildir/tmp"}) {
            fs::create_directories(home / sub);
            EXPECT_EQ(::chown((home / sub).c_str(), owner.st_uid, owner.st_gid), 0);
        }
        const std::string line = name + ":{PLAIN}" + name + "pw:" + std::to_string(owner.st_uid) +
                                 ":" + std::to_string(owner.st_gid) + "::" + home.string() + "::\n";
        const int fd = ::open((rig_ / "etc" / "users").c_str(), O_WRONLY | O_APPEND);
        EXPECT_GE(fd, 0) << "cannot add a user to the rig";
        EXPECT_EQ(::write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        ::close(fd);
        addedAt_ = std::time(nullptr);
        return name;
    }

    void Seed(const std::string& user, const std::vector<std::string>& messages) {
        std::vector<std::string> argv = Peers("seed");
        argv.push_back(user);
        for (std::size_t i = 0; i < messages.size(); ++i) {
            const fs::path file = files_ / (user + "-" + std::to_string(seeded_++) + ".eml");
            test::WriteFile(file, messages[i]);
            argv.push_back(file.string());
        }
        ASSERT_EQ(test::RunProgram(argv).status, 0);
    }

    // The messages on the server, oldest first.
    std::vector<std::string> OnServer(const std::string& user) {
        std::vector<std::string> argv = Peers("mailbox");
        argv.push_back(user);
        std::vector<std::string> messages;
        for (const std::string& path : SplitLines(test::RunProgram(argv).out))
            messages.push_back(ReadFile(path));
        return messages;
    }

    // An account for a rig user with the user's own password, another one, or "" for none.
    void AddAccount(const std::string& account, const std::string& user,
                    std::vector<std::string> options = {},
                    std::optional<std::string> given = std::nullopt) {
        const std::string password = given.value_or(user + "pw");
        std::vector<std::string> args = {"account", "add",        account, "--pop-server",
                                         server_,   "--pop-user", user};
        if (!password.empty()) args.insert(args.end(), {"--password", password, "--yes"});
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_EQ(Kivo(args).status, 0);
    }

    // Without a controlling terminal, as from cron: a missing password cannot be asked for.
    test::ProcessResult Kivo(std::vector<std::string> args) {
        std::vector<std::string> argv = {"setsid", "-w", KIVO_BINARY, "--home", home_.path()};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::RunProgram(argv);
    }
    // kivo on a terminal of its own, as a user runs it: `answer` is typed once `prompt` shows
    // and the terminal has stopped echoing. The result's `out` is what the terminal showed.
    test::ProcessResult OnTerminal(std::vector<std::string> args, std::string_view prompt,
                                   std::string_view answer) {
        args.insert(args.begin(), {KIVO_BINARY, "--home", home_.path()});
        return test::RunOnTerminal(args, prompt, answer);
    }
    void AwaitUsers() {
        // Dovecot looks at its user file at most once a second: a user added within the
        // second of its last look is known from the next second on.
        while (std::time(nullptr) <= addedAt_)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    test::ProcessResult Check(const std::string& trustStore = {}) {
        AwaitUsers();
        if (trustStore.empty()) return Kivo({"check"});
        // The rig's CA (or none) as the system's trust store, the way a user points at one.
        // `env` puts it first, before any SSL_CERT_FILE the test itself runs with.
        return test::RunProgram({"setsid", "-w", "env", "SSL_CERT_FILE=" + trustStore, KIVO_BINARY,
                                 "--home", home_.path(), "check"});
    }

    const fs::path& Home() const { return home_.path(); }
    fs::path InMbx() const { return FindFileNoCase(home_.path() / "Mail", "in.mbx"); }
    std::string In() const { return ReadFile(InMbx()); }
    std::string Leave() const { return ReadFile(home_ / "lmos.dat"); }

    // Entries of the leave-on-server list, by the unique ids Dovecot gives.
    int LeftEntries() const {
        static const std::regex kUid("^[0-9a-f]{16}\r?$");
        int n = 0;
        for (const std::string& line : SplitLines(Leave())) n += std::regex_match(line, kUid);
        return n;
    }

    std::string server_;

  private:
    std::vector<std::string> Peers(const char* command) const {
        return {"bash", std::string(KIVO_SOURCE_DIR) + "/../shared/peers/mailpeers", command,
                rig_.string()};
    }

    fs::path rig_;
    test::TempDir home_;
    test::TempDir files_;
    int seeded_ = 0;
    std::time_t addedAt_ = 0;
};

// Dovecot adds no "X-UIDL" header, and two of these messages share Message-ID and Date (a
// list's copies): the server's UIDL keeps them apart in the leave-on-server list.
TEST_F(CheckRig, LeftMailIsFetchedOnceAndDeletedWithoutFetchingOnceNoLongerLeft) {
    const std::string keeper = NewUser(), taker = NewUser();
    AddAccount("Keeper", keeper, {"--leave-mail", "1"});
    AddAccount("Taker", taker);
    Seed(keeper, {Stamped("twin one", "same@example.test"),
                  Stamped("twin two", "same@example.test"), Message("bare")});
    Seed(taker, {Stamped("taken", "taken@example.test")});

    auto first = Check();
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "4 new messages\n");
    EXPECT_EQ(OnServer(keeper).size(), 3u);
    EXPECT_TRUE(OnServer(taker).empty());
    EXPECT_EQ(LeftEntries(), 3);
    const std::string inAfterFirst = In();
    const std::string leaveAfterFirst = Leave();

    auto second = Check();
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, "No new messages\n");
    EXPECT_NE(second.err.find("3 messages left on " + server_ + " for Keeper."), std::string::npos)
        << second.err;
    EXPECT_EQ(In(), inAfterFirst);
    EXPECT_EQ(Leave(), leaveAfterFirst);

    ASSERT_EQ(Kivo({"account", "set", "Keeper", "LeaveMail=0"}).status, 0);
    Seed(keeper, {Stamped("late", "late@example.test")});
    auto third = Check();
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(third.out, "1 new message\n");
    EXPECT_TRUE(OnServer(keeper).empty());
    EXPECT_EQ(LeftEntries(), 0);

    const std::string in = In();
    for (const char* subject : {"twin one", "twin two", "bare", "taken", "late"})
        EXPECT_EQ(Count(in, "Subject: " + std::string(subject) + "\r\n"), 1) << subject;
    EXPECT_EQ(Count(in, "X-Account: Keeper\r\n"), 4);
    // In stays indexed as the window keeps it: real separators, an index that is current.
    EXPECT_EQ(Count(in, "From ???@???"), 0);
    fs::path idx = InMbx();
    idx.replace_extension(".idx");
    const std::vector<std::string> index = SplitLines(ReadFile(idx));
    ASSERT_EQ(index.size(), 6u);
    EXPECT_TRUE(StampMatches(index[0], InMbx()));
}

// A new user's first steps: In holds the two welcome messages, a check appends 13 more and
// one of them is deleted (too few deletions to compress). Every other entry keeps its texts,
// in the listing and in the saved index.
TEST_F(CheckRig, DeletingAfterACheckKeepsEveryOtherEntryOfIn) {
    const std::string user = NewUser();
    ASSERT_EQ(Kivo({"init"}).status, 0);
    AddAccount("First", user);
    std::vector<std::string> messages;
    for (int k = 1; k <= 13; ++k) messages.push_back(Message("news " + std::to_string(k)));
    Seed(user, messages);
    auto check = Check();
    ASSERT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, "13 new messages\n");

    auto deleted = Kivo({"delete", "In", "7"});
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    auto ls = Kivo({"ls", "In"});
    ASSERT_EQ(ls.status, 0) << ls.err;

    // Number, Icon, Unread, HasAttachment, Date, From, Subject, Size, To, Priority
    const std::vector<std::string> rows = SplitLines(ls.out);
    ASSERT_EQ(rows.size(), 14u) << ls.out;
    for (const std::string& row : rows) {
        std::vector<std::string> f(1);
        for (char c : row) {
            if (c == '\t')
                f.emplace_back();
            else
                f.back().push_back(c);
        }
        ASSERT_EQ(f.size(), 10u) << row;
        EXPECT_NE(f[0], "7");
        EXPECT_FALSE(f[5].empty()) << row;
        EXPECT_FALSE(f[6].empty()) << row;
        EXPECT_FALSE(f[8].empty()) << row;
        EXPECT_EQ(f[9], "Normal") << row;
        const int number = std::stoi(f[0]);
        if (number > 2) {
            // The welcome messages come first; message n is the check's (n - 2)th.
            EXPECT_EQ(f[6], "news " + std::to_string(number - 2)) << row;
            EXPECT_EQ(f[5], "Sender <sender@example.test>") << row;
        }
    }
    fs::path idx = InMbx();
    idx.replace_extension(".idx");
    const std::vector<std::string> index = SplitLines(ReadFile(idx));
    ASSERT_EQ(index.size(), 15u);
    for (std::size_t i = 1; i < index.size(); ++i)
        EXPECT_EQ(index[i].find(",,,"), std::string::npos) << index[i];
}

// A leave-on-server list that is there but cannot be read (here a link to itself, which fails
// for root too) is not an empty list: mail left on the server would be fetched again and the
// list saved emptier. The account fails with the reason, and neither the server, In nor the
// list changes.
TEST_F(CheckRig, AnUnreadableLeaveOnServerListFailsTheAccountAndChangesNothing) {
    const std::string user = NewUser();
    AddAccount("Kept", user, {"--leave-mail", "1"});
    Seed(user, {Message("left here")});
    fs::create_symlink("lmos.dat", Home() / "lmos.dat");

    auto result = Check();
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("lmos.dat: Too many levels of symbolic links"), std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(Home() / "lmos.dat")));
    EXPECT_EQ(In().find("left here"), std::string::npos);
    EXPECT_EQ(OnServer(user).size(), 1u);
}

TEST_F(CheckRig, SkipBigLeavesOnlyMessagesAboveTheLimit) {
    const std::string user = NewUser();
    AddAccount("Small", user, {"--skip-big", "1"});
    auto sized = [](const std::string& subject, std::size_t size) {
        std::string text = Message(subject, {}, "");
        text += std::string(size - text.size() - 2, 'x') + "\r\n";
        return text;
    };
    Seed(user, {sized("exactly the limit", 1024), sized("one byte more", 1025)});

    auto result = Check();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "1 new message\n");
    EXPECT_NE(result.err.find("1 message left on " + server_ + " for Small."), std::string::npos)
        << result.err;
    const std::vector<std::string> left = OnServer(user);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0].find("Subject: one byte more"), std::string::npos);
    EXPECT_NE(In().find("Subject: exactly the limit"), std::string::npos);
}

TEST_F(CheckRig, AttachmentsBecomeFilesAndTheTextStaysInTheMessage) {
    const std::string user = NewUser();
    AddAccount("Pictures", user);
    std::string png = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 300; ++i) png += static_cast<char>(i * 7);
    std::string base64;
    for (const std::string& line : SplitLines(test::RunProgram({"base64"}, png).out))
        base64 += line + "\r\n";
    const std::string picture = Message(
        "a picture", "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n",
        "--b1\r\nContent-Type: text/plain\r\n\r\nLook at this.\r\nSecond line.\r\n"
        "--b1\r\nContent-Type: image/png; name=\"pic.png\"\r\nContent-Transfer-Encoding: "
        "base64\r\nContent-Disposition: attachment; filename=\"pic.png\"\r\n\r\n" +
            base64 + "--b1--\r\n");
    auto textPart = [](const std::string& content) {
        return "--b2\r\nContent-Type: text/plain; name=\"a.txt\"\r\nContent-Disposition: "
               "attachment; filename=\"a.txt\"\r\n\r\n" +
               content + "\r\n";
    };
    const std::string twins = Message(
        "two files", "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b2\"\r\n",
        "--b2\r\nContent-Type: text/plain\r\n\r\nTwo files.\r\n" + textPart("first") +
            textPart("second") + "--b2--\r\n");
    Seed(user, {picture, twins});
    // The attachment folder of the settings, made by the check when missing.
    test::WriteFile(Home() / "kivo.ini",
                    "[Mail]\r\nAttachPath=" + (Home() / "Files/").string() + "\r\n");

    auto result = Check();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "2 new messages\n");
    const std::string in = In();
    const std::size_t second = in.find("\r\nFrom ", 1);
    ASSERT_NE(second, std::string::npos);
    const std::string first = in.substr(0, second);
    EXPECT_NE(first.find("Content-Type: text/plain\r\n"), std::string::npos) << first;
    EXPECT_NE(first.find("\r\nLook at this.\r\nSecond line.\r\n"), std::string::npos) << first;
    const std::vector<fs::path> saved = ConvertedFiles(first);
    ASSERT_EQ(saved.size(), 1u) << first;
    EXPECT_EQ(saved[0], Home() / "Files" / "pic.png");
    EXPECT_EQ(ReadFile(saved[0]), png);

    std::vector<std::string> names;
    std::vector<std::string> contents;
    for (const fs::path& file : ConvertedFiles(in.substr(second))) {
        names.push_back(file.filename());
        contents.push_back(Trim(ReadFile(file)));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "a1.txt"}));
    EXPECT_EQ(contents, (std::vector<std::string>{"first", "second"}));
}

// A wrong password and a missing one (no terminal to ask on) each fail their own account;
// the account after them still gets its mail, and the exit status tells a script.
TEST_F(CheckRig, FailingAccountsDoNotStopTheOthers) {
    const std::string wrong = NewUser(), unasked = NewUser(), fine = NewUser();
    AddAccount("Wrong", wrong, {}, "not-the-password");
    AddAccount("Unasked", unasked, {}, "");
    AddAccount("Fine", fine);
    for (const std::string& user : {wrong, unasked, fine}) Seed(user, {Message("for " + user)});

    auto result = Check();
    EXPECT_EQ(result.status, 1);
    // The summary line says which accounts failed and why, not only what arrived.
    EXPECT_EQ(result.out,
              "1 new message; failed: Unasked: no password; Wrong: The server refused the user "
              "name or password: -ERR [AUTH] Authentication failed.\n");
    EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << "one line";
    // Connected all right: the log says the log-in was refused, not "Cannot connect".
    EXPECT_NE(result.err.find("error: Cannot log in to " + server_ + " POP server for Wrong\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Authentication failed"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("error: No password for Unasked, " + unasked + "@" + server_),
              std::string::npos)
        << result.err;
    EXPECT_NE(In().find("Subject: for " + fine + "\r\n"), std::string::npos);
    EXPECT_EQ(OnServer(wrong).size(), 1u);
    EXPECT_EQ(OnServer(unasked).size(), 1u);
    EXPECT_TRUE(OnServer(fine).empty());
}

TEST_F(CheckRig, AMissingPasswordIsAskedForOnTheTerminalWithoutEcho) {
    const std::string user = NewUser();
    AddAccount("Ask", user, {}, "");
    Seed(user, {Message("asked")});
    AwaitUsers();

    auto result = OnTerminal(
        {"check"}, "Ask, " + user + "@" + server_ + ": Enter your POP password:", user + "pw\n");
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("1 new message"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find(user + "pw"), std::string::npos) << "echoed: " << result.out;
    EXPECT_NE(In().find("Subject: asked\r\n"), std::string::npos);
    // Asked for this run only: nothing is stored.
    EXPECT_NE(ReadFile(Home() / "accounts.ini").find("POPPass=\r\n"), std::string::npos);
}

// Killed at any moment while it stores fetched mail, a check leaves In with whole messages
// only: the next access cuts an unfinished one back.
TEST_F(CheckRig, AKilledCheckNeverLeavesHalfAMessageInIn) {
    const std::string user = NewUser();
    AddAccount("Kept", user, {"--leave-mail", "1"});
    std::vector<std::string> messages;
    for (int k = 1; k <= 30; ++k) {
        std::string body;
        for (int line = 0; line < 150; ++line) {
            body += "line " + std::to_string(line) + " " + std::string(60, 'b') + "\r\n";
        }
        messages.push_back(
            Message("c" + std::to_string(k), {}, body + "end of c" + std::to_string(k) + "\r\n"));
    }
    Seed(user, messages);
    AwaitUsers();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Kivo({"check"}).status, 0);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();

    std::mt19937 random(11);
    for (int trial = 0; trial < 8; ++trial) {
        // Everything is fetched again: nothing is in In, nothing is known as left.
        for (const char* file : {"lmos.dat", "Mail/In.mbx", "Mail/In.idx", "Mail/in.mbx"}) {
            fs::remove(Home() / file);
        }
        const auto delay = std::chrono::microseconds(random() % (took + 1));
        test::RunAndKill({KIVO_BINARY, "--home", Home().string(), "check"}, delay);

        ASSERT_EQ(Kivo({"ls", "In"}).status, 0);  // the next access
        const std::string in = In();
        int whole = 0;
        for (std::size_t at = in.find("Subject: c"); at != std::string::npos;
             at = in.find("Subject: c", at + 1)) {
            const std::string k = in.substr(at + 10, in.find('\r', at) - at - 10);
            const std::size_t next = in.find("\nFrom ", at);
            const std::string message =
                in.substr(at, next == std::string::npos ? next : next + 1 - at);
            EXPECT_NE(message.find("end of c" + k + "\r\n"), std::string::npos)
                << "c" << k << " cut short after " << delay.count() << " us";
            ++whole;
        }
        EXPECT_EQ(whole, Count(in, "\nFrom ") + (in.starts_with("From ") ? 1 : 0));
        EXPECT_FALSE(fs::exists(AppendRecordPath(InMbx())));
    }
}

// The Incoming scripts on every received message: a filter files list mail, unread, into a
// mailbox of its own and marks it deleted, so it never reaches In but still counts as new
// mail; a later script that fails half-way
// ends the list, leaves the message as it was before that script, and the check reports it.
TEST_F(CheckRig, IncomingScriptsFileListMailAndAFailingScriptChangesNothing) {
    const std::string user = NewUser();
    AddAccount("Lists", user);
    Seed(user,
         {Message("list news", "List-Id: <dev.lists.example.test>\r\n"), Message("plain note")});
    fs::create_directories(Home() / "Scripts");
    test::WriteFile(Home() / "Scripts" / "Lists.kiv",
                    "ReadHeader $l List-Id %message\r\nIf $l = \"\" then Done\r\n"
                    "AppendToFile True\r\nSaveMessage %message Lists.mbx\r\n"
                    "DeleteMessage %message\r\n:Done\r\n");
    test::WriteFile(Home() / "Scripts" / "Half.kiv",
                    "SetHeader %message X-Half yes\r\nSet $x $missing\r\n");
    IniFile ini(Home() / "kivo.ini");
    ini.WriteString("Scripts", "Incoming", "Lists,Half");
    ini.UpdateFile();

    auto check = Check();
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "2 new messages (1 taken out of In by filters)\n");
    EXPECT_NE(check.err.find("Script \"Half\", line 2: Source variable not previously declared"),
              std::string::npos)
        << check.err;
    const std::string in = In();
    EXPECT_EQ(Count(in, "Subject: plain note"), 1) << in;
    EXPECT_EQ(Count(in, "list news"), 0) << in;
    EXPECT_EQ(Count(in, "X-Half"), 0) << in;
    const std::string lists = ReadFile(Home() / "Mail" / "Lists.mbx");
    EXPECT_EQ(Count(lists, "Subject: list news"), 1) << lists;
    // Filed new mail is as unread as the mail that reached In.
    const std::string listed = Kivo({"ls", "Lists"}).out;
    EXPECT_TRUE(listed.starts_with("1\t0\t1\t")) << listed;
    EXPECT_TRUE(OnServer(user).empty());
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// Accounts that ask for TLS or STLS get their mail over it; with no trust in the rig's CA only
// the account that trusts the server's certificate by its fingerprint does, and the other is
// told why. Passwords appear nowhere in the output.
TEST_F(CheckRig, SecureAccountsFetchOverTlsAndStlsAndOnlyATrustedCertificateIsUsed) {
    if (Env("MAILPEERS_POP3S_PORT").empty()) GTEST_SKIP() << "the rig offers no POP3S";
    const std::string tls = NewUser(), stls = NewUser(), pinned = NewUser(), unknown = NewUser();
    const std::string fingerprint = test::RunProgram({"openssl", "x509", "-noout", "-fingerprint",
                                                      "-sha256", "-in", Env("MAILPEERS_CERT_FILE")})
                                        .out;
    ASSERT_NE(fingerprint.find('='), std::string::npos) << fingerprint;
    struct Mode {
        std::string account, user, port;
        std::vector<std::string> keys;
    };
    const Mode modes[] = {
        {"Tls", tls, "MAILPEERS_POP3S_PORT", {"POPSecurity=tls"}},
        {"Stls", stls, "MAILPEERS_POP3_PORT", {"POPSecurity=stls"}},
        {"Pinned",
         pinned,
         "MAILPEERS_POP3S_PORT",
         {"POPSecurity=tls", "TrustCert=" + Trim(fingerprint.substr(fingerprint.find('=') + 1)),
          "CheckMail=0"}},
        {"Unknown", unknown, "MAILPEERS_POP3S_PORT", {"POPSecurity=tls", "CheckMail=0"}},
    };
    for (const Mode& m : modes) {
        server_ = "localhost:" + Env(m.port.c_str());
        AddAccount(m.account, m.user);
        std::vector<std::string> set = {"account", "set", m.account};
        set.insert(set.end(), m.keys.begin(), m.keys.end());
        ASSERT_EQ(Kivo(set).status, 0);
        Seed(m.user, {Message("for " + m.account)});
    }

    auto result = Check(Env("MAILPEERS_CA_FILE"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(In().find("Subject: for Tls\r\n"), std::string::npos);
    EXPECT_NE(In().find("Subject: for Stls\r\n"), std::string::npos);

    ASSERT_EQ(Kivo({"account", "set", "Tls", "CheckMail=0"}).status, 0);
    ASSERT_EQ(Kivo({"account", "set", "Stls", "CheckMail=0"}).status, 0);
    ASSERT_EQ(Kivo({"account", "set", "Pinned", "CheckMail=1"}).status, 0);
    ASSERT_EQ(Kivo({"account", "set", "Unknown", "CheckMail=1"}).status, 0);
    result = Check("/dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(In().find("Subject: for Pinned\r\n"), std::string::npos);
    EXPECT_EQ(In().find("Subject: for Unknown\r\n"), std::string::npos);
    EXPECT_NE(result.err.find("issuer is unknown"), std::string::npos) << result.err;
    EXPECT_EQ(OnServer(unknown).size(), 1u);
    for (const std::string& user : {tls, stls, pinned, unknown})
        EXPECT_EQ((result.out + result.err).find(user + "pw"), std::string::npos);
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// A subject with encoded ESC, BEL and TAB, and a body with raw escape sequences, fetched from
// Dovecot as a user meets them: ls and show print them visibly, on a terminal too, and the
// message stays in In as it was stored.
TEST_F(CheckRig, ControlCharactersFromMailAreShownNotSentToTheTerminal) {
    const std::string user = NewUser();
    AddAccount("Work", user);
    Seed(user, {ReadFile(test::DataPath("terminal/control-characters.eml"))});
    ASSERT_EQ(Check().status, 0);
    const std::string stored = In();
    ASSERT_NE(stored.find("Invoice\x1b]0;pwned\x07"), std::string::npos) << stored;

    const test::ProcessResult ls = Kivo({"ls", "In"});
    ASSERT_EQ(ls.status, 0) << ls.err;
    const std::vector<std::string> rows = SplitLines(ls.out);
    ASSERT_FALSE(rows.empty());
    const std::vector<std::string> fields = SplitWords(rows.back(), "\t");
    ASSERT_EQ(fields.size(), 10u) << rows.back();
    EXPECT_EQ(fields[5], "Eve^[[2J <eve@example.test>");
    EXPECT_EQ(fields[6], "Invoice^[]0;pwned^G due");

    const std::string number = fields[0];
    const test::ProcessResult piped = Kivo({"show", "In", number});
    ASSERT_EQ(piped.status, 0) << piped.err;
    const test::ProcessResult onTerminal = OnTerminal({"show", "In", number}, "\x01no prompt", "");
    EXPECT_EQ(onTerminal.status, 0) << onTerminal.out;
    for (const std::string& shown : {piped.out, onTerminal.out}) {
        EXPECT_EQ(shown.find_first_of("\x1b\x07"), std::string::npos) << shown;
        EXPECT_NE(shown.find("Invoice^[]0;pwned^G"), std::string::npos) << shown;
        EXPECT_NE(shown.find("A bell^G and ^[[31mred^[[0m text"), std::string::npos) << shown;
    }
    EXPECT_NE(piped.out.find("pwned^G\tdue"), std::string::npos) << "a tab in show stays";
    EXPECT_NE(In().find("Invoice\x1b]0;pwned\x07\tdue"), std::string::npos);
}

// Killed (kill -9) or stopped (Ctrl-C) at random moments, a check neither loses mail nor
// stores any twice: whatever it stored is recorded before the server is told to delete it, so
// the full check after it fetches only the rest (and deletes the stored ones unfetched).
TEST_F(CheckRig, AKilledOrStoppedCheckNeitherLosesNorDuplicatesMail) {
    constexpr int kMessages = 20;
    constexpr int kTrials = 12;
    auto messages = [](const std::string& user) {
        std::vector<std::string> list;
        for (int k = 1; k <= kMessages; ++k) {
            const std::string id = user + "-" + std::to_string(k);
            list.push_back(Stamped("m" + std::to_string(k) + " " + user, id + "@example.test"));
        }
        return list;
    };
    struct Trial {
        std::string user;
        bool leave = false;
        bool ctrlC = false;  // SIGINT instead of SIGKILL
    };
    const std::string calibration = NewUser();
    std::vector<Trial> trials;
    for (int t = 0; t < kTrials; ++t) trials.push_back({NewUser(), t % 2 == 0, t % 4 >= 2});
    Seed(calibration, messages(calibration));
    for (const Trial& trial : trials) Seed(trial.user, messages(trial.user));
    AwaitUsers();

    // How long a whole check of such a mailbox takes, to kill within it.
    AddAccount("Calibration", calibration);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Kivo({"check"}).status, 0);
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
    ASSERT_EQ(Kivo({"account", "set", "Calibration", "CheckMail=0"}).status, 0);

    std::mt19937 random(29);
    int account = 0;
    for (const Trial& trial : trials) {
        const std::string name = "Trial" + std::to_string(++account);
        AddAccount(name, trial.user, {"--leave-mail", trial.leave ? "1" : "0"});
        const auto delay = std::chrono::microseconds(random() % (took + 1));
        test::RunAndKill({KIVO_BINARY, "--home", Home().string(), "check"}, delay,
                         trial.ctrlC ? SIGINT : SIGKILL);
        const auto full = Kivo({"check"});
        EXPECT_EQ(full.status, 0) << full.err;

        const std::string in = In();
        for (int k = 1; k <= kMessages; ++k) {
            const int count =
                Count(in, "Subject: m" + std::to_string(k) + " " + trial.user + "\r\n");
            EXPECT_EQ(count, 1) << name << " (leave " << trial.leave << ", Ctrl-C " << trial.ctrlC
                                << "), message " << k << " stored " << count
                                << " times, stopped after " << delay.count() << " us";
        }
        EXPECT_EQ(OnServer(trial.user).size(), trial.leave ? std::size_t{kMessages} : 0u) << name;
        ASSERT_EQ(Kivo({"account", "set", name, "CheckMail=0"}).status, 0);
    }
    // Entries stay only for the mail left on the server: those a run killed between the
    // server's commit and the list's save left behind are dropped by the full check after it,
    // which hears the id of every message the server still holds.
    EXPECT_EQ(LeftEntries(), kMessages * (kTrials / 2));
}

// "Delete mail from the server after N days": mail left on the server goes from it once its
// date is that old, on a check after the one that fetched it; newer mail and mail whose date
// cannot be read stay, and none of it is fetched again.
TEST_F(CheckRig, LeftMailGoesFromTheServerAfterItsDays) {
    const std::string user = NewUser();
    auto dated = [&](const std::string& subject, const std::string& date) {
        return Message(subject + " " + user,
                       "Message-ID: <" + subject + user + "@x>\r\nDate: " + date + "\r\n");
    };
    auto daysAgo = [](int days) {
        return FormatRfc822Date(DateTime::FromTimeT(std::time(nullptr) - days * 86400), "+0000");
    };
    Seed(user, {dated("old", daysAgo(40)), dated("recent", daysAgo(2)),
                dated("undated", "sometime soon")});
    AddAccount("Days", user, {"--leave-mail", "1", "--leave-days", "30"});
    auto first = Check();
    EXPECT_EQ(first.out, "3 new messages\n") << first.err;
    EXPECT_EQ(OnServer(user).size(), 3u) << "fetched mail stays until a later check";
    auto second = Check();
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, "No new messages\n");
    const std::vector<std::string> left = OnServer(user);
    ASSERT_EQ(left.size(), 2u);
    for (const std::string& message : left)
        EXPECT_EQ(message.find("Subject: old"), std::string::npos) << message;
    EXPECT_EQ(LeftEntries(), 2);
    EXPECT_EQ(Count(In(), "Subject: old " + user + "\r\n"), 1);
}

// Two checks started at once on one program folder (a cron job beside the window): the second
// waits for the first and then finds nothing new, so each message is stored exactly once,
// whether the mail is left on the server or not.
TEST_F(CheckRig, TwoChecksAtOnceStoreEachMessageOnce) {
    constexpr int kMessages = 60;
    for (const bool leave : {false, true}) {
        const std::string user = NewUser();
        std::vector<std::string> list;
        for (int k = 1; k <= kMessages; ++k)
            list.push_back(Stamped("c" + std::to_string(k) + " " + user,
                                   user + "-" + std::to_string(k) + "@example.test"));
        Seed(user, list);
        const std::string name = leave ? "Leave" : "Take";
        AddAccount(name, user, {"--leave-mail", leave ? "1" : "0"});
        AwaitUsers();
        const std::string kivo =
            std::string(KIVO_BINARY) + " --home '" + Home().string() + "' check";
        const auto both = test::RunProgram({"bash", "-c",
                                            kivo + " & a=$!; " + kivo +
                                                " & b=$!; wait $a; x=$?; wait $b; "
                                                "exit $((x + $?))"});
        EXPECT_EQ(both.status, 0) << both.err;
        const std::string in = In();
        for (int k = 1; k <= kMessages; ++k) {
            EXPECT_EQ(Count(in, "Subject: c" + std::to_string(k) + " " + user + "\r\n"), 1)
                << name << " message " << k;
        }
        EXPECT_EQ(OnServer(user).size(), leave ? std::size_t{kMessages} : 0u) << name;
        ASSERT_EQ(Kivo({"account", "set", name, "CheckMail=0"}).status, 0);
    }
    EXPECT_EQ(LeftEntries(), kMessages);
}

// A check killed just before each of its renames, fsyncs, fdatasyncs and unlinks (the steps
// that make its work last: the batch note, the append to In, the leave-on-server list, the
// index), then a store command that changes In's offsets, then a full check: every message
// is in the mail folder exactly once, and every attachment file is one a message points to.
TEST_F(CheckRig, AKillAtEachDurableStepThenAStoreCommandNeitherLosesNorDoublesMail) {
    if (test::RunProgram({"sh", "-c", "command -v strace"}).status != 0)
        GTEST_SKIP() << "strace is not installed (scripts/deps.sh installs it)";
    constexpr int kMessages = 3;
    const std::string attached =
        Message("k3 USER", "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n",
                "--b\r\nContent-Type: text/plain\r\n\r\nSee the file.\r\n--b\r\nContent-Type: "
                "text/plain; name=\"notes.txt\"\r\nContent-Disposition: attachment; "
                "filename=\"notes.txt\"\r\n\r\nnotes\r\n--b--\r\n");
    auto messages = [&](const std::string& user) {
        std::vector<std::string> list;
        for (int k = 1; k < kMessages; ++k)
            list.push_back(Stamped("k" + std::to_string(k) + " " + user,
                                   user + "-" + std::to_string(k) + "@example.test"));
        std::string last = attached;
        last.replace(last.find("USER"), 4, user);
        list.push_back(last);
        return list;
    };
    const std::vector<std::vector<std::string>> commands = {
        {},
        {"delete", "in", "1"},  // the older message; compressed below
        {"move", "in", "2", "--to", "Work"},
        {"repair", "in"},
    };
    // A kill before an fsync is one before the rename it precedes or one after it.
    const std::vector<std::string> steps = {"rename", "fdatasync", "unlink"};
    const std::string kivo = KIVO_BINARY;
    auto kivoIn = [&](const fs::path& home, std::vector<std::string> args) {
        args.insert(args.begin(), {"setsid", "-w", kivo, "--home", home.string()});
        return test::RunProgram(args);
    };
    auto prepare = [&](const fs::path& home, const std::string& user, bool leave) {
        fs::create_directories(home / "Mail" / "Work");
        test::WriteFile(home / "Mail" / "in.mbx",
                        "From old@example.test 01/02/2024 10:00:00\r\nSubject: older\r\n"
                        "Status: R\r\n\r\nolder mail\r\n");
        EXPECT_EQ(
            kivoIn(home, {"account", "add", "A", "--pop-server", server_, "--pop-user", user,
                          "--password", user + "pw", "--leave-mail", leave ? "1" : "0", "--yes"})
                .status,
            0);
    };
    // How often a whole check makes each call, for a mailbox of this shape.
    std::map<std::string, int> calls;
    {
        const std::string user = NewUser();
        Seed(user, messages(user));
        AwaitUsers();
        test::TempDir home;
        prepare(home.path(), user, true);
        const fs::path trace = home / "trace";
        ASSERT_EQ(test::RunProgram({"strace", "-E", test::kNoLeakCheck, "-o", trace.string(), "-e",
                                    "trace=rename,fsync,fdatasync,unlink", kivo, "--home",
                                    home.path().string(), "check"})
                      .status,
                  0);
        for (const std::string& line : SplitLines(ReadFile(trace))) {
            for (const std::string& step : steps) calls[step] += line.starts_with(step + "(");
        }
    }
    struct Trial {
        std::string step;
        int when;
        std::size_t command;
        bool leave;
        std::string user;
    };
    std::vector<Trial> trials;
    for (const std::string& step : steps) {
        for (int when = 1; when <= calls[step]; ++when) {
            for (std::size_t c = 0; c < commands.size(); ++c)
                trials.push_back({step, when, c, (when + c) % 2 == 0, NewUser()});
        }
    }
    ASSERT_GE(trials.size(), 20u) << "the check makes too few durable steps to be tried";
    for (const Trial& t : trials) Seed(t.user, messages(t.user));
    AwaitUsers();

    for (const Trial& t : trials) {
        const std::string what =
            "killed at " + t.step + " " + std::to_string(t.when) + ", then " +
            (commands[t.command].empty() ? std::string("nothing") : commands[t.command][0]) +
            (t.leave ? ", mail left on the server" : "");
        test::TempDir home;
        prepare(home.path(), t.user, t.leave);
        test::RunProgram({"strace", "-E", test::kNoLeakCheck, "-o", "/dev/null", "-e",
                          "trace=" + t.step, "-e",
                          "inject=" + t.step + ":signal=KILL:when=" + std::to_string(t.when), kivo,
                          "--home", home.path().string(), "check"});
        if (!commands[t.command].empty()) {
            kivoIn(home.path(), commands[t.command]);
            kivoIn(home.path(), {"compress", "in"});
        }
        const auto full = kivoIn(home.path(), {"check"});
        EXPECT_EQ(full.status, 0) << what << ": " << full.err;

        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(home / "Mail")) {
            if (entry.path().extension() == ".mbx") all += ReadFile(entry.path());
        }
        for (int k = 1; k <= kMessages; ++k) {
            const std::string subject = "Subject: k" + std::to_string(k) + " " + t.user + "\r\n";
            EXPECT_EQ(Count(all, subject), 1) << what << ", message " << k;
        }
        EXPECT_EQ(Count(all, "Subject: older\r\n"), 1) << what;
        EXPECT_EQ(OnServer(t.user).size(), t.leave ? std::size_t{kMessages} : 0u) << what;
        for (const fs::path& file : ConvertedFiles(all))
            EXPECT_TRUE(fs::exists(file)) << what << ": " << file;
        EXPECT_EQ(OrphanAttachments(home / "Attach", home / "Mail"), std::vector<fs::path>{})
            << what;
    }
}

// Text in the charsets mail comes in is stored as UTF-8: subjects (encoded words) and bodies
// read right in `kivo ls` and `kivo show`, and `kivo find` finds a word typed in UTF-8.
TEST_F(CheckRig, TextInAnyCharsetIsStoredAsUtf8) {
    struct Case {
        const char* charset;
        const char* encoding;  // of the body
        std::string subject;   // in UTF-8
        std::string body;      // in UTF-8
        std::string word;      // found only in this message
    };
    const Case cases[] = {
        {"utf-8", "8bit", "Grüße aus Köln", "Schöne Grüße aus Köln.", "Schöne"},
        {"iso-8859-1", "quoted-printable", "Café crème", "Un café crème, s'il vous plaît.",
         "plaît"},
        {"iso-8859-2", "8bit", "Zażółć gęślą jaźń", "Pchnąć w tę łódź jeża.", "łódź"},
        {"iso-8859-15", "base64", "Œuvre à 5 €", "L'œuvre coûte 5 €.", "L'œuvre"},
        {"windows-1252", "8bit", "“Smart” quotes", "It’s a “naïve” test – really.", "“naïve”"},
        {"koi8-r", "base64", "Привет, мир", "Съешь же ещё этих мягких булок.", "булок"},
        {"iso-2022-jp", "7bit", "日本語の件名", "これは日本語のテストです。", "テスト"},
    };
    const std::string user = NewUser();
    AddAccount("World", user);
    std::vector<std::string> messages;
    for (const Case& c : cases) {
        auto encode = [&](const std::string& text) {
            auto converted = test::RunProgram({"iconv", "-f", "UTF-8", "-t", c.charset}, text);
            EXPECT_EQ(converted.status, 0) << c.charset;
            return converted.out;
        };
        auto base64 = [](const std::string& bytes) {
            return Trim(test::RunProgram({"base64", "-w0"}, bytes).out);
        };
        std::string body = encode(c.body + "\n");
        if (std::string_view(c.encoding) == "base64") body = base64(body) + "\r\n";
        if (std::string_view(c.encoding) == "quoted-printable") {
            std::string qp;
            for (unsigned char ch : body) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                if (ch >= 128 || ch == '=') {
                    qp += '=';
                    qp += kHex[ch >> 4];
                    qp += kHex[ch & 15];
                } else {
                    qp += static_cast<char>(ch);
                }
            }
            body = qp;
        }
        messages.push_back(
            Message("=?" + std::string(c.charset) + "?B?" + base64(encode(c.subject)) + "?=",
                    std::string("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"") +
                        c.charset + "\"\r\nContent-Transfer-Encoding: " + c.encoding + "\r\n",
                    body));
    }
    Seed(user, messages);
    auto result = Check();
    ASSERT_EQ(result.status, 0) << result.err;

    const auto list = Kivo({"ls", "In"});
    ASSERT_EQ(list.status, 0) << list.err;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_NE(list.out.find(c.subject), std::string::npos) << c.charset << "\n" << list.out;
        const auto shown = Kivo({"show", "In", std::to_string(i + 1)});
        EXPECT_NE(shown.out.find(c.subject), std::string::npos) << c.charset << "\n" << shown.out;
        EXPECT_NE(shown.out.find(c.body), std::string::npos) << c.charset << "\n" << shown.out;
        EXPECT_NE(shown.out.find("charset=\"utf-8\""), std::string::npos) << c.charset;
        const auto found = Kivo({"find", c.word, "--into", "Found " + std::to_string(i)});
        EXPECT_EQ(found.out, "Found " + std::to_string(i) + "\t1\n") << c.charset << found.err;
    }
}

}  // namespace
}  // namespace kivo
