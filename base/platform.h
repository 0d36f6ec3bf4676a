#pragma once
// The platform interface: everything the core needs from a desktop that it must not reach
// directly. The windows implement it with Qt; headless commands and tests use
// HeadlessPlatform or a recording fake. Components borrow a Platform& from their owner.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Platform {
public:
    virtual ~Platform() = default;

    // Lets pending user-interface events run. Cheap to call; callers in tight loops still
    // throttle themselves by time (PumpThrottle).
    virtual void Pump() = 0;
    // Lets the windows repaint and timers run while the user's clicks and keys wait until the
    // running work is done: for work that holds mailbox locks and changes what the windows
    // show, which a click in between must not reach.
    virtual void PumpScreen() { Pump(); }
    // True once the user asked to abort (Esc in the windows, Ctrl-C headless).
    virtual bool AbortRequested() const = 0;
    virtual void ClearAbortRequest() = 0;

    // A confirmation tip: a short notice that goes away by itself.
    virtual void ShowTip(std::string_view text) = 0;
    // An error or information box.
    virtual void ShowMessage(std::string_view text) = 0;
    // A yes/no question; true for yes.
    virtual bool AskYesNo(std::string_view question) = 0;
    // A text prompt; false when the user cancelled.
    virtual bool InputText(std::string_view caption, std::string_view prompt,
                           std::string& value) = 0;
    virtual bool InputPassword(std::string_view caption, std::string_view prompt,
                               std::string& value) = 0;

    // Plays a sound file; an empty name plays the built-in sound.
    virtual void PlaySound(std::string_view file) = 0;
    // Opens a file, folder or URL with the desktop's handler (detached).
    virtual bool ShellOpen(std::string_view target) = 0;
    // Runs a program and waits for its end; returns its exit status or -1.
    virtual int RunAndWait(const std::vector<std::string>& argv) = 0;
};

// Runs Platform::Pump at most once per interval, for loops that would call it per byte.
class PumpThrottle {
public:
    explicit PumpThrottle(Platform& platform,
                          std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    void Tick();

private:
    Platform& platform_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point last_;
};

// The terminal implementation: no event loop, Ctrl-C (SIGINT) requests an abort, questions
// and prompts go to the controlling terminal and fail when there is none.
class HeadlessPlatform : public Platform {
public:
    HeadlessPlatform();
    void Pump() override;
    bool AbortRequested() const override;
    void ClearAbortRequest() override;
    void ShowTip(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view question) override;
    bool InputText(std::string_view caption, std::string_view prompt, std::string& value) override;
    bool InputPassword(std::string_view caption, std::string_view prompt,
                       std::string& value) override;
    void PlaySound(std::string_view file) override;
    bool ShellOpen(std::string_view target) override;
    int RunAndWait(const std::vector<std::string>& argv) override;
};

}  // namespace kivo
