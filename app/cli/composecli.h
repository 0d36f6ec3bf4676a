#pragma once
// The composer on the terminal: `kivo compose`, `kivo mailto` and the reply commands drive a
// real TfrmSend; this is what they share.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "compose/KivoSend.h"

namespace kivo::cli {

// How the composer ends: --queue or --send; exactly one must be given.
enum class TComposeAction { Queue, Send };

// The composer's screen on the terminal: tips become the error of the command, progress-log
// entries go to stderr.
class TerminalComposerView : public TComposerView {
  public:
    TerminalComposerView(std::ostream& err, TVerbosity verbosity)
        : err_(err), verbosity_(verbosity) {}
    void ShowTip(const std::string& text) override { tips.push_back(text); }
    void StatusText(const std::string&) override {}
    void ErrorLevel(int level, const std::string& text) override;
    std::vector<std::string> tips;

  private:
    std::ostream& err_;
    TVerbosity verbosity_;
};

// Asks on the terminal (/dev/tty) which candidate to use; without a terminal the typed text
// stays as it is.
class TerminalChooser : public TFrmChooseAddress {
  public:
    std::optional<std::string> Choose(std::string_view text,
                                      const std::vector<std::string>& candidates) override;
};

TComposerPaths ComposerPaths(const Context& ctx);

// --queue or --send, whichever was given; a usage error unless exactly one was.
TComposeAction ActionOf(Args args);

// Standard input, whole.
std::string ReadStandardInput();

// Opens a composer on the program folder, lets `fill` set it up as the user would, then
// queues or sends it. Prints what happened; returns the exit status.
int RunComposer(Context& ctx, TComposerMode mode, TComposeAction action,
                const std::function<void(TfrmSend&)>& fill);

}  // namespace kivo::cli
