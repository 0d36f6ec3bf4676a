#pragma once
// A script run in a temporary program folder with a recording platform: runs script text
// and reads variables back.

#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
#include "script/interpreter.h"
#include "script/scripthost.h"
#include "tests/support/testutil.h"

namespace kivo::test {

// Records what a run shows; Pump can request the abort after a number of calls.
class ScriptPlatform : public Platform {
  public:
    int pumps = 0;
    int abortAfterPumps = -1;  // never
    bool abort = false;
    bool inputOk = true;
    bool answerYes = true;
    std::vector<std::string> questions;
    std::string inputAnswer;
    std::vector<std::string> messages;
    std::vector<std::string> opened;
    std::vector<std::string> sounds;

    void Pump() override {
        ++pumps;
        if (abortAfterPumps >= 0 && pumps >= abortAfterPumps) abort = true;
    }
    bool AbortRequested() const override { return abort; }
    void ClearAbortRequest() override { abort = false; }
    void ShowTip(std::string_view text) override { messages.emplace_back(text); }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return answerYes;
    }
    bool InputText(std::string_view, std::string_view, std::string& value) override {
        if (inputOk) value = inputAnswer;
        return inputOk;
    }
    bool InputPassword(std::string_view, std::string_view, std::string&) override { return false; }
    void PlaySound(std::string_view file) override { sounds.emplace_back(file); }
    bool ShellOpen(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
    int RunAndWait(const std::vector<std::string>&) override { return -1; }
};

class ScriptFixture {
  public:
    ScriptFixture();
    ScriptFixture(const ScriptFixture&) = delete;
    ScriptFixture& operator=(const ScriptFixture&) = delete;

    // Runs the text (lines split at LF) as a dry run; returns ParseScript's result.
    bool Run(const std::string& text);
    // Runs the text with "%message" holding `message` and returns "%message" afterwards
    // (other message variables are gone after a run).
    TmsMessage RunOn(const std::string& text, const TmsMessage& message = {});
    // The variable's value; "<none>" when it does not exist.
    std::string Var(const std::string& name) const;
    // Runs and returns the error text ("" when none).
    std::string Error(const std::string& text);

    TempDir dir;
    std::filesystem::path root;
    TScriptPaths paths;
    ScriptPlatform platform;
    TScriptHost host;
    TScriptInterpreter script;
};

}  // namespace kivo::test
