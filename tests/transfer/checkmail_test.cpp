#include "transfer/checkmail.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "base/bytes.h"
#include "store/KivoIndex.h"
#include "store/mbxfile.h"
#include "tests/support/faultfiles.h"
#include "tests/support/testutil.h"
#include "tests/net/netfakes.h"
#include "mail/base64.h"
#include "transfer/pop3mailbox.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// One server's mailbox: messages with their unique ids, and what was done to them.
struct FakeMessage {
    std::string uidl;
    std::string raw;
};

// A POP3 mailbox double keeping its messages in memory, following the two phases: Info from
// the headers, then fetches and deletions of the marked messages in server order.
class FakeMailbox : public TRemoteMailbox {
  public:
    void SetEvents(TRemoteEvents events) override { events_ = std::move(events); }
    void Configure(std::string_view server, std::string_view user,
                   std::string_view password) override {
        server_ = server;
        user_ = user;
        password_ = password;
        info_.clear();
    }
    void UpdateInfo() override {
        ++connects;
        logins.push_back(user_ + "@" + server_ + ":" + password_);
        if (failConnect) {
            std::string text = connectError;
            events_.error(text);
            throw std::runtime_error(text);
        }
        size_ = 0;
        for (std::size_t i = 0; i < Box().size(); ++i) {
            const FakeMessage& m = Box()[i];
            TRemoteInfo info;
            info.size = static_cast<long>(m.raw.size());
            info.uidl = m.uidl;
            for (const std::string& line : SplitLines(m.raw)) {
                if (line.empty()) break;
                info.headers.push_back(line);
            }
            size_ += info.size;
            info_.push_back(std::move(info));
            events_.nextInfoUpdated(static_cast<int>(i));
        }
    }
    std::vector<TRemoteInfo>& Info() override { return info_; }
    long MessageCount() const override { return static_cast<long>(info_.size()); }
    long MailboxSize() const override { return size_; }
    void TransferData() override {
        std::vector<std::size_t> deleted;
        for (std::size_t i = 0; i < info_.size(); ++i) {
            const int n = static_cast<int>(i);
            if (info_[i].retrieve) {
                events_.retrieving(n);
                events_.progress(static_cast<long>(Box()[i].raw.size()));
                fetched.push_back(Box()[i].uidl);
                events_.save(n, Box()[i].raw);
                events_.retrieved(n);
                if (!killAfter.empty() && Box()[i].uidl == killAfter) std::_Exit(9);
                if (!oneBatch) events_.stored();
            }
            if (info_[i].remove) deleted.push_back(i);
        }
        if (oneBatch) events_.stored();
        if (!deleted.empty()) flushedBeforeDelete = test::Flushed();
        for (auto it = deleted.rbegin(); it != deleted.rend(); ++it) {
            removed.push_back(Box()[*it].uidl);
            Box().erase(Box().begin() + static_cast<std::ptrdiff_t>(*it));
        }
    }
    void Close() override {}
    void Cancel() override {}

    std::vector<FakeMessage>& Box() { return boxes[user_ + "@" + server_]; }

    std::map<std::string, std::vector<FakeMessage>> boxes;
    bool failConnect = false;
    bool oneBatch = false;  // all messages in one batch, made durable together
    std::string killAfter;  // the process dies once this message was handed over
    std::string connectError = "[10061] Connection refused";
    int connects = 0;
    Lines logins;
    Lines fetched;
    Lines removed;
    Lines flushedBeforeDelete;  // the files flushed to disk when the deletions began

  private:
    TRemoteEvents events_;
    std::string server_, user_, password_;
    std::vector<TRemoteInfo> info_;
    long size_ = 0;
};

class RecordingFeedback : public TTransferFeedback {
  public:
    void StatusText(int panel, std::string_view text) override {
        status[panel] = std::string(text);
    }
    void ErrorLevel(int level, std::string_view text) override {
        log.push_back(std::to_string(level) + " " + std::string(text));
    }
    void ShowTip(std::string_view text) override { tips.push_back(std::string(text)); }
    bool AskPassword(std::string_view caption, std::string_view prompt,
                     std::string& password) override {
        asked.push_back(std::string(caption) + "|" + std::string(prompt));
        password = typed;
        return !typed.empty();
    }
    void SetBusy(bool on) override { busy.push_back(on); }
    void CheckEnded(bool newMail, bool sound) override {
        ended = std::to_string(newMail) + std::to_string(sound);
    }
    TFrmIndex* InIndexWindow() override { return inWindow; }
    bool MainShowsIn() override { return inWindow != nullptr; }

