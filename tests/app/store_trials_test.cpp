// The mailbox commands as real processes under stress: several at once on one mailbox, killed
// at random moments, and on a disk that is full. After each trial every message is whole and
// in exactly one place (or, after a kill between a copy and its deletion, in both), and the
// numbers `ls` prints name the messages `show` shows.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "base/bytes.h"
#include "base/files.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int kBodyLines = 12;

// A message whose every part can be checked: its subject names it and each body line and the
// last line say whose they are.
std::string Msg(int k) {
    const std::string name = "m" + std::to_string(k);
    std::string text =
        "From sender@example.com 01/02/2024 10:00:00\r\nSubject: " + name + "\r\nStatus: U\r\n\r\n";
    for (int i = 0; i < kBodyLines; ++i) {
        text += "line " + std::to_string(i) + " of " + name + " " + std::string(80, 'x') + "\r\n";
    }
    return text + "end of " + name + "\r\n";
}

std::string Msgs(int from, int to) {
    std::string text;
    for (int k = from; k <= to; ++k) text += Msg(k);
    return text;
}

// The messages a mailbox shows (those of its file not on its deleted list), by subject, and
// the subjects of messages that are not whole.
struct Tally {
    std::map<std::string, int> count;
    std::vector<std::string> broken;

    void Add(const fs::path& mbx) {
        std::set<int> deleted;
        const fs::path del = fs::path(mbx).replace_extension(".d");
        for (const std::string& line : SplitLines(test::ReadFile(del))) {
            int n = 0;
            if (ParseInt(Trim(line), n)) deleted.insert(n);
        }
        std::string text = fs::exists(mbx) ? ReadFile(mbx) : "";
        std::vector<std::string> messages;
        std::size_t at = text.starts_with("From ") ? 0 : text.find("\nFrom ");
        while (at != std::string::npos) {
            if (text[at] == '\n') ++at;
            const std::size_t next = text.find("\nFrom ", at);
            messages.push_back(text.substr(at, next == std::string::npos ? next : next + 1 - at));
            at = next;
        }
        for (std::size_t i = 0; i < messages.size(); ++i) {
            if (deleted.contains(static_cast<int>(i + 1))) continue;
            const std::string& m = messages[i];
            const std::size_t s = m.find("\nSubject: ");
            const std::string subject =
                s == std::string::npos ? "?" : m.substr(s + 10, m.find('\r', s) - s - 10);
            ++count[subject];
            bool whole = m.ends_with("end of " + subject + "\r\n");
            for (int line = 0; whole && line < kBodyLines; ++line) {
                whole = m.find("line " + std::to_string(line) + " of " + subject + " ") !=
                        std::string::npos;
            }
            if (!whole) broken.push_back(subject);
        }
    }
};

// Files a killed or failed command must not leave behind.
std::vector<std::string> StrayFiles(const fs::path& dir) {
    std::vector<std::string> stray;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".tmp") || name.ends_with(".append") || name.ends_with(".compressing") ||
            name.find(".tmp") != std::string::npos) {
            stray.push_back(name);
        }
    }
    return stray;
}

struct Home {
    fs::path root;
    explicit Home(const fs::path& dir) : root(dir) {
        const ProcessResult r = Kivo({"init"});
        EXPECT_EQ(r.status, 0) << r.err;
    }
    ProcessResult Kivo(std::vector<std::string> args) const {
        return test::RunKivoIn(root, std::move(args));
    }
    // A file of the mail folder, whatever the letter case it was created with.
    fs::path Mail(std::string_view name) const { return FindFileNoCase(root / "Mail", name); }
    // The numbers `ls` lists.
    std::vector<std::string> Listed(const std::string& mailbox) const {
        std::vector<std::string> numbers;
        for (const std::string& line : SplitLines(Kivo({"ls", mailbox}).out)) {
            numbers.push_back(line.substr(0, line.find('\t')));
        }
        return numbers;
    }
};

// Starts kivo on the home and kills it after `delay`.
void RunAndKill(const Home& home, std::vector<std::string> args, std::chrono::microseconds delay) {
    args.insert(args.begin(), {KIVO_BINARY, "--home", home.root.string()});
    test::RunAndKill(args, delay);
}

