#pragma once
// Compression: rewrites a mailbox file without its deleted messages and with every kept
// message's "Status:" line brought up to date from the index. Text before the first message
// is kept as it is. The new file is written beside
// the old one, flushed to disk and renamed over it in one step, under the mailbox's file
// lock, so a crash or a full disk at any moment leaves either the old mailbox with its
// deleted list or the new one, and no other Kivo process appends in between.

#include <filesystem>
#include <functional>
#include <string_view>

#include "store/mailboxfiles.h"

namespace kivo {

class TStoreFeedback;

// Called at named points of a compression ("copied", "synced", "list-set-aside", "renamed",
// "done"), so tests can stop the process there.
using TCompressStepHook = std::function<void(std::string_view step)>;

// Compresses the mailbox `base` (path without extension). With `showStatus`, shows
// "Compressing mailbox..." while it runs. A missing mailbox file becomes an empty one.
// Throws std::system_error when the new file cannot be written; the mailbox and its deleted
// list are then as they were.
void CompressMailbox(const std::filesystem::path& base, bool showStatus, TStoreFeedback& feedback,
                     const TCompressStepHook& hook = {});

}  // namespace kivo
