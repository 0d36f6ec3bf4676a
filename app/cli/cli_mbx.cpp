#include "app/cli/cli.h"

namespace kivo::cli {

int MbxCountCommand(Context&, Args) { throw std::runtime_error("not built yet"); }
int MbxExtractCommand(Context&, Args) { throw std::runtime_error("not built yet"); }

}  // namespace kivo::cli
