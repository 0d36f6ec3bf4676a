// The commands that take messages out of a mailbox, killed at each of their system calls
// that change a file in turn (strace's fault injection): after the next command every message
// is exactly once in its mailbox or in its new place, whole, and every deleted list numbers
// the file beside it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "base/bytes.h"
#include "base/files.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::TempDir;
using test::WriteFile;

std::string Msg(int k) {
    const std::string name = "m" + std::to_string(k);
    return "From sender@example.com 01/02/2024 10:00:00\r\nSubject: " + name +
           "\r\nMessage-ID: <" + name + "@example.com>\r\nStatus: U\r\n\r\nbody of " + name +
           "\r\nend of " + name + "\r\n";
}

std::string Msgs(int from, int to) {
    std::string text;
    for (int k = from; k <= to; ++k) text += Msg(k);
    return text;
}

// One call of a kind: the `occurrence`-th call of `name` (strace counts each kind apart).
struct CallAt {
    std::string name;
    int occurrence = 0;
};

bool StraceCanInject() {
    const ProcessResult r = test::RunProgram(
        {"strace", "-qq", "-o", "/dev/null", "-e", "inject=getppid:retval=42", "true"});
    return r.status == 0;
}

std::vector<std::string> KivoArgs(const fs::path& home, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {KIVO_BINARY, "--home", home.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

constexpr const char* kCalls =
    "write,fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat,truncate,ftruncate,openat";

// The calls of the command that change a file, in the order it makes them.
std::vector<CallAt> CallsOf(const fs::path& home, const std::vector<std::string>& args,
                            const fs::path& log) {
    std::vector<std::string> argv = {"strace", "-E", test::kNoLeakCheck, "-qq", "-o",
                                     log.string(), "-e", std::string("trace=") + kCalls};
    for (const std::string& a : KivoArgs(home, args)) argv.push_back(a);
    const ProcessResult r = test::RunProgram(argv);
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, int> seen;
    std::vector<CallAt> calls;
    for (const std::string& line : SplitLines(test::ReadFile(log))) {
        const std::size_t paren = line.find('(');
        if (paren == std::string::npos || line.starts_with("---") || line.starts_with("+++")) {
            continue;
        }
        const std::string name = line.substr(0, paren);
        const int occurrence = ++seen[name];
        // Opening a file changes nothing unless it creates it.
        if (name == "openat" && line.find("O_CREAT") == std::string::npos) continue;
        calls.push_back({name, occurrence});
    }
    return calls;
}

void KillAt(const fs::path& home, const std::vector<std::string>& args, const CallAt& call) {
    std::vector<std::string> argv = {
        "strace", "-E", test::kNoLeakCheck, "-qq", "-o", "/dev/null", "-e",
        "trace=" + call.name, "-e",
        "inject=" + call.name + ":error=EIO:signal=KILL:when=" + std::to_string(call.occurrence)};
    for (const std::string& a : KivoArgs(home, args)) argv.push_back(a);
    test::RunProgram(argv);
}

// Subject -> how many times `kivo ls` lists it over the mailboxes.
std::map<std::string, int> Listed(const fs::path& home, const std::vector<std::string>& boxes) {
    std::map<std::string, int> count;
    for (const std::string& box : boxes) {
        const ProcessResult r = test::RunKivoIn(home, {"ls", box});
        for (const std::string& line : SplitLines(r.out)) {
            std::vector<std::string> f;
            for (std::size_t at = 0;;) {
                const std::size_t tab = line.find('\t', at);
                f.push_back(line.substr(at, tab - at));
                if (tab == std::string::npos) break;
                at = tab + 1;
            }
            if (f.size() > 6) ++count[f[6]];
        }
    }
    return count;
}

// Problems with the files left: a message not whole, a file a finished command never
// leaves, a deleted list that numbers past the end of its file.
std::vector<std::string> Leftovers(const fs::path& mail) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(mail)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".mbx")) {
            const std::string text = test::ReadFile(entry.path());
            std::size_t at = 0;
            while ((at = text.find("Subject: ", at)) != std::string::npos) {
                const std::string subject = text.substr(at + 9, text.find('\r', at) - at - 9);
                const bool ours = subject.size() > 1 && subject[0] == 'm' &&
                                  subject.find_first_not_of("0123456789", 1) == std::string::npos;
                if (ours && text.find("end of " + subject + "\r\n", at) == std::string::npos) {
                    found.push_back(name + ": " + subject + " is cut short");
                }
                ++at;
            }
        } else if (name.ends_with(".d")) {
            const fs::path mbx = FindFileNoCase(mail, name.substr(0, name.size() - 2) + ".mbx");
            int messages = 0;
            const std::string text = fs::exists(mbx) ? test::ReadFile(mbx) : "";
            for (std::size_t at = 0; (at = text.find("From ", at)) != std::string::npos; ++at) {
                if (at == 0 || text[at - 1] == '\n') ++messages;
            }
            for (const std::string& line : SplitLines(test::ListedNumbers(entry.path()))) {
                int n = 0;
                if (ParseInt(line, n) && n > messages && fs::exists(mbx)) {
                    found.push_back(name + " names message " + line);
                }
            }
        } else if (name != "kivo.ini" && !name.ends_with(".idx")) {
            found.push_back(name + " left behind");
        }
    }
    return found;
}

