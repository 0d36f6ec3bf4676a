#pragma once
// An attached message (a message/rfc822 part the store saved as a file) read for the message
// view: decoded as mail that arrives is, so it shows in Kivo's own view with its pictures and
// attachments, never as a page in the desktop's browser.

#include <filesystem>

#include "store/msgops.h"

namespace kivo {

// The attached message in `file` as stored lines for the view; its own attachments are
// written into `partsFolder`, where the view looks them up. Throws std::system_error when the
// file cannot be read or a part cannot be written.
TShownLines AttachedMessageLines(const std::filesystem::path& file,
                                 const std::filesystem::path& partsFolder);

// A new private folder (0700) for an attached message's parts in the temporary folder.
std::filesystem::path NewPartsFolder();

}  // namespace kivo
