#include "transfer/spooledparts.h"

#include <algorithm>
#include <random>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "mail/base64.h"
#include "mail/headerfields.h"
#include "mail/msmsgcls.h"
#include "mail/mspartdata.h"

namespace kivo {

namespace {

constexpr std::size_t kBlock = 1 << 20;
// A line longer than this is no line of a message this reader should second-guess.
constexpr std::size_t kMaxLine = 1 << 20;

// The spool file's lines in order, each with its offset and its line end.
class TSpoolLines {
  public:
    explicit TSpoolLines(const TSpoolFile& spool) : spool_(spool) {}

    // False at the end of the data, or at a line too long to trust or one with a lone CR
    // (Broken then says so). `ending` is the length of the line's end (0 on a last line
    // without one).
    bool Next(std::string_view& line, std::uint64_t& offset, std::size_t& ending) {
        for (;;) {
            const std::size_t at = buffer_.find('\n', pos_);
            if (at != std::string::npos || eof_) {
                if (pos_ >= buffer_.size()) return false;
                const std::size_t stop = at == std::string::npos ? buffer_.size() : at + 1;
                line = std::string_view(buffer_).substr(pos_, stop - pos_);
                offset = base_ + pos_;
                ending = 0;
                if (line.ends_with('\n')) ending = line.ends_with("\r\n") ? 2 : 1;
                line.remove_suffix(ending);
                pos_ = stop;
                // The decoder also ends lines at a lone CR: such a message is read whole.
                if (line.find('\r') != std::string_view::npos) {
                    broken_ = true;
                    return false;
                }
                return true;
            }
            if (buffer_.size() - pos_ > kMaxLine) {
                broken_ = true;
                return false;
            }
            buffer_.erase(0, pos_);
            base_ += pos_;
            pos_ = 0;
            const std::size_t old = buffer_.size();
            buffer_.resize(old + kBlock);
            const std::size_t got = spool_.ReadAt(base_ + old, buffer_.data() + old, kBlock);
            buffer_.resize(old + got);
            eof_ = got == 0;
        }
    }
    bool Broken() const { return broken_; }

