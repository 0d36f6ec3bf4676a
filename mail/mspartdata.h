#pragma once
// Reading the data of one MIME part (or of a single-part body) from the line reader and
// decoding it by its transfer encoding. Shared by the single-part and the multipart paths of
// the decoder.

#include <string>
#include <string_view>

#include "base/platform.h"
#include "mail/linestream.h"
#include "mail/msmsgcls.h"

namespace kivo {

// How a part's lines are turned into bytes.
enum class PartCoding { kNone, kBase64, kUU, kQuotedPrintable };

// The coding a Content-Transfer-Encoding value asks for: "base64", "x-uue..." and
// "quoted-printable" in any case; anything else is copied as it stands.
PartCoding PartCodingOf(std::string_view transferEncoding);
// The attachment encoding recorded for a coding (uuencoded data is re-sent as base64).
TAttEncoding AttEncodingOf(PartCoding coding);

// Where the data of a part ended.
struct PartEnd {
    bool dataEnded = true;     // the data ran out before a boundary line
    std::string_view line;     // the boundary line that ended the part
    std::size_t skipped = 0;   // base64: characters outside the alphabet, skipped
};

// Whether a line is the boundary line `boundary` ("--" + the boundary parameter), or its
// closing form (followed by "--"), with nothing after it but blanks (RFC 2046 allows them).
// A line that only begins with the boundary ("--b1====" for "--b1==") is data.
bool IsBoundaryLine(std::string_view line, std::string_view boundary);
bool IsClosingLine(std::string_view line, std::string_view boundary);
// Either of the two: a line that ends a part.
bool IsDelimiterLine(std::string_view line, std::string_view boundary);

// Appends the decoded bytes of the lines up to the first delimiter line of `boundary`
// (to the end of the data when `boundary` is empty). For base64 and uuencode, `dotEnds` makes a
// line "." end the data too. Text lines keep their line ends, except the one right before a
// boundary line, which belongs to the boundary. Base64 skips characters outside its alphabet
// (and counts them), as readers do; other decoding errors propagate. `pump`, when given,
// ticks while long data is read.
PartEnd ReadPartData(TLineStream& reader, PartCoding coding, std::string_view boundary,
                     bool dotEnds, std::string& data, PumpThrottle* pump = nullptr);

// Whether the data from the reader's position up to the next delimiter line of `boundary`
// is evidently no base64 but text declared so by mistake: most of its lines hold blanks between
// words or characters outside the alphabet. Looks at a bounded number of lines.
bool LooksLikeText(const TLineStream& reader, std::string_view boundary);

// The coding to read a part with: base64 declared on a text part whose data is plain text
// reads the text as it stands.
PartCoding TextPartCoding(PartCoding declared, std::string_view contentType,
                          const TLineStream& reader, std::string_view boundary);

// Appends the lines of `bytes` (split at CR LF, CR or LF) to `lines`.
void AppendLines(std::string_view bytes, std::vector<std::string>& lines);

}  // namespace kivo