// 1..count without the numbers of the set-ups' deleted list (2 and 5).
std::vector<std::string> LiveNumbers(int count) {
    std::vector<std::string> numbers;
    for (int n = 1; n <= count; ++n) {
        if (n != 2 && n != 5) numbers.push_back(std::to_string(n));
    }
    return numbers;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(StoreTrials, CommandsAtOnceNeverLoseDuplicateOrRenumberAMessage) {
    TempDir dir;
    Home home(dir.path());
    WriteFile(home.Mail("X.mbx"), Msgs(1, 20));
    WriteFile(home.Mail("B.mbx"), Msgs(21, 40));
    WriteFile(home.Mail("C.mbx"), "");

    // Each worker picks a number `ls` just listed; by the time its command runs another may
    // have renumbered the mailbox, which the command must notice rather than act on.
    std::vector<std::string> failures;
    std::mutex failuresLock;
    auto worker = [&](unsigned seed, auto step) {
        std::mt19937 random(seed);
        for (int round = 0; round < 20; ++round) {
            const ProcessResult r = step(random);
            if (r.status == 0) continue;
            const std::vector<std::string> lines = SplitLines(r.err);
            std::lock_guard<std::mutex> hold(failuresLock);
            if (r.status != 1 || lines.size() != 1) failures.push_back(r.err);
        }
    };
    auto pick = [&](const std::string& mailbox, std::mt19937& random) {
        std::vector<std::string> listed = home.Listed(mailbox);
        if (listed.empty()) return std::string("1");
        return listed[random() % listed.size()];
    };
    std::vector<std::thread> workers;
    workers.emplace_back(worker, 1, [&](std::mt19937& r) {
        return home.Kivo({"delete", "B", pick("B", r)});
    });
    workers.emplace_back(worker, 2, [&](std::mt19937& r) {
        return home.Kivo({"move", "X", pick("X", r), "--to", "B"});
    });
    workers.emplace_back(worker, 3, [&](std::mt19937& r) {
        return home.Kivo({"copy", "B", pick("B", r), "--to", "C"});
    });
    workers.emplace_back(worker, 4, [&](std::mt19937&) { return home.Kivo({"compress", "B"}); });
    workers.emplace_back(worker, 5, [&](std::mt19937&) {
        return home.Kivo({"find", "end of m3", "--into", "Found"});
    });
    for (std::thread& t : workers) t.join();
    for (const std::string& f : failures) ADD_FAILURE() << "not one line on failure: " << f;

    Tally tally;
    for (const char* name : {"X.mbx", "B.mbx", "trash.mbx"}) tally.Add(home.Mail(name));
    EXPECT_TRUE(tally.broken.empty());
    for (int k = 1; k <= 40; ++k) {
        EXPECT_EQ(tally.count["m" + std::to_string(k)], 1) << "m" << k;
    }
    Tally copies;
    for (const char* name : {"C.mbx", "Found.mbx"}) copies.Add(home.Mail(name));
    EXPECT_TRUE(copies.broken.empty());

    // What ls lists as number N is what show N shows.
    const ProcessResult ls = home.Kivo({"ls", "B"});
    for (const std::string& line : SplitLines(ls.out)) {
        const std::vector<std::string> f = [&] {
            std::vector<std::string> fields;
            for (std::size_t at = 0;;) {
                const std::size_t tab = line.find('\t', at);
                fields.push_back(line.substr(at, tab - at));
                if (tab == std::string::npos) return fields;
                at = tab + 1;
            }
        }();
        const ProcessResult show = home.Kivo({"show", "B", f[0]});
        EXPECT_NE(show.out.find("Subject: " + f[6] + "\n"), std::string::npos) << line;
    }
    EXPECT_TRUE(StrayFiles(home.root / "Mail").empty());
}

TEST(StoreTrials, AKilledCommandNeverLeavesHalfAMessageOrLosesOne) {
    constexpr int kCount = 60;
    struct Command {
        std::vector<std::string> args;
        bool mayDuplicate;  // copies then deletes: a kill in between leaves both
    };
    const Command commands[] = {
        {Concat({"move", "X"}, Concat(LiveNumbers(kCount), {"--to", "B"})), true},
        {Concat({"delete", "X"}, LiveNumbers(kCount)), true},
        {Concat({"copy", "X"}, Concat(LiveNumbers(kCount), {"--to", "B"})), true},
        {{"find", "end of m", "--into", "B"}, true},
        {{"compress", "X"}, false},
    };
    std::mt19937 random(7);
    for (const Command& command : commands) {
        SCOPED_TRACE(command.args[0]);
        // How long the command runs here, to kill it anywhere from its start to its end.
        auto setUp = [&](const Home& home) {
            WriteFile(home.Mail("X.mbx"), Msgs(1, kCount));
            WriteFile(home.Mail("X.d"), "2\r\n5\r\n");
            WriteFile(home.Mail("B.mbx"), "");
            fs::remove(home.Mail("trash.mbx"));
            fs::remove(home.Mail("B.d"));
            fs::remove(home.Mail("X.idx"));
        };
        TempDir timing;
        Home timed(timing.path());
        setUp(timed);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(timed.Kivo(command.args).status, 0);
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);

        TempDir dir;
        Home home(dir.path());
        for (int trial = 0; trial < 10; ++trial) {
            setUp(home);
            const std::chrono::microseconds delay(random() % (took.count() + 1));
            RunAndKill(home, command.args, delay);
            // The next access of each mailbox sets right what the kill left.
            for (const char* name : {"In", "X", "B", "Trash"}) home.Kivo({"ls", name});

            Tally kept;
            for (const char* name : {"X.mbx", "B.mbx", "trash.mbx"}) kept.Add(home.Mail(name));
            EXPECT_TRUE(kept.broken.empty()) << "after " << delay.count() << " us";
            for (int k = 1; k <= kCount; ++k) {
                const int n = kept.count["m" + std::to_string(k)];
                const bool deleted = k == 2 || k == 5;
                if (deleted && command.args[0] != "compress") continue;
                EXPECT_GE(n, deleted ? 0 : 1) << "m" << k << " lost after " << delay.count();
                if (!command.mayDuplicate) {
                    EXPECT_LE(n, 1) << "m" << k;
                }
            }
            EXPECT_EQ(StrayFiles(home.root / "Mail"), std::vector<std::string>{});
        }
    }
}

