#pragma once
// Attachment files that no message points to: received mail's files are named in its stored
// body ("Attachment Converted:" lines) and header ("X-Content-File:" lines); a file of the
// attachment folder that no line of any mailbox names is left over (a run stopped before it
// stored the message, an older program's leftovers) and only takes room.

#include <filesystem>
#include <vector>

namespace kivo {

// The files directly in `attachFolder` whose names no line of any mailbox in `mailFolder`
// (and the folders below it) names, sorted. A line names a file by its file name, wherever
// the path before it points, so files of a program folder that was moved still count as
// named. Hidden files and folders are never listed. Throws std::system_error when a mailbox
// cannot be read: a file must not look unnamed because its message could not be looked at.
std::vector<std::filesystem::path> OrphanAttachments(const std::filesystem::path& attachFolder,
                                                     const std::filesystem::path& mailFolder);

}  // namespace kivo
