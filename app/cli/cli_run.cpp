// Placeholder until the command lands; replaced by its implementation.
#include <stdexcept>

#include "app/cli/cli.h"

namespace kivo::cli {

int RunCommand(Context&, Args) { throw std::runtime_error("not available yet"); }

}  // namespace kivo::cli
