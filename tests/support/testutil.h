#pragma once
// Helpers shared by the tests: a temporary folder removed at the end of a test, whole-file
// reads and writes, and running the kivo executable as a real process.

#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::test {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / name; }

  private:
    fs::path path_;
};

std::string ReadFile(const fs::path& path);
// An environment variable's value, or empty text when it is not set.
std::string Env(const char* name);
void WriteFile(const fs::path& path, std::string_view data);
// The number lines of a deleted list, without the line that stamps it with its mailbox file.
std::string ListedNumbers(const fs::path& del);
fs::path DataPath(std::string_view name);  // a file of tests/data
// True when the test program was started with --regen: golden files are rewritten, not compared.
bool Regenerating();

struct ProcessResult {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Runs the kivo executable with the arguments, feeding `input` to its standard input.
ProcessResult RunKivo(const std::vector<std::string>& args, std::string_view input = {},
                      const std::vector<std::string>& extraEnv = {});
// RunKivo with "--home HOME" before the arguments.
ProcessResult RunKivoIn(const fs::path& home, std::vector<std::string> args,
                        std::string_view input = {});
// Starts a program (its output discarded, no input) and sends it `signal` (SIGKILL unless
// given) after `delay`; returns once it is gone.
void RunAndKill(const std::vector<std::string>& argv, std::chrono::microseconds delay,
                int signal = 9);

// Runs a program on a terminal of its own, as a user does: `answer` is typed once `prompt`
// shows and the terminal has stopped echoing. The result's `out` is what the terminal showed.
// argv[0] is a path, not looked up on PATH.
ProcessResult RunOnTerminal(std::vector<std::string> argv, std::string_view prompt,
                            std::string_view answer);

// A user of the test's own on the mail server rig ($MAILPEERS_DIR): its maildir and its line in
// the rig's users file, password NAME + "pw", so a test can fetch and delete all its mail
// without touching another's. Returns the user's folder; fails the test without a rig.
fs::path AddRigUser(const std::string& name);

// Runs `body` in a forked child and returns its exit code (-1 when it did not exit). A child
// that ends with _exit leaves things as a killed process would.
int InChild(const std::function<int()>& body);

// How far this process's resident memory rose above where it stood while `work` ran, in
// kilobytes. Freed memory the process still holds is given back first and the peak is
// reset, so neither hides nor inflates what `work` needs. Run it in a child (InChild) so
// the test process's own history does not count.
long PeakGrowthKb(const std::function<void()>& work);

// For a program run under strace (`strace -E kNoLeakCheck ...`): the leak checker of a
// sanitizer build cannot work under ptrace and would fail every traced run.
inline constexpr const char* kNoLeakCheck = "ASAN_OPTIONS=detect_leaks=0";

// Starts kivo with `args`, its standard files set up by `actions`, in this process's
// environment without the variables named in `dropEnv` (a start without a display); returns
// its process id, or -1 when it could not be started. The caller waits for it.
pid_t SpawnKivo(std::vector<std::string> args, const posix_spawn_file_actions_t& actions,
                const std::vector<std::string>& dropEnv);

// Runs any program found on PATH.
ProcessResult RunProgram(const std::vector<std::string>& argv, std::string_view input = {},
                         const std::vector<std::string>& extraEnv = {});

}  // namespace kivo::test
