#pragma once
// A large received message read from its spool file without holding it whole: the message's
// lines with the data of each large attachment part replaced by a token (base64 of it for a
// base64 part), so the decoder sees the message's whole structure in little memory, and the
// places of those parts' data in the spool file, to be decoded from there straight into
// their attachment files. Only structure that is plain to read is treated so (a multipart
// message whose large parts are non-text leaves in base64 or unencoded, each ended by its
// boundary line); anything else gives nullopt and the caller reads the message whole.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "base/spoolfile.h"

namespace kivo {

struct TSpooledPart {
    std::uint64_t start = 0;  // the part's first data byte in the spool file
    std::uint64_t end = 0;    // after its last (the line end before the boundary excluded)
    bool base64 = false;
};

struct TReducedMessage {
    std::string text;
    // The parts left in the spool file, by the bytes their token decodes to.
    std::map<std::string, TSpooledPart> parts;
};

// The message in `spool` with the data of every part of at least `minPartBytes` left there.
std::optional<TReducedMessage> ReduceSpooled(const TSpoolFile& spool, std::uint64_t minPartBytes);

// Decodes the part's data from the spool file into the open file `fd` (`path` for error
// texts), as the decoder would (unencoded lines end in CR LF); returns how many characters
// outside the base64 alphabet were skipped. Throws std::system_error.
std::size_t WriteSpooledPart(const TSpoolFile& spool, const TSpooledPart& part, int fd,
                             const std::filesystem::path& path);

}  // namespace kivo
