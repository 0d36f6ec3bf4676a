#pragma once
// Marking the messages a send run is done with (sent or discarded) as deleted in "out.mbx".
// The run works on a copy of the file read at its start, but the file may change meanwhile:
// the composer, a script or another Kivo process queue new messages through the locked
// append, and the mailbox may even be compressed. So the marks are not written by writing
// the copy back: under the mailbox lock the file is read again, each done message is found
// in it by its lines and marked "D", and the file is replaced atomically. Everything else in
// it, above all a message queued during the run, stays as it is.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace kivo {

// The lines of one message within the lines of a mailbox: [begin, end), from its separator
// to the next one.
struct TLineRange {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Every message of the mailbox lines, in file order; lines before the first separator belong
// to none.
std::vector<TLineRange> MessageRanges(const std::vector<std::string>& lines);

// Marks each done message (its lines as the run read them, separator first) with "D" in the
// mailbox file, once per done message, skipping messages marked "D" already; "Status:" lines and
// trailing empty lines do not count when messages are compared. A missing file is left missing.
// Returns how many were marked. Throws std::system_error when the file cannot be replaced; it is
// then unchanged.
int MarkDoneInOut(const std::filesystem::path& outFile,
                  const std::vector<std::vector<std::string>>& done);

// What MarkDoneInOut compares of a done message (its lines as the run read them): a digest,
// which a run keeps instead of the message.
std::string DoneDigest(const std::vector<std::string>& message);
// MarkDoneInOut for messages given by their DoneDigest.
int MarkDigestsDoneInOut(const std::filesystem::path& outFile,
                         const std::vector<std::string>& digests);

}  // namespace kivo