    std::string status[4];
    Lines log;
    Lines tips;
    Lines asked;
    std::string typed;
    std::vector<bool> busy;
    std::string ended;
    TFrmIndex* inWindow = nullptr;
};

// The incoming filters of a bad day: one marks spam deleted, one fails.
class ScriptedFilters : public TFilterLists {
  public:
    void RunIncoming(TmsMessage& message) override {
        statuses.push_back(message.Headers().GetFieldValue("Status"));
        const std::string subject = message.Subject();
        if (subject.find("spam") != std::string::npos) {
            message.Headers().RemoveField("Status");
            message.Headers().Add("Status: RD");
        }
        if (subject.find("boom") != std::string::npos) throw std::runtime_error("script error");
        ++runs;
    }
    void RunOutgoing(TmsMessage&) override {}
    int runs = 0;
    std::vector<std::string> statuses;  // the Status value each run was given
};

std::string Message(std::string_view subject, std::string_view extraHeaders = "",
                    std::size_t bodyBytes = 20) {
    std::string raw = "From: ann@example.org\r\nSubject: " + std::string(subject) +
                      "\r\nMessage-ID: <" + std::string(subject) + "@example.org>\r\n" +
                      std::string(extraHeaders) + "\r\n";
    raw += std::string(bodyBytes, 'x') + "\r\n";
    return raw;
}

class CheckMail : public testing::Test {
  protected:
    CheckMail() {
        fs::create_directories(dir / "Mail");
        fs::create_directories(dir / "Attach");
    }
    void Accounts(std::string_view text) { test::WriteFile(dir / "accounts.ini", text); }
    TCheckResult Check() {
        TCheckMail run(
            {dir / "accounts.ini", dir / "Mail", dir / "Attach", dir.path(), dir / "lmos.dat"}, pop,
            filters, feedback);
        return run.Run();
    }
    int Stored() const { return FindLastIndex(dir / "Mail" / "in.mbx"); }
    Lines StoredMessage(int n) const {
        Lines lines;
        ExtractMsg(n, dir / "Mail" / "in.mbx", lines);
        return lines;
    }
    std::string Account(std::string_view name, std::string_view user, std::string_view extra = "") {
        return "[" + std::string(name) +
               "]\r\nPOPServer=pop.example\r\nPOPUser=" + std::string(user) +
               "\r\nPOPPass=" + Scramble("pw", kAccountPasswordKey) + "\r\n" + std::string(extra);
    }

    test::TempDir dir;
    FakeMailbox pop;
    ScriptedFilters filters;
    RecordingFeedback feedback;
};

