#pragma once
// The script engine on the terminal: its folders in the program folder, and a host that
// writes the runs' progress-log lines to the terminal's progress log (as the windows do).

#include "app/windowruns.h"

namespace kivo::cli {

class TerminalScriptHost : public TLogScriptHost {
  public:
    using TLogScriptHost::TLogScriptHost;
    // The terminal has no composer window: says so instead of doing nothing.
    void EditMessage(const TmsMessage& message) override;
};

}  // namespace kivo::cli
