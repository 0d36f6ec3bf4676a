#pragma once

namespace kivo {

// How much a headless command tells on the error stream: -q only errors and refusals, -v
// also what it is doing (the status bar's texts) and where.
enum class TVerbosity { Quiet, Normal, Verbose };

}  // namespace kivo
