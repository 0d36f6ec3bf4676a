#pragma once
// The two mail pipelines as the terminal runs them: `kivo check`, `kivo send`, the send run
// after a check (SendOnCheck) and the checks of `kivo run`'s timer all come through here.

#include <chrono>
#include <optional>
#include <stdexcept>

#include "app/cli/cli.h"
#include "app/terminalfeedback.h"

namespace kivo::cli {

// How long a run waits while another run of its kind holds the program folder; nullopt: as
// long as it takes.
using TTransferWait = std::optional<std::chrono::milliseconds>;
inline constexpr std::chrono::milliseconds kDefaultTransferWait = std::chrono::seconds(30);

// Another run of the same kind holds the program folder; the text names its pid.
class ETransferBusy : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The wait that --wait and --wait-up-to SECONDS ask for.
TTransferWait TransferWaitOf(Args args);

// One check-mail run over every account marked for checking; then the send queue when
// [Mail] "SendOnCheck" is set. Returns the exit status: 1 when an account failed.
// Throws ETransferBusy when another check still holds the program folder after `wait`.
int RunCheck(Context& ctx, TTerminalFeedback& feedback, TTransferWait wait = kDefaultTransferWait);

// One send-queue run. Started by the check button (after a check), the "nothing to send"
// tips stay away and a message without a server ends the run silently. Returns the exit
// status: 1 when a message failed. Throws ETransferBusy as RunCheck does.
int RunSendQueue(Context& ctx, TTerminalFeedback& feedback, bool startedByCheck,
                 TTransferWait wait = kDefaultTransferWait);

}  // namespace kivo::cli
