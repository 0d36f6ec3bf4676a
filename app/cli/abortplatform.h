#pragma once
// The terminal platform for the mail runs, with Ctrl-C as their Stop button: every network
// wait runs the event pump, and there, while an abort is requested, `onAbort` runs. It runs on
// every pump until the request is cleared; a handler that must act only once keeps a flag.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/platform.h"

namespace kivo::cli {

class AbortingPlatform : public Platform {
  public:
    AbortingPlatform(Platform& terminal, std::function<void()> onAbort)
        : terminal_(terminal), onAbort_(std::move(onAbort)) {}

    void Pump() override {
        terminal_.Pump();
        if (terminal_.AbortRequested() && onAbort_) onAbort_();
    }
    bool AbortRequested() const override { return terminal_.AbortRequested(); }
    void ClearAbortRequest() override { terminal_.ClearAbortRequest(); }
    void ShowTip(std::string_view text) override { terminal_.ShowTip(text); }
    void ShowMessage(std::string_view text) override { terminal_.ShowMessage(text); }
    bool AskYesNo(std::string_view question) override { return terminal_.AskYesNo(question); }
    bool InputText(std::string_view caption, std::string_view prompt, std::string& value) override {
        return terminal_.InputText(caption, prompt, value);
    }
    bool InputPassword(std::string_view caption, std::string_view prompt,
                       std::string& value) override {
        return terminal_.InputPassword(caption, prompt, value);
    }
    void PlaySound(std::string_view file) override { terminal_.PlaySound(file); }
    bool ShellOpen(std::string_view target) override { return terminal_.ShellOpen(target); }
    int RunAndWait(const std::vector<std::string>& argv) override {
        return terminal_.RunAndWait(argv);
    }

  private:
    Platform& terminal_;
    std::function<void()> onAbort_;
};

}  // namespace kivo::cli
