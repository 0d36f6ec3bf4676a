// Placeholder until the command lands; replaced by its implementation.
#include <stdexcept>

#include "app/cli/transfercli.h"

namespace kivo::cli {

int RunCheck(Context&, TTerminalFeedback&) { throw std::runtime_error("not available yet"); }
int CheckCommand(Context&, Args) { throw std::runtime_error("not available yet"); }

}  // namespace kivo::cli