// A small file system of its own, filled to a chosen level; skipped where mounting is not
// allowed.
class SmallDisk {
  public:
    explicit SmallDisk(const fs::path& at) : at_(at) {
        fs::create_directories(at);
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=4m") == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    // Leaves about `free` bytes free.
    void Fill(std::uint64_t free) {
        const fs::path filler = at_ / "filler";
        fs::remove(filler);
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string block(65536, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        const std::string small(512, 'f');
        while (::write(fd, small.data(), small.size()) > 0) {
        }
        const off_t size = ::lseek(fd, 0, SEEK_END);
        ::ftruncate(fd, size > static_cast<off_t>(free) ? size - static_cast<off_t>(free) : 0);
        ::close(fd);
    }
    void Empty() { fs::remove(at_ / "filler"); }

  private:
    fs::path at_;
    bool mounted_ = false;
};

TEST(StoreTrials, AFullDiskCompletesACommandOrLeavesEverythingAsItWas) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    TempDir dir;
    SmallDisk disk(dir / "disk");
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    Home home(dir / "disk" / "home");
    constexpr int kCount = 30;
    const std::vector<std::string> some = {"1", "4", "7", "10", "30"};
    const std::vector<std::vector<std::string>> commands = {
        Concat({"move", "X"}, Concat(some, {"--to", "B"})),
        Concat({"delete", "X"}, some),
        Concat({"copy", "X"}, Concat(some, {"--to", "B"})),
        {"find", "end of m1", "--into", "F"},
        {"compress", "X"},
    };
    const std::vector<std::string> files = {"X.mbx",     "X.d",     "B.mbx", "B.d",
                                            "trash.mbx", "trash.d", "F.mbx"};
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        bool completed = false;
        for (std::uint64_t free = 0; !completed && free <= 512 * 1024;
             free = free < 4096 ? free + 1024 : free * 3 / 2) {
            SCOPED_TRACE(free);
            disk.Empty();
            WriteFile(home.Mail("X.mbx"), Msgs(1, kCount));
            WriteFile(home.Mail("X.d"), "2\r\n");
            WriteFile(home.Mail("B.mbx"), Msg(100));
            for (const char* gone : {"X.idx", "B.d", "B.idx", "trash.mbx", "trash.d", "F.mbx"}) {
                fs::remove(home.Mail(gone));
            }
            ASSERT_EQ(home.Kivo({"ls", "X"}).status, 0);  // the index exists, as it would
            std::map<std::string, std::string> before;
            for (const std::string& f : files) before[f] = ReadFile(home.Mail(f));
            disk.Fill(free);

            const ProcessResult r = home.Kivo(command);
            disk.Empty();
            if (r.status == 0) {
                completed = true;
                Tally tally;
                for (const char* name : {"X.mbx", "B.mbx", "trash.mbx"}) tally.Add(home.Mail(name));
                EXPECT_TRUE(tally.broken.empty());
                if (command[0] == "move" || command[0] == "delete") {
                    for (int k = 1; k <= kCount; ++k) {
                        EXPECT_EQ(tally.count["m" + std::to_string(k)], k == 2 ? 0 : 1) << k;
                    }
                }
                continue;
            }
            EXPECT_EQ(r.status, 1) << r.err;
            const std::vector<std::string> lines = SplitLines(r.err);
            ASSERT_FALSE(lines.empty());
            const std::string& last = lines.back();
            EXPECT_TRUE(last.starts_with("kivo " + command[0] + ": ")) << r.err;
            EXPECT_NE(last.find("No space left on device"), std::string::npos) << r.err;
            const bool named =
                last.find(" X") != std::string::npos || last.find(" B") != std::string::npos ||
                last.find(" Trash") != std::string::npos || last.find(" F") != std::string::npos;
            EXPECT_TRUE(named) << "no mailbox named: " << r.err;
            EXPECT_EQ(r.err.find('\r'), std::string::npos) << "a bare CR reached the terminal";
            for (const std::string& f : files) {
                EXPECT_EQ(ReadFile(home.Mail(f)), before[f]) << f << " changed; " << r.err;
            }
            EXPECT_EQ(StrayFiles(home.root / "Mail"), std::vector<std::string>{});
        }
        EXPECT_TRUE(completed) << "never completed, even with room";
    }
}

