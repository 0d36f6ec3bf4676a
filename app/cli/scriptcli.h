#pragma once
// The script engine on the terminal: its folders in the program folder, and a host that
// writes the runs' progress-log lines to the terminal's progress log (as the windows do).

#include "app/windowruns.h"

namespace kivo::cli {

class TerminalScriptHost : public TScriptHost {
  public:
    TerminalScriptHost(TTransferFeedback& feedback, Platform& platform,
                       std::filesystem::path accountsFile)
        : feedback_(feedback), platform_(platform), accountsFile_(std::move(accountsFile)) {}
    void Log(int level, std::string_view text) override { feedback_.ErrorLevel(level, text); }
    // The terminal has no composer window: says so instead of doing nothing.
    void EditMessage(const TmsMessage& message) override;
    // Sends at once in a connection of its own, with the current account's log-in.
    bool SendMessage(TmsMessage& message, std::string_view server,
                     std::string_view account) override;

  private:
    TTransferFeedback& feedback_;
    Platform& platform_;
    std::filesystem::path accountsFile_;
};

}  // namespace kivo::cli