TEST_F(CheckMail, FetchesEveryCheckedAccountInFileOrderIntoIn) {
    Accounts(Account("Work", "jo") + Account("Off", "off", "CheckMail=0\r\n") +
             Account("Home", "joe"));
    // A "D" the message arrived with does not discard it: only the filters decide.
    pop.boxes["jo@pop.example"] = {{"w1", Message("one")}, {"w2", Message("two", "Status: D\r\n")}};
    pop.boxes["joe@pop.example"] = {{"h1", Message("three")}};
    pop.boxes["off@pop.example"] = {{"o1", Message("never")}};
    const TCheckResult r = Check();
    EXPECT_EQ(pop.logins, (Lines{"jo@pop.example:pw", "joe@pop.example:pw"}));
    EXPECT_EQ(r.accounts, 2);
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(r.stored, 3);
    EXPECT_TRUE(r.newMail);
    EXPECT_EQ(feedback.ended, "11");
    EXPECT_EQ(feedback.busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(pop.removed, (Lines{"w2", "w1", "h1"}));
    ASSERT_EQ(Stored(), 3);
    const Lines first = StoredMessage(1);
    EXPECT_TRUE(first[0].starts_with("From ???@??? ")) << first[0];
    EXPECT_EQ(HeaderValue("X-Account:", first), "Work");
    EXPECT_EQ(HeaderValue("Status:", first), "U");
    EXPECT_EQ(HeaderValue("Subject:", first), "one");
    EXPECT_EQ(HeaderValue("X-Account:", StoredMessage(3)), "Home");
    EXPECT_EQ(filters.runs, 3);
    EXPECT_NE(std::find(feedback.log.begin(), feedback.log.end(),
                        "1 Connecting to pop.example POP server for Work..."),
              feedback.log.end());
}

// A message whose last part lost its closing boundary is stored with its text and file; what
// was mended is in the progress log, not an error text in the message.
TEST_F(CheckMail, AMendedMessageIsStoredWholeAndTheMendLogged) {
    Accounts(Account("Home", "jo"));
    pop.boxes["jo@pop.example"] = {
        {"u1", test::ReadFile(test::DataPath("mime/unclosed-base64.eml"))}};
    EXPECT_EQ(Check().stored, 1);
    const Lines stored = StoredMessage(1);
    EXPECT_NE(std::find(stored.begin(), stored.end(), "The figures."), stored.end());
    EXPECT_TRUE(stored.back().ends_with("figures.bin\"")) << stored.back();
    EXPECT_NE(std::find(feedback.log.begin(), feedback.log.end(),
                        "2 Message \"report without its end\" from ann@example.org: "
                        "Cannot find closing boundary: the last part was ended at the end of "
                        "the message"),
              feedback.log.end());
}

// A power cut after the server deleted a message must not leave it with empty attachments:
// its files and their folder's entries are on disk, before In, when the deletion is sent.
TEST_F(CheckMail, AttachmentsAreOnDiskBeforeTheServerDeletesTheirMessage) {
    Accounts(Account("Home", "jo"));
    pop.boxes["jo@pop.example"] = {
        {"u1", test::ReadFile(test::DataPath("mime/unclosed-base64.eml"))}};
    test::ClearFlushed();
    ASSERT_EQ(Check().stored, 1);
    ASSERT_EQ(pop.removed, (Lines{"u1"}));
    const std::string attach = fs::canonical(dir / "Attach").string();
    const std::string in = fs::canonical(dir / "Mail" / "in.mbx").string();
    const Lines& flushed = pop.flushedBeforeDelete;
    const auto file = std::find_if(flushed.begin(), flushed.end(), [&](const std::string& p) {
        return p.starts_with(attach + "/");
    });
    const auto folder = std::find(flushed.begin(), flushed.end(), attach);
    const auto mailbox = std::find(flushed.begin(), flushed.end(), in);
    ASSERT_NE(file, flushed.end()) << "no attachment file flushed";
    EXPECT_NE(folder, flushed.end()) << "the attachment folder's entries were not flushed";
    ASSERT_NE(mailbox, flushed.end());
    EXPECT_LT(file, mailbox);
    EXPECT_LT(folder, mailbox);
}

TEST_F(CheckMail, LeftMailIsFetchedOnceAndDeletedWhenNoLongerLeft) {
    // The server adds no "X-UIDL": its UIDL ids tell the messages apart, even two messages
    // with the same Message-ID and no Date.
    Accounts(Account("Home", "jo", "LeaveMail=1\r\n"));
    pop.boxes["jo@pop.example"] = {{"u1", Message("same")}, {"u2", Message("same")}};
    EXPECT_EQ(Check().stored, 2);
    EXPECT_EQ(Check().stored, 0);  // second check: nothing new
    EXPECT_EQ(pop.fetched, (Lines{"u1", "u2"}));
    EXPECT_TRUE(pop.removed.empty());
    EXPECT_EQ(feedback.status[3], "2 messages left on pop.example");
    const std::string lmos = test::ReadFile(dir / "lmos.dat");
    EXPECT_EQ(lmos.find("u1"), lmos.rfind("u1"));  // one entry per message

    Accounts(Account("Home", "jo", "LeaveMail=0\r\n"));
    pop.boxes["jo@pop.example"].push_back({"u3", Message("new")});
    EXPECT_EQ(Check().stored, 1);
    EXPECT_EQ(pop.fetched, (Lines{"u1", "u2", "u3"}));  // the left ones are not fetched again
    EXPECT_EQ(pop.removed, (Lines{"u3", "u2", "u1"}));
    EXPECT_EQ(test::ReadFile(dir / "lmos.dat").find("u1"), std::string::npos);
    EXPECT_EQ(Stored(), 3);
}

TEST_F(CheckMail, LeftMailThatFailedToStoreIsFetchedAgain) {
    Accounts(Account("Home", "jo", "LeaveMail=1\r\n"));
    pop.boxes["jo@pop.example"] = {{"u1", Message("one")}, {"u2", Message("two")}};
    fs::create_directory(dir / "Mail" / "in.mbx");  // storing fails
    EXPECT_EQ(Check().failed, 1);
    fs::remove(dir / "Mail" / "in.mbx");
    EXPECT_EQ(Check().stored, 2);
    EXPECT_EQ(pop.fetched, (Lines{"u1", "u1", "u2"}));
    EXPECT_EQ(Check().stored, 0);
}

// A run that stored a batch in In but died before its leave-on-server list recorded it leaves
// a note of the batch (here the list, grown big by another account, cannot be written within
// a file size limit); the next run records the batch from the note and neither fetches nor
// stores it again, whether the mail is left on the server or not.
TEST_F(CheckMail, ABatchStoredButNotRecordedIsNotFetchedAgain) {
    for (const char* leave : {"0", "1"}) {
        SCOPED_TRACE(std::string("LeaveMail=") + leave);
        fs::remove(dir / "Mail" / "in.mbx");
        LeaveOnServerList big(dir / "lmos.dat");
        big.SelectAccount("other", "pop.example");
        for (int k = 0; k < 300; ++k) big.Insert({"o" + std::to_string(k), "<o@example.org>", ""});
        big.Save();
        Accounts(Account("Home", "jo", "LeaveMail=" + std::string(leave) + "\r\n"));
        pop.boxes["jo@pop.example"] = {{"u1", Message("one")}, {"u2", Message("two")}};

        constexpr rlim_t kLimit = 4096;
        ASSERT_GT(fs::file_size(dir / "lmos.dat"), kLimit);
        const int failed = test::InChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{kLimit, kLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            return Check().failed;
        });
        ASSERT_EQ(failed, 1);
        ASSERT_EQ(Stored(), 1) << "the run stops at its first batch";
        ASSERT_TRUE(fs::exists(dir / "lmos.pending"));

        pop.fetched.clear();
        const TCheckResult again = Check();
        EXPECT_EQ(again.failed, 0);
        EXPECT_EQ(again.stored, 1);
        EXPECT_EQ(pop.fetched, (Lines{"u2"}));
        EXPECT_EQ(Stored(), 2);
        EXPECT_FALSE(fs::exists(dir / "lmos.pending"));
        EXPECT_EQ(pop.Box().size(), std::string(leave) == "1" ? 2u : 0u);
    }
}

