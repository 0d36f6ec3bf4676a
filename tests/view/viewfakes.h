#pragma once
// Recording stand-ins for the view tests: a platform that records what it opens and a
// message view that records each rendering and answers the attachment question.

#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
#include "view/KivoMsg.h"

namespace kivo::test {

class OpenRecorder : public Platform {
  public:
    std::vector<std::string> opened;
    std::vector<std::string> tips;
    std::vector<std::string> questions;
    bool answer = false;

    void Pump() override {}
    bool AbortRequested() const override { return false; }
    void ClearAbortRequest() override {}
    void ShowTip(std::string_view text) override { tips.emplace_back(text); }
    void ShowMessage(std::string_view) override {}
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return answer;
    }
    bool InputText(std::string_view, std::string_view, std::string&) override { return false; }
    bool InputPassword(std::string_view, std::string_view, std::string&) override { return false; }
    void PlaySound(std::string_view) override {}
    bool ShellOpen(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
    int RunAndWait(const std::vector<std::string>&) override { return -1; }
};

class RecordingMsgView : public TFrmMsgView {
  public:
    int renderings = 0;
    int questions = 0;
    TQueryAttachAnswer answer = TQueryAttachAnswer::Yes;
    std::vector<std::string> composed;
    std::vector<std::filesystem::path> messagesOpened;

    void MessageWritten(const TFrmMsg&) override { ++renderings; }
    TQueryAttachAnswer QueryAttach() override {
        ++questions;
        return answer;
    }
    bool ComposeMailTo(std::string_view mailto) override {
        composed.emplace_back(mailto);
        return true;
    }
    bool OpenAttachedMessage(const std::filesystem::path& file) override {
        messagesOpened.push_back(file);
        return true;
    }
};

}  // namespace kivo::test
