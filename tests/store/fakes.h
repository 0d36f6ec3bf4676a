#pragma once
// Recording stand-ins for the main window and the platform, for the store tests.

#include <string>
#include <vector>

#include "base/platform.h"
#include "store/KivoIndex.h"
#include "store/mailboxhost.h"

namespace kivo::test {

// Records tips, boxes and questions; answers questions with `answer`.
class RecordingPlatform : public Platform {
  public:
    std::vector<std::string> tips, messages, questions;
    bool answer = true;

    void Pump() override {}
    bool AbortRequested() const override { return abort; }
    void ClearAbortRequest() override { abort = false; }
    void ShowTip(std::string_view text) override { tips.emplace_back(text); }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return answer;
    }
    bool InputText(std::string_view, std::string_view, std::string&) override { return false; }
    bool InputPassword(std::string_view, std::string_view, std::string&) override { return false; }
    void PlaySound(std::string_view) override {}
    bool ShellOpen(std::string_view) override { return false; }
    int RunAndWait(const std::vector<std::string>&) override { return -1; }

    bool abort = false;
};

// A main window that only counts what it is asked to do.
class FakeHost : public TMailboxHost {
  public:
    TFrmIndex index;
    int saves = 0, inits = 0;
    TFrmIndex& MainIndex() override { return index; }
    void SaveInfo() override { ++saves; }
    void Init() override { ++inits; }
};

}  // namespace kivo::test
