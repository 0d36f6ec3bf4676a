#pragma once
// Reply, reply to all, forward and bounce: a composer filled from a stored message's raw
// lines. The header values are picked by plain text matching (exact letter case, the last
// line wins, folded lines are not read) and the body is quoted or copied as stored. A reply
// quotes the "Attachment Converted:" lines; a forward and a bounce attach the files they
// name instead. Replies and forwards carry the original's thread (In-Reply-To, References);
// a bounce keeps its Date and Message-ID and gets the Resent fields.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compose/KivoSend.h"
#include "store/mailaddress.h"

namespace kivo {

// The lines the commands read for a stored message: an alternative message is cut to its
// headers and its first attachment (the HTML alternative); HTML loses its tags.
std::vector<std::string> ReplyLines(std::vector<std::string> lines);
// The same before the tags go: `html` tells whether the body is HTML.
std::vector<std::string> ReplyLinesHtml(std::vector<std::string> lines, bool& html);

enum class TReplyKind { Reply, ReplyToAll, Forward, Bounce };

// The status letter the message's index entry gets: "W", "F" or "B".
std::string_view ReplyStatusLetter(TReplyKind kind);

// Fills a composer (its FirstActivation done) from the message's lines as ReplyLines gives
// them. `dropTo` is the address list entry a drop named, for Forward and Bounce. False when
// the message has no header lines: nothing is filled then.
bool FillFromMessage(TfrmSend& composer, TReplyKind kind, std::vector<std::string> lines,
                     const std::filesystem::path& accountsFile,
                     const std::filesystem::path& settingsFile,
                     std::optional<std::string> dropTo = std::nullopt);

}  // namespace kivo