// A batch of large messages is stored in parts of a few megabytes, each recorded before the
// server deletes anything: a run killed later in the batch neither loses nor doubles the
// parts stored before it.
TEST_F(CheckMail, ALargeBatchIsStoredInRecordedParts) {
    Accounts(Account("Home", "jo"));
    pop.oneBatch = true;
    pop.killAfter = "u3";
    pop.boxes["jo@pop.example"] = {{"u1", Message("one", "", 5 << 20)},
                                   {"u2", Message("two", "", 5 << 20)},
                                   {"u3", Message("three")}};
    EXPECT_EQ(test::InChild([&] { return Check().failed; }), 9);
    EXPECT_EQ(Stored(), 2) << "the first part (8 MB or more) was stored on its own";

    pop.killAfter.clear();
    const TCheckResult again = Check();
    EXPECT_EQ(again.failed, 0);
    EXPECT_EQ(pop.fetched, (Lines{"u3"}));
    EXPECT_EQ(pop.removed, (Lines{"u3", "u2", "u1"}));
    ASSERT_EQ(Stored(), 3);
    EXPECT_EQ(HeaderValue("Subject:", StoredMessage(3)), "three");
    EXPECT_FALSE(fs::exists(dir / "lmos.pending"));
}

// A run stopped after the server deleted mail but before the list was saved again leaves
// entries of mail that is gone: a check that learns the id of every message on the server
// drops them (one with a message of unknown id drops nothing); an empty server drops all of
// the account's entries. Another account's entries stay.
TEST_F(CheckMail, EntriesOfMailNoLongerOnTheServerAreDropped) {
    const std::string other = Account("Work", "wk", "LeaveMail=1\r\n");
    Accounts(Account("Home", "jo", "LeaveMail=1\r\n") + other);
    auto& box = pop.boxes["jo@pop.example"];
    box = {{"u1", Message("one")}, {"u2", Message("two")}, {"u3", Message("three")}};
    pop.boxes["wk@pop.example"] = {{"w1", Message("work")}};
    EXPECT_EQ(Check().stored, 4);
    auto has = [&](const char* uid) {
        return test::ReadFile(dir / "lmos.dat").find("\r\n" + std::string(uid) + "\r\n") !=
               std::string::npos;
    };
    Accounts(Account("Home", "jo", "LeaveMail=1\r\n") +
             Account("Work", "wk", "LeaveMail=1\r\nCheckMail=0\r\n"));
    pop.boxes["wk@pop.example"].clear();

    box.erase(box.begin());
    box.push_back({"", Message("no id")});
    EXPECT_EQ(Check().stored, 1);
    EXPECT_TRUE(has("u1")) << "a message without an id: the listing tells nothing";

    box.pop_back();
    box.erase(box.begin());
    EXPECT_EQ(Check().stored, 0);
    EXPECT_FALSE(has("u1"));
    EXPECT_FALSE(has("u2"));
    EXPECT_TRUE(has("u3"));
    EXPECT_NE(test::ReadFile(dir / "lmos.dat").find("<no id@example.org>"), std::string::npos)
        << "an entry without an id stays while the server holds mail";

    box.clear();
    EXPECT_EQ(Check().stored, 0);
    EXPECT_FALSE(has("u3"));
    EXPECT_EQ(test::ReadFile(dir / "lmos.dat").find("<no id@example.org>"), std::string::npos);
    EXPECT_TRUE(has("w1"));
    EXPECT_EQ(pop.fetched, (Lines{"u1", "u2", "u3", "w1", ""}));
}

