#pragma once
// Raw message text as a script reads it: from a mailbox (its separator line first) or from a
// plain message file, made ready for decoding.

#include <string>
#include <vector>

namespace kivo {

// Drops leading empty lines (never the last line), drops the first "From " line among the
// header lines, and puts ">" before every other line that begins with "From ".
void PrepMessage(std::vector<std::string>& lines);

}  // namespace kivo
