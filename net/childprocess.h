#pragma once
// Runs a helper program (the network manager's command-line tool) and collects its output
// while the caller's wait keeps running the event pump, so a dial that takes a minute does not
// freeze the windows. The process is killed when the object goes away still running.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kivo {

class TChildProcess {
  public:
    TChildProcess() = default;
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts argv[0] found on PATH; false when it cannot be started.
    bool Start(const std::vector<std::string>& argv);
    // Waits up to `ms` milliseconds for output or the end; true once the process has ended.
    bool Poll(int ms);
    void Kill();
    int ExitStatus() const { return status_; }             // -1 unless it exited normally
    const std::string& Output() const { return output_; }  // standard output and error

    // True when `program` is an executable file on PATH.
    static bool OnPath(const std::string& program);

  private:
    void Reap(bool wait);

    pid_t pid_ = -1;
    int fd_ = -1;
    int status_ = -1;
    std::string output_;
};

}  // namespace kivo