TEST_F(CheckMail, SizeLimitInKilobytes) {
    struct Case {
        const char* size;
        std::size_t over;  // bytes above 100 KB of the big message
        bool fetched;
        const char* why;
    } cases[] = {
        {"100", 0, true, "exactly at the limit"},
        {"100", 1, false, "one byte over"},
        {"lots", 1, true, "not a number: no limit"},
        {"0", 1, true, "zero: no limit"},
    };
    for (const auto& c : cases) {
        Accounts(Account("Home", "jo", std::string("SkipBig=1\r\nSkipBigSize=") + c.size + "\r\n"));
        std::string big = Message("big", "", 0);
        big += std::string(100 * 1024 + c.over - big.size(), 'y');
        ASSERT_EQ(big.size(), 100 * 1024 + c.over);
        pop.boxes["jo@pop.example"] = {{"big", big}};
        pop.fetched.clear();
        const TCheckResult r = Check();
        EXPECT_EQ(pop.fetched.size(), c.fetched ? 1u : 0u) << c.why;
        EXPECT_EQ(pop.boxes["jo@pop.example"].empty(), c.fetched) << c.why;
        EXPECT_EQ(feedback.status[3], c.fetched ? "" : "1 message left on pop.example") << c.why;
        EXPECT_EQ(r.newMail, c.fetched) << c.why;
    }
}

// Only a deleted mark (a capital D) is taken from a fetched message's Status before the
// filters run; the letters another program wrote stay, and a lower-case d deletes nothing.
// Fetched mail is new: the filters get it unread, so what they file elsewhere stays unread.
TEST_F(CheckMail, FiltersSeeTheStatusLettersOfOtherPrograms) {
    Accounts(Account("Home", "jo"));
    pop.boxes["jo@pop.example"] = {{"1", Message("read", "Status: Read\r\n")},
                                   {"2", Message("marked", "Status: RD\r\n")},
                                   {"3", Message("plain")},
                                   {"4", Message("seen", "Status: UO\r\n")}};
    EXPECT_EQ(Check().stored, 4);
    EXPECT_EQ(filters.statuses, (std::vector<std::string>{"URead", "UR", "U", "UO"}));
}

