#pragma once
// The program's own help pages, built into it and written into the help folder, so the help
// always describes the program that is running.

#include <filesystem>
#include <span>
#include <string_view>

namespace kivo {

struct THelpPage {
    std::string_view FileName;
    std::string_view Html;
};

std::span<const THelpPage> HelpPages();

// Writes every page whose file is missing or differs into `folder` (created when missing).
// Throws std::system_error when a page cannot be written.
void WriteHelpPages(const std::filesystem::path& folder);
// The same at start-up: a folder that cannot be written (a read-only copy) keeps what it
// has, as the help is no reason to stop; the help window shows its replacement page for a
// missing page. False when something could not be written.
bool RefreshHelpPages(const std::filesystem::path& folder) noexcept;

}  // namespace kivo
