#include "app/cli/cli.h"

namespace kivo::cli {

int InitCommand(Context&, Args) { throw std::runtime_error("not built yet"); }

}  // namespace kivo::cli
