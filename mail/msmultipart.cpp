// The decoder's multipart path. Multiparts nest to any depth (mixed, alternative, related,
// signed, report, digest, ...); the decoder walks their parts in order and turns every leaf
// into body text, an "_alt." part, a numbered "att." part or a named attachment, by what the
// leaf stands for: the first part of a multipart stands for the multipart itself, the others
// are alternatives, inline resources or attachments by the multipart's kind.

#include "base/bytes.h"
#include "mail/headerfields.h"
#include "mail/mimetypes.h"
#include "mail/msattname.h"
#include "mail/msdecoder.h"
#include "mail/mspartdata.h"
#include "mail/quotedprintable.h"

namespace kivo {

namespace {

// Deeper multiparts are kept as raw parts; more parts than this end the decoding with an
// error (the raw message is kept). Real mail stays far below both.
constexpr std::size_t kMaxDepth = 50;
constexpr std::size_t kMaxParts = 10000;

// Reads up to the first boundary line; false when the data ends first.
bool SkipTo(TLineStream& reader, std::string_view boundary) {
    std::string_view line;
    while (reader.ReadLine(line)) {
        if (IsBoundaryLine(line, boundary)) return true;
    }
    return false;
}

std::string SubType(std::string_view contentType) {
    std::string type = LowerCase(MainValue(contentType));
    const std::size_t slash = type.find('/');
    return slash == std::string::npos ? std::string() : type.substr(slash + 1);
}

// Whether a part can be the message's text: plain text or HTML (a part without a type is plain
// text) that its sender did not mark as an attachment.
bool IsBodyText(std::string_view contentType, const TmsHeaders& headers) {
    const std::string type = LowerCase(MainValue(contentType));
    if (!type.empty() && type != "text/plain" && type != "text/html") return false;
    return !EqualsNoCase(MainValue(headers.GetFieldValue("Content-Disposition")), "attachment");
}

// "<id@host>" -> "id@host".
std::string BareContentID(std::string_view value) {
    std::string_view id = TrimView(value);
    if (id.starts_with('<')) id.remove_prefix(1);
    if (id.ends_with('>')) id.remove_suffix(1);
    return std::string(TrimView(id));
}

}  // namespace

bool TmsCustomDecoder::CanDescend(std::string_view contentType) const {
    return StartsWithNoCase(MainValue(contentType), "multipart/") && frames_.size() < kMaxDepth;
}

bool TmsCustomDecoder::BoundaryAhead(std::string_view contentType) const {
    const std::string boundary = ParameterValue("Boundary", contentType);
    if (boundary.empty()) return false;
    const std::string line = "--" + boundary;
    TLineStream probe(reader_.Data());
    probe.Rewind(reader_.Position());
    std::string_view text;
    while (probe.ReadLine(text)) {
        if (IsBoundaryLine(text, line)) return true;
        // The part that holds the multipart ends first.
        if (!frames_.empty() && IsDelimiterLine(text, frames_.back().boundary)) return false;
    }
    return false;
}

void TmsCustomDecoder::EnterMultipart(const std::string& contentType, PartRole role,
                                      bool alternative) {
    const std::string kind = SubType(contentType);
    MultipartFrame frame{.boundary = "--" + ParameterValue("Boundary", contentType),
                         .firstRole = role,
                         .otherRole = PartRole::kAttachment,
                         .alternative = alternative,
                         .digest = kind == "digest"};
    if (alternative) {
        // Alternatives of an attachment or a resource stay what their multipart is.
        frame.otherRole = role == PartRole::kBody ? PartRole::kAlternative : role;
    } else if (kind == "related") {
        frame.otherRole = PartRole::kInline;
    }
    frames_.push_back(std::move(frame));
    if (!SkipTo(reader_, frames_.back().boundary)) {
        throw EMessageParserError("Cannot find boundary");
    }
}

void TmsCustomDecoder::DecodeMultipart(const std::string& contentType, bool alternativeMessage) {
    frames_.clear();
    if (!BoundaryAhead(contentType)) {
        // Without a boundary line (or a usable boundary) there are no parts: what follows the
        // header is the message's text, as readers show it.
        Note(std::string(kNoteNoBoundary));
        DecodeSinglePartText(ReplaceMainValue(contentType, "text/plain"));
        return;
    }
    EnterMultipart(contentType, PartRole::kBody, alternativeMessage);
    while (true) {
        Pump();
        partHeaders_.Clear();
        const std::size_t partStart = reader_.Position();
        ReadHeaderBlock(partHeaders_);
        if (++parts_ > kMaxParts) throw EMessageParserError("Too many parts");
        MultipartFrame& frame = frames_.back();
        // A boundary line right after a boundary line holds no part (neither headers nor
        // text): nothing to show or save.
        if (reader_.Position() == partStart) {
            std::string_view next;
            if (reader_.ReadLine(next) && IsDelimiterLine(next, frame.boundary)) {
                if (!ContinueAfterPart(PartEnd{.dataEnded = false, .line = next})) return;
                continue;
            }
            reader_.Rewind(partStart);
        }
        // Until a text part has become the body, the next part of a multipart that stands
        // for the body may still be it (a signature file or an encryption note comes first).
        const bool bodyOpen = frame.firstRole == PartRole::kBody && !bodyTaken_;
        const PartRole role =
            frame.started && !bodyOpen ? frame.otherRole : frame.firstRole;
        frame.started = true;
        std::string type = ValidContentType(partHeaders_.GetFieldValue("Content-Type"));
        if (CanDescend(type)) {
            if (BoundaryAhead(type)) {
                EnterMultipart(type, role, SubType(type) == "alternative");
                continue;
            }
            Note(std::string(kNoteNoBoundary));
            type = ReplaceMainValue(type, "text/plain");
        }
        if (type.empty() && frame.digest) type = "message/rfc822";
        const PartEnd end = role == PartRole::kBody && IsBodyText(type, partHeaders_)
                                ? ReadBodyPart(type)
                                : DecodeLeafPart(role, type);
        NoteSkipped(end);
        if (!ContinueAfterPart(end)) return;
    }
}

PartEnd TmsCustomDecoder::ReadBodyPart(const std::string& type) {
    if (EqualsNoCase(ParameterValue("charset", type), "iso-2022-jp")) {
        message_.SetCharSet(csISO2022jp);
    }
    const PartCoding coding =
        TextPartCoding(PartCodingOf(partHeaders_.GetFieldValue("Content-Transfer-Encoding")),
                       type, reader_, frames_.back().boundary);
    bodyTaken_ = true;
    message_.SetBodyCharsetName(StripQuotes(ParameterValue("charset", type)));
    const std::string mainType = LowerCase(MainValue(type));
    message_.SetBodyType(mainType.empty() ? "text/plain" : mainType);
    PartEnd end = coding == PartCoding::kBase64 ? ReadBase64Text() : ReadFirstPartText(coding);
    if (!end.dataEnded && IsClosingLine(end.line, frames_.back().boundary)) {
        message_.SetContentType(MainValue(type));
    }
    return end;
}

PartEnd TmsCustomDecoder::ReadBase64Text() {
    std::string bytes;
    PartEnd end = ReadPartData(reader_, PartCoding::kBase64, frames_.back().boundary, false, bytes);
    AppendLines(bytes, message_.Body());
    return end;
}

PartEnd TmsCustomDecoder::ReadFirstPartText(PartCoding coding) {
    const bool quotedPrintable = coding == PartCoding::kQuotedPrintable;
    if (quotedPrintable) message_.SetCharSet(csISO8859);
    const std::string& boundary = frames_.back().boundary;
    std::vector<std::string_view> lines;
    PartEnd end;
    std::string_view line;
    while (reader_.ReadLine(line)) {
        PumpLine();
        if (IsDelimiterLine(line, boundary)) {
            end.dataEnded = false;
            end.line = line;
            break;
        }
        lines.push_back(line);
    }
    // The line break before a boundary line belongs to the boundary.
    if (!end.dataEnded && !lines.empty() && lines.back().empty()) lines.pop_back();
    std::vector<std::string>& body = message_.Body();
    const std::size_t before = body.size();
    if (quotedPrintable) {
        std::string bytes;
        for (std::string_view text : lines) DecodeQuotedPrintableLine(text, bytes);
        AppendLines(bytes, body);
    } else {
        body.insert(body.end(), lines.begin(), lines.end());
    }
    if (body.size() == before) body.emplace_back();  // an empty text part still gives a line
    return end;
}

PartEnd TmsCustomDecoder::DecodeLeafPart(PartRole role, const std::string& type) {
    std::string mainType = MainValue(type);
    if (mainType.empty()) mainType = "text/plain";
    const PartCoding coding =
        TextPartCoding(PartCodingOf(partHeaders_.GetFieldValue("Content-Transfer-Encoding")),
                       mainType, reader_, frames_.back().boundary);
    TmsAttItem item;
    item.SetContentType(mainType);
    item.SetFileName(PartFileName("name", type));
    if (item.FileName().empty()) {
        item.SetFileName(
            PartFileName("filename", partHeaders_.GetFieldValue("Content-Disposition")));
    }
    // A named part takes the type of its extension; when the table knows no better than the
    // fallback, the type the sender declared says more.
    if (!item.FileName().empty() && item.ContentType() == kOctetStream) {
        item.SetContentType(mainType);
    }
    if (item.FileName().empty()) {
        // The first leaf of an alternative, left to this path, is one of its alternatives.
        const bool alternative = role == PartRole::kAlternative ||
                                 (role == PartRole::kBody && frames_.back().alternative);
        item.SetFileName((alternative ? "_alt." : "att.") +
                         std::to_string(message_.Attachments().Count()));
        item.SetContentType(mainType);
    }
    item.SetEncoding(AttEncodingOf(coding));
    item.SetContentID(BareContentID(partHeaders_.GetFieldValue("Content-ID")));
    item.SetCharsetName(StripQuotes(ParameterValue("charset", type)));
    PartEnd end;
    try {
        end =
            ReadPartData(reader_, coding, frames_.back().boundary, false, item.Data(), Throttle());
    } catch (const EMessageParserError&) {
        throw;
    } catch (const std::exception&) {
        throw EMessageParserError("Error decoding the attachment");
    }
    message_.Attachments().Add(std::move(item));
    return end;
}

bool TmsCustomDecoder::ContinueAfterPart(PartEnd end) {
    while (true) {
        if (end.dataEnded) {
            // Every multipart still open ends with the data, as readers end it.
            Note(std::string(kNoteUnclosed));
            return false;
        }
        if (!IsClosingLine(end.line, frames_.back().boundary)) {
            // A boundary line that is the last line of the data opens no part.
            if (reader_.Position() < reader_.Data().size()) return true;
            end.dataEnded = true;
            continue;
        }
        if (frames_.size() == 1) return false;
        // The inner multipart is over: go on with the parts of the one around it.
        frames_.pop_back();
        const std::string& boundary = frames_.back().boundary;
        std::string_view line;
        end = PartEnd{};
        while (reader_.ReadLine(line)) {
            if (IsDelimiterLine(line, boundary)) {
                end = PartEnd{.dataEnded = false, .line = line};
                break;
            }
        }
    }
}

}  // namespace kivo