  private:
    const TSpoolFile& spool_;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::uint64_t base_ = 0;  // the offset of buffer_[0]
    bool eof_ = false;
    bool broken_ = false;
};

std::string Token() {
    std::random_device random;
    std::string token = "kivo-spooled-part-";
    for (int i = 0; i < 4; ++i) token += std::to_string(random());
    return token;
}

}  // namespace

std::optional<TReducedMessage> ReduceSpooled(const TSpoolFile& spool,
                                             std::uint64_t minPartBytes) {
    TReducedMessage reduced;
    TSpoolLines lines(spool);
    std::vector<std::string> boundaries;  // of the multiparts open, innermost last
    std::string_view line;
    std::uint64_t offset = 0;
    std::size_t ending = 0;
    // The line as it stands, with its own line end.
    auto copy = [&] {
        reduced.text.append(line);
        reduced.text.append(ending == 2 ? "\r\n" : ending == 1 ? "\n" : "");
    };
    // Reads a header block (copied), up to and including its blank line; false when the data
    // ends first or a boundary line stands in it.
    auto headerBlock = [&](TmsHeaders& headers) {
        while (lines.Next(line, offset, ending)) {
            copy();
            if (line.empty()) return true;
            for (const std::string& b : boundaries)
                if (IsDelimiterLine(line, b)) return false;
            headers.Add(std::string(line));
        }
        return false;
    };
    TmsHeaders top;
    if (!headerBlock(top)) return std::nullopt;
    std::string type = top.GetFieldValue("Content-Type");
    if (!StartsWithNoCase(MainValue(type), "multipart/") ||
        ParameterValue("Boundary", type).empty())
        return std::nullopt;
    boundaries.push_back("--" + ParameterValue("Boundary", type));
    // The preamble, up to the first boundary line.
    bool found = false;
    while (!found && lines.Next(line, offset, ending)) {
        copy();
        found = IsBoundaryLine(line, boundaries.back());
    }
    if (!found) return std::nullopt;
    // At the start of a part's header block.
    while (!boundaries.empty()) {
        TmsHeaders headers;
        if (!headerBlock(headers)) return std::nullopt;
        type = ValidContentType(headers.GetFieldValue("Content-Type"));
        const std::string mainType = LowerCase(MainValue(type));
        if (mainType.starts_with("multipart/")) {
            const std::string inner = ParameterValue("Boundary", type);
            if (inner.empty()) return std::nullopt;
            boundaries.push_back("--" + inner);
            found = false;
            while (!found && lines.Next(line, offset, ending)) {
                copy();
                found = IsBoundaryLine(line, boundaries.back());
            }
            if (!found) return std::nullopt;
            continue;
        }
        const PartCoding coding = PartCodingOf(headers.GetFieldValue("Content-Transfer-Encoding"));
        const bool spoolable = !mainType.empty() && !mainType.starts_with("text") &&
                               !mainType.starts_with("message") &&
                               (coding == PartCoding::kBase64 || coding == PartCoding::kNone);
        // The data, up to the boundary line of the innermost multipart; a large part's data
        // stays in the spool file.
        const std::uint64_t start = offset + line.size() + ending;
        std::uint64_t previousEnding = 0;
        bool ended = false;
        while (lines.Next(line, offset, ending)) {
            if (IsDelimiterLine(line, boundaries.back())) {
                ended = true;
                break;
            }
            for (std::size_t b = 0; b + 1 < boundaries.size(); ++b)
                if (IsDelimiterLine(line, boundaries[b])) return std::nullopt;
            if (!spoolable) copy();
            previousEnding = ending;
        }
        if (!ended) return std::nullopt;
        if (spoolable && offset - previousEnding - start >= minPartBytes) {
            const std::string token = Token();
            reduced.text += coding == PartCoding::kBase64 ? EncodeBase64(token) : token;
            reduced.text += "\r\n";
            reduced.parts[token] = {start, offset - previousEnding, coding == PartCoding::kBase64};
        } else if (spoolable) {
            // Small after all: its lines as they stand.
            const std::size_t kept = reduced.text.size();
            reduced.text.resize(kept + static_cast<std::size_t>(offset - start));
            spool.ReadAt(start, reduced.text.data() + kept, static_cast<std::size_t>(offset - start));
        }
        copy();  // the boundary line
        if (IsClosingLine(line, boundaries.back())) {
            boundaries.pop_back();
            // The epilogue, up to the next boundary line of the multipart around.
            found = boundaries.empty();
            while (!found && lines.Next(line, offset, ending)) {
                copy();
                if (IsClosingLine(line, boundaries.back())) return std::nullopt;
                found = IsBoundaryLine(line, boundaries.back());
            }
            if (!found) return std::nullopt;
        }
    }
    // The top multipart's epilogue.
    while (lines.Next(line, offset, ending)) copy();
    if (lines.Broken()) return std::nullopt;
    return reduced;
}

std::size_t WriteSpooledPart(const TSpoolFile& spool, const TSpooledPart& part, int fd,
                             const std::filesystem::path& path) {
    Base64Decoder base64(Base64Errors::kSkip);
    std::string raw(kBlock, '\0');
    std::string decoded;
    bool lastWasCr = false;
    for (std::uint64_t at = part.start; at < part.end;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, part.end - at));
        const std::size_t got = spool.ReadAt(at, raw.data(), want);
        if (got == 0) break;
        at += got;
        const std::string_view bytes(raw.data(), got);
        decoded.clear();
        if (part.base64) {
            base64.Decode(bytes, decoded);
        } else {
            // Unencoded lines end in CR LF, as the decoder writes them.
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (bytes[i] == '\n' && !lastWasCr) decoded += '\r';
                decoded += bytes[i];
                lastWasCr = bytes[i] == '\r';
            }
        }
        WriteToFile(fd, decoded, path);
    }
    if (part.base64) {
        decoded.clear();
        base64.Finish(decoded);
        WriteToFile(fd, decoded, path);
    }
    return base64.Skipped();
}

}  // namespace kivo
