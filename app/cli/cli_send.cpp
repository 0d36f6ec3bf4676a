// Placeholder until the command lands; replaced by its implementation.
#include <stdexcept>

#include "app/cli/transfercli.h"

namespace kivo::cli {

int RunSendQueue(Context&, TTerminalFeedback&, bool) {
    throw std::runtime_error("not available yet");
}
int SendCommand(Context&, Args) { throw std::runtime_error("not available yet"); }

}  // namespace kivo::cli