TEST_F(CheckMail, FiltersMayDiscardAndMayFail) {
    Accounts(Account("Home", "jo"));
    pop.boxes["jo@pop.example"] = {{"1", Message("spam offer", "Status: RD\r\n")},
                                   {"2", Message("boom")},
                                   {"3", Message("ok")}};
    const TCheckResult r = Check();
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.filtered, 1);  // new mail too, though it never reached In
    ASSERT_EQ(Stored(), 2);
    EXPECT_EQ(HeaderValue("Subject:", StoredMessage(1)), "boom");  // a failing filter keeps it
    EXPECT_EQ(HeaderValue("Status:", StoredMessage(1)), "U");
    EXPECT_EQ(pop.removed.size(), 3u);  // the discarded one is gone from the server too
    EXPECT_NE(std::find(feedback.log.begin(), feedback.log.end(),
                        "2 Incoming filter failed: script error"),
              feedback.log.end());
}

TEST_F(CheckMail, FailuresEndOnlyTheirAccount) {
    // "Ask" has no password and the prompt is cancelled; "Bad" cannot save (In is a folder);
    // "Nowhere" has no server, so no password is asked for it.
    Accounts("[Ask]\r\nPOPServer=pop.example\r\nPOPUser=ask\r\n" + Account("Bad", "bad") +
             Account("Good", "good") + "[Nowhere]\r\nPOPServer=\r\nPOPUser=no\r\n");
    pop.boxes["bad@pop.example"] = {{"b1", Message("kept")}, {"b2", Message("kept too")}};
    pop.boxes["good@pop.example"] = {{"g1", Message("fine")}};
    fs::create_directory(dir / "Mail" / "in.mbx");
    TCheckResult r = Check();
    EXPECT_EQ(feedback.asked, (Lines{"Ask, ask@pop.example|Enter your POP password:"}));
    EXPECT_EQ(r.failed, 4);  // Good fails to store as well
    EXPECT_EQ(r.stored, 0);
    EXPECT_NE(
        std::find(feedback.log.begin(), feedback.log.end(), "2 No POP server is set for Nowhere."),
        feedback.log.end());
    EXPECT_TRUE(pop.removed.empty());  // nothing deleted that was not stored
    EXPECT_EQ(pop.boxes["bad@pop.example"].size(), 2u);
    EXPECT_NE(std::find(feedback.log.begin(), feedback.log.end(),
                        "2 Error occured while connected to pop.example POP server for "
                        "Bad<br>\r\nCannot save message/attachment"),
              feedback.log.end());

    fs::remove(dir / "Mail" / "in.mbx");
    feedback.typed = "typed";
    pop.failConnect = true;
    r = Check();
    EXPECT_EQ(pop.logins.back(), "good@pop.example:pw");
    EXPECT_EQ(pop.logins[pop.logins.size() - 3], "ask@pop.example:typed");
    EXPECT_EQ(r.failed, 4);
    EXPECT_EQ(feedback.status[0], "Could not connect to the POP server");
    EXPECT_NE(std::find(feedback.log.begin(), feedback.log.end(),
                        "2 Cannot connect to pop.example POP server for Good<br>\r\n"
                        "[10061] Connection refused"),
              feedback.log.end());
    // The log is HTML: a server's words in angle brackets stay words.
    pop.connectError = "-ERR <good@pop.example> is locked";
    Check();
    EXPECT_NE(std::find(feedback.log.begin(), feedback.log.end(),
                        "2 Cannot connect to pop.example POP server for Good<br>\r\n"
                        "-ERR &lt;good@pop.example&gt; is locked"),
              feedback.log.end());
}

TEST_F(CheckMail, InShownInTheMainWindowGetsIndexEntries) {
    Accounts(Account("Home", "jo"));
    test::WriteFile(dir / "Mail" / "in.mbx",
                    "From ???@??? 01/01/2026\r\nSubject: old\r\n\r\nx\r\n");
    TFrmIndex in;
    in.Folder = dir / "Mail";
    in.MailboxName = "In";
    feedback.inWindow = &in;
    pop.boxes["jo@pop.example"] = {{"1", Message("first")}, {"2", Message("second")}};
    Check();
    ASSERT_EQ(in.ItemCount(), 2);
    EXPECT_EQ(in.Item(0).Subject, "first");
    EXPECT_EQ(in.Item(0).Number, 2);  // after the message already in the file
    EXPECT_EQ(in.Item(1).Number, 3);
    EXPECT_EQ(in.MessageCounter, 4);
    EXPECT_TRUE(in.Saved);  // the index file was written after the account
    EXPECT_TRUE(fs::exists(dir / "Mail" / "in.idx"));
    const Lines second = StoredMessage(3);
    // The separator names the sender instead of "???@???".
    EXPECT_TRUE(second[0].starts_with("From ")) << second[0];
    EXPECT_NE(second[0].find("ann@example.org"), std::string::npos) << second[0];
    EXPECT_EQ(HeaderValue("Subject:", second), "second");
}

