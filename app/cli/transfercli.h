#pragma once
// The two mail pipelines as the terminal runs them: `kivo check`, `kivo send`, the send run
// after a check (SendOnCheck) and the checks of `kivo run`'s timer all come through here.

#include "app/cli/cli.h"
#include "app/terminalfeedback.h"

namespace kivo::cli {

// One check-mail run over every account marked for checking; then the send queue when
// [Mail] "SendOnCheck" is set. Returns the exit status: 1 when an account failed.
int RunCheck(Context& ctx, TTerminalFeedback& feedback);

// One send-queue run. Started by the check button (after a check), the "nothing to send"
// tips stay away and a message without a server ends the run silently. Returns the exit
// status: 1 when a message failed.
int RunSendQueue(Context& ctx, TTerminalFeedback& feedback, bool startedByCheck);

}  // namespace kivo::cli