// However full the disk, a command's exit status says whether its change was made: 0 when it
// was (a note may say that only an index could not be saved, which is built again on the
// next access), 1 with one line when nothing changed; a failed Find leaves no results
// mailbox behind. A script that retries on status 1 then never copies or deletes twice.
TEST(StoreTrials, OnAFullDiskTheExitStatusSaysWhetherTheChangeWasMade) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    TempDir dir;
    SmallDisk disk(dir / "disk");
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    Home home(dir / "disk" / "home");
    auto shows = [&](const char* mailbox, const std::string& subject) {
        Tally tally;
        tally.Add(home.Mail(mailbox));
        return tally.count[subject];
    };
    const struct {
        std::vector<std::string> args;
        std::function<bool(const ProcessResult&)> made;
    } commands[] = {
        {{"delete", "X", "4", "7"},
         [&](const ProcessResult&) {
             return shows("X.mbx", "m4") == 0 && shows("trash.mbx", "m7") == 1;
         }},
        {{"move", "X", "4", "7", "--to", "B"},
         [&](const ProcessResult&) {
             return shows("X.mbx", "m7") == 0 && shows("B.mbx", "m4") == 1;
         }},
        {{"copy", "X", "4", "7", "--to", "B"},
         [&](const ProcessResult&) {
             return shows("X.mbx", "m7") == 1 && shows("B.mbx", "m4") == 1;
         }},
        {{"show", "X", "4"},
         [](const ProcessResult& r) { return r.out.find("Subject: m4\n") != std::string::npos; }},
        {{"find", "end of m4", "--into", "F"},
         [&](const ProcessResult&) { return shows("F.mbx", "m4") == 1; }},
        {{"compress", "X"},
         [&](const ProcessResult&) {
             return ReadFile(home.Mail("X.mbx")).find("Subject: m2\r") == std::string::npos;
         }},
    };
    const std::vector<std::string> files = {"X.mbx",     "X.d",     "B.mbx", "B.d",
                                            "trash.mbx", "trash.d", "F.mbx"};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.args[0]);
        bool clean = false;  // made without even a note: there was room for everything
        for (std::uint64_t free = 0; !clean && free <= 256 * 1024; free += 4096) {
            SCOPED_TRACE(free);
            disk.Empty();
            WriteFile(home.Mail("X.mbx"), Msgs(1, 30));
            WriteFile(home.Mail("X.d"), "2\r\n");
            WriteFile(home.Mail("B.mbx"), Msg(100));
            for (const char* gone : {"X.idx", "B.d", "B.idx", "trash.mbx", "trash.d", "F.mbx"}) {
                fs::remove(home.Mail(gone));
            }
            ASSERT_EQ(home.Kivo({"ls", "X"}).status, 0);
            std::map<std::string, std::string> before;
            for (const std::string& f : files) before[f] = ReadFile(home.Mail(f));
            disk.Fill(free);
            const ProcessResult r = home.Kivo(command.args);
            disk.Empty();
            const std::vector<std::string> lines = SplitLines(r.err);
            if (r.status == 0) {
                EXPECT_TRUE(command.made(r)) << "exit 0, but the change is not there";
                for (const std::string& line : lines) {
                    EXPECT_TRUE(line.starts_with("kivo: note: ")) << r.err;
                }
                clean = lines.empty();
                continue;
            }
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_EQ(lines.size(), 1u) << r.err;
            EXPECT_FALSE(command.made(r)) << "exit 1, but the change was made: " << r.err;
            for (const std::string& f : files) {
                EXPECT_EQ(ReadFile(home.Mail(f)), before[f]) << f << " changed; " << r.err;
            }
            EXPECT_FALSE(fs::exists(home.Mail("F.mbx")));
        }
        EXPECT_TRUE(clean) << "never completed, even with room";
    }
}

}  // namespace
}  // namespace kivo
