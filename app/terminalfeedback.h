#pragma once
// The mail pipelines on the terminal: progress log entries become plain text lines on the
// error stream, tips too; the password prompt goes to the controlling terminal and fails
// without one, so a cron job skips that account instead of hanging.

#include <iosfwd>
#include <string>
#include <string_view>

#include "app/progresslog.h"
#include "app/verbosity.h"
#include "base/platform.h"
#include "transfer/transferfeedback.h"

namespace kivo {

// A progress log entry as lines of plain text: "error: " before an error, a detail indented,
// each line break of the entry a new indented line.
std::string TerminalLogEntry(int level, std::string_view text);

class TTerminalFeedback : public TTransferFeedback {
  public:
    TTerminalFeedback(Platform& platform, std::ostream& err,
                      TVerbosity verbosity = TVerbosity::Normal)
        : platform_(platform), err_(err), verbosity_(verbosity) {}

    // Status panel 0 is shown with -v only: "Downloading message 3 of 13".
    void StatusText(int panel, std::string_view text) override;
    // With -q only errors (level 2) are shown.
    void ErrorLevel(int level, std::string_view text) override;
    int LastLevel() const override { return lastLevel_; }
    void SetLastLevel(int level) override { lastLevel_ = level; }
    void ShowTip(std::string_view text) override;
    bool AskPassword(std::string_view caption, std::string_view prompt,
                     std::string& password) override;
    void RouteCancel(std::function<void()> cancel) override { cancel_ = std::move(cancel); }

    // The Ctrl-C handler's way to stop the running transfer.
    void CancelTransfer() {
        if (cancel_) cancel_();
    }
    // Entries of level 2 written so far, and tips (a tip stops a run before it starts).
    int Errors() const { return errors_; }
    int Tips() const { return tips_; }

  private:
    Platform& platform_;
    std::ostream& err_;
    TVerbosity verbosity_;
    std::string lastStatus_;
    std::function<void()> cancel_;
    int lastLevel_ = 0;
    int errors_ = 0;
    int tips_ = 0;
};

}  // namespace kivo
