#include "mail/mspartdata.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "mail/base64.h"
#include "mail/headerfields.h"
#include "mail/quotedprintable.h"
#include "mail/uucode.h"

namespace kivo {

namespace {

constexpr std::size_t kPumpLines = 4095;  // the clock is read once per this many lines

bool EndsWithSoftBreak(std::string_view line) {
    std::string_view trimmed = line;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) {
        trimmed.remove_suffix(1);
    }
    return !trimmed.empty() && trimmed.back() == '=';
}

bool OnlyBlanks(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

PartEnd Finish(Base64Decoder& base64, std::string& data, PartEnd end) {
    base64.Finish(data);
    end.skipped = base64.Skipped();
    return end;
}

bool IsBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '+' || c == '/' || c == '=';
}

// A line that base64 never has: a blank between its characters or a byte outside the alphabet.
bool IsTextLine(std::string_view line) {
    line = TrimView(line);
    return std::any_of(line.begin(), line.end(), [](char c) { return !IsBase64Character(c); });
}

constexpr std::size_t kTextProbeLines = 200;

}  // namespace

bool IsBoundaryLine(std::string_view line, std::string_view boundary) {
    return !boundary.empty() && line.starts_with(boundary) &&
           OnlyBlanks(line.substr(boundary.size()));
}

bool IsClosingLine(std::string_view line, std::string_view boundary) {
    if (boundary.empty() || !line.starts_with(boundary)) return false;
    line.remove_prefix(boundary.size());
    return line.starts_with("--") && OnlyBlanks(line.substr(2));
}

bool IsDelimiterLine(std::string_view line, std::string_view boundary) {
    return IsBoundaryLine(line, boundary) || IsClosingLine(line, boundary);
}

PartCoding PartCodingOf(std::string_view transferEncoding) {
    std::string_view value = TrimView(transferEncoding);
    if (EqualsNoCase(value, "base64")) return PartCoding::kBase64;
    if (StartsWithNoCase(value, "x-uue")) return PartCoding::kUU;
    if (EqualsNoCase(value, "quoted-printable")) return PartCoding::kQuotedPrintable;
    return PartCoding::kNone;
}

TAttEncoding AttEncodingOf(PartCoding coding) {
    switch (coding) {
        case PartCoding::kBase64:
        case PartCoding::kUU:
            return aeBase64;
        case PartCoding::kQuotedPrintable:
            return aeQuotedPrintable;
        case PartCoding::kNone:
            break;
    }
    return aeNone;
}

PartEnd ReadPartData(TLineStream& reader, PartCoding coding, std::string_view boundary,
                     bool dotEnds, std::string& data, PumpThrottle* pump) {
    PartEnd end;
    std::string_view line;
    std::string_view pending;  // quoted-printable: the line read last, decoded one step late
    bool havePending = false;
    Base64Decoder base64(Base64Errors::kSkip);
    std::size_t count = 0;
    // Room for the decoded bytes up front: growing a large attachment by doubling costs more
    // than decoding it. The text up to the next boundary is an upper bound of the part.
    std::string_view rest = reader.Data().substr(reader.Position());
    std::size_t extent = rest.size();
    if (!boundary.empty()) {
        const void* hit = memmem(rest.data(), rest.size(), boundary.data(), boundary.size());
        if (hit) extent = static_cast<std::size_t>(static_cast<const char*>(hit) - rest.data());
    }
    data.reserve(data.size() + (coding == PartCoding::kBase64 ? extent / 4 * 3 + 3 : extent));
    while (reader.ReadLine(line)) {
        if (pump && (++count & kPumpLines) == 0) pump->Tick();
        if (IsDelimiterLine(line, boundary)) {
            end.dataEnded = false;
            end.line = line;
            break;
        }
        switch (coding) {
            case PartCoding::kBase64:
                if (dotEnds && line == ".") return Finish(base64, data, end);
                if (!line.empty()) base64.Decode(line, data);
                break;
            case PartCoding::kUU:
                if (dotEnds && line == ".") return end;  // nothing held back
                if (line.empty() || line == "`" || line == "end" || IsUUBeginLine(line)) break;
                DecodeUULine(line, data);
                break;
            case PartCoding::kQuotedPrintable:
                if (havePending) DecodeQuotedPrintableLine(pending, data);
                pending = line;
                havePending = true;
                break;
            case PartCoding::kNone:
                data.append(line);
                data.append("\r\n");
                break;
        }
    }
    if (coding == PartCoding::kBase64) return Finish(base64, data, end);
    if (coding == PartCoding::kQuotedPrintable && havePending) {
        std::size_t before = data.size();
        DecodeQuotedPrintableLine(pending, data);
        if (!end.dataEnded && !EndsWithSoftBreak(pending) && data.size() >= before + 2 &&
            data.ends_with("\r\n")) {
            data.resize(data.size() - 2);
        }
    }
    if (coding == PartCoding::kNone && !end.dataEnded && data.ends_with("\r\n")) {
        data.resize(data.size() - 2);
    }
    return end;
}

bool LooksLikeText(const TLineStream& reader, std::string_view boundary) {
    TLineStream probe(reader.Data());
    probe.Rewind(reader.Position());
    std::size_t lines = 0;
    std::size_t text = 0;
    std::string_view line;
    while (lines < kTextProbeLines && probe.ReadLine(line)) {
        if (IsDelimiterLine(line, boundary)) break;
        if (TrimView(line).empty()) continue;
        ++lines;
        if (IsTextLine(line)) ++text;
    }
    return text * 2 > lines;
}

PartCoding TextPartCoding(PartCoding declared, std::string_view contentType,
                          const TLineStream& reader, std::string_view boundary) {
    const std::string type = MainValue(contentType);
    const bool text = type.empty() || StartsWithNoCase(type, "text/");
    if (declared == PartCoding::kBase64 && text && LooksLikeText(reader, boundary)) {
        return PartCoding::kNone;
    }
    return declared;
}

void AppendLines(std::string_view bytes, std::vector<std::string>& lines) {
    TLineStream reader(bytes);
    std::string_view line;
    while (reader.ReadLine(line)) lines.emplace_back(line);
}

}  // namespace kivo
