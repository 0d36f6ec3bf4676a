#pragma once
// `kivo repair`'s look at the attachment folder: the files no message points to.

#include "app/cli/cli.h"

namespace kivo::cli {

// Lists the attachment files no message points to and removes them when the user agrees
// (`yes`: without asking). Skipped while a check runs, whose files are not recorded yet.
void RepairOrphanAttachments(Context& ctx, bool yes);

}  // namespace kivo::cli