struct Trial {
    const char* what;
    std::vector<std::string> args;
    std::vector<std::string> next;  // the command after the kill
};

class StoreCrashPoints : public ::testing::TestWithParam<Trial> {};

TEST_P(StoreCrashPoints, AKillAtAnyCallLeavesEachMessageOnceAndNoStaleList) {
    if (!StraceCanInject()) GTEST_SKIP() << "strace cannot inject faults here (no ptrace)";
    constexpr int kCount = 6;
    {
        const Trial& trial = GetParam();
        TempDir dir;
        const fs::path home = dir / "home";
        ASSERT_EQ(test::RunKivoIn(home, {"init"}).status, 0);
        const fs::path mail = home / "Mail";
        WriteFile(mail / "X.mbx", Msgs(1, kCount));
        WriteFile(mail / "B.mbx", "");
        // Trash holds deleted messages with a list of its own, as it does after use.
        WriteFile(mail / "trash.mbx", Msgs(101, 103));
        ASSERT_EQ(test::RunKivoIn(home, {"delete", "Trash", "2"}).status, 0);
        ASSERT_EQ(test::RunKivoIn(home, {"delete", "X", "6"}).status, 0);
        // Each trial starts from copies of these files (the lists' stamps name the files by
        // their identity, so they are copied back into the same files).
        std::map<std::string, std::string> start;
        for (const auto& entry : fs::directory_iterator(mail)) {
            start[entry.path().filename().string()] = test::ReadFile(entry.path());
        }
        auto setUp = [&] {
            for (const auto& entry : fs::directory_iterator(mail)) {
                if (!start.contains(entry.path().filename().string())) fs::remove(entry.path());
            }
            for (const auto& [name, text] : start) {
                // Written in place: the same file, unless a kill removed it.
                const int fd = ::open((mail / name).c_str(), O_WRONLY | O_CREAT, 0644);
                ASSERT_EQ(::ftruncate(fd, 0), 0);
                ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
                ::close(fd);
            }
        };
        const std::vector<CallAt> calls = CallsOf(home, trial.args, dir / "calls.log");
        ASSERT_GT(calls.size(), 3u);
        for (std::size_t k = 0; k < calls.size(); ++k) {
            SCOPED_TRACE("killed at " + calls[k].name + " #" + std::to_string(calls[k].occurrence));
            setUp();
            KillAt(home, trial.args, calls[k]);
            test::RunKivoIn(home, trial.next);
            // A message put into Trash now is listed: no list left behind claims its number.
            WriteFile(mail / "new.mbx", Msg(200));
            test::RunKivoIn(home, {"move", "new", "1", "--to", "Trash"});
            // A message of X is in X or where the command sends it, once (m6 went to Trash
            // in the set-up); Trash keeps its own live messages unless it was emptied, when
            // a kill may bring back its deleted one, m102, until it is emptied again.
            const bool emptying = std::string(trial.what) == "empty-trash";
            std::map<std::string, int> listed = Listed(home, {"X", "B", "Trash"});
            for (int m = 1; m <= kCount; ++m) {
                const std::string name = "m" + std::to_string(m);
                if (m == 6 && emptying) {
                    EXPECT_LE(listed[name], 1) << name;
                } else {
                    EXPECT_EQ(listed[name], 1) << name;
                }
            }
            if (!emptying) {
                EXPECT_EQ(listed["m101"], 1);
                EXPECT_EQ(listed["m102"], 0) << "a deleted message of Trash came back";
            }
            EXPECT_EQ(listed["m200"], 1);
            EXPECT_EQ(Leftovers(mail), std::vector<std::string>{});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StoreCrashPoints,
    ::testing::Values(Trial{"delete", {"delete", "X", "2", "3", "5"}, {"ls", "Trash"}},
                      Trial{"move", {"move", "X", "1", "4", "--to", "B"}, {"ls", "B"}},
                      Trial{"mailbox delete", {"mailbox", "delete", "X", "--yes"}, {"ls", "Trash"}},
                      Trial{"empty-trash", {"empty-trash"}, {"ls", "Trash"}}),
    [](const ::testing::TestParamInfo<Trial>& info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

}  // namespace
}  // namespace kivo