TEST_F(CheckMail, NoAccountsOrNoneMarked) {
    Check();
    Accounts(Account("Off", "off", "CheckMail=0\r\n"));
    Check();
    EXPECT_EQ(feedback.tips, (Lines{"No accounts have been setup",
                                    "No account marked to check - press F3 to change"}));
    EXPECT_EQ(pop.connects, 0);
    EXPECT_EQ(feedback.busy, (std::vector<bool>{true, false, true, false}));
}

// A large message with a large attachment, fetched from a POP3 server, is stored with memory
// far below its size: it waits in a spool file and its attachment is decoded from there into
// its file, byte for byte.
TEST(CheckMailMemory, ALargeMessageIsStoredInMemoryFarBelowItsSize) {
    std::string binary(18 << 20, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) >> 3);
    const std::string message =
        "From: ann@example.org\r\nSubject: archive\r\nMessage-ID: <big@example.org>\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nThe archive.\r\n"
        "--b\r\nContent-Type: application/octet-stream; name=\"archive.bin\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        EncodeBase64Lines(binary) + "--b--\r\n";
    const std::string size = std::to_string(message.size());
    const std::string top = "+OK\r\n" + message.substr(0, message.find("\r\n\r\n") + 4) + ".\r\n";
    test::ScriptServer server(
        {test::S("+OK ready"), test::C("USER u"), test::S("+OK"), test::C("PASS pw"),
         test::S("+OK"), test::C("STAT"), test::S("+OK 1 " + size), test::C("CAPA"),
         test::S("-ERR"), test::C("UIDL"), test::S("-ERR"), test::C("LIST 1"),
         test::S("+OK 1 " + size), test::C("TOP 1 1"), test::Raw(top), test::C("UIDL 1"),
         test::S("-ERR"), test::C("LIST 1"), test::S("+OK 1 " + size), test::C("TOP 1 1"),
         test::Raw(top), test::C("LIST 1"), test::S("+OK 1 " + size), test::C("RETR 1"),
         test::Raw("+OK\r\n" + message + ".\r\n"), test::C("QUIT"), test::S("+OK")});
    test::TempDir dir;
    fs::create_directories(dir / "Mail");
    fs::create_directories(dir / "Attach");
    test::WriteFile(dir / "accounts.ini", "[Home]\r\nPOPServer=" + server.Address() +
                                              "\r\nPOPUser=u\r\nPOPPass=" +
                                              Scramble("pw", kAccountPasswordKey) +
                                              "\r\nLeaveMail=1\r\n");
    const int status = test::InChild([&] {
        test::PumpPlatform platform;
        TPop3Mailbox pop(platform);
        ScriptedFilters filters;
        RecordingFeedback feedback;
        TCheckResult result;
        [[maybe_unused]] const long growth = test::PeakGrowthKb([&] {
            TCheckMail run({dir / "accounts.ini", dir / "Mail", dir / "Attach", dir.path(),
                            dir / "lmos.dat"},
                           pop, filters, feedback);
            result = run.Run();
        });
        if (result.stored != 1) return 1;
#ifndef __SANITIZE_ADDRESS__
        // (The address sanitizer's quarantine holds freed memory: the peak says nothing.)
        if (growth >= 12 * 1024) {
            std::fprintf(stderr, "%ld KB at the peak\n", growth);
            return 4;
        }
#endif
        return 0;
    });
    EXPECT_EQ(status, 0) << "1: not stored, 4: too much memory";
    EXPECT_EQ(server.Received(), server.Expected());
    EXPECT_EQ(FindLastIndex(FindFileNoCase(dir / "Mail", "in.mbx")), 1);
    EXPECT_TRUE(test::ReadFile(dir / "Attach" / "archive.bin") == binary);
}

}  // namespace
}  // namespace kivo
