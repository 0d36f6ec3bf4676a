// The decoder's multipart path: the preamble, the first part (normally the body text), a
// multipart/alternative nested as the first part, and the loop over the remaining parts.

#include "base/bytes.h"
#include "mail/headerfields.h"
#include "mail/msattname.h"
#include "mail/mimetypes.h"
#include "mail/msdecoder.h"
#include "mail/mspartdata.h"
#include "mail/quotedprintable.h"

namespace kivo {

namespace {

bool IsClosingLine(std::string_view line, std::string_view boundary) {
    return line.starts_with(boundary) && line.substr(boundary.size()).starts_with("--");
}

// Reads up to the first line equal to `boundary`; false when the data ends first.
bool SkipTo(TLineStream& reader, std::string_view boundary) {
    std::string_view line;
    while (reader.ReadLine(line)) {
        if (line == boundary) return true;
    }
    return false;
}

}  // namespace

void TmsCustomDecoder::DecodeMultipart(const std::string& contentType, bool alternativeMessage) {
    boundary_ = "--" + ParameterValue("Boundary", contentType);
    if (!SkipTo(reader_, boundary_)) throw EMessageParserError("Cannot find boundary");
    std::optional<bool> firstRead = ReadFirstPart();
    if (firstRead && !*firstRead) return;
    bool readHeaders = firstRead.has_value();
    while (true) {
        Pump();
        if (readHeaders) {
            partHeaders_.Clear();
            ReadHeaderBlock(partHeaders_);
        }
        readHeaders = true;
        if (!DecodeNextPart(alternativeMessage)) return;
    }
}

std::optional<bool> TmsCustomDecoder::ReadFirstPart() {
    partHeaders_.Clear();
    ReadHeaderBlock(partHeaders_);
    std::string type = partHeaders_.GetFieldValue("Content-Type");
    if (EqualsNoCase(ParameterValue("charset", type), "iso-2022-jp")) {
        message_.SetCharSet(csISO2022jp);
    }
    if (FindNoCase(type, "multipart/alternative") != std::string::npos) {
        outerBoundary_ = boundary_;
        boundary_ = "--" + ParameterValue("boundary", type);
        if (!SkipTo(reader_, boundary_)) throw EMessageParserError("Cannot find boundary");
        partHeaders_.Clear();
        ReadHeaderBlock(partHeaders_);
        nestedAlternative_ = true;
    }
    const PartCoding coding = PartCodingOf(partHeaders_.GetFieldValue("Content-Transfer-Encoding"));
    if (coding == PartCoding::kBase64 && message_.CharSet() != csISO2022jp) {
        return std::nullopt;  // an attachment, read by the part loop
    }
    PartEnd end = coding == PartCoding::kBase64 ? ReadBase64Text() : ReadFirstPartText(coding);
    if (end.dataEnded) throw EMessageParserError("Cannot find boundary");
    if (IsClosingLine(end.line, boundary_)) {
        message_.SetContentType(MainValue(partHeaders_.GetFieldValue("Content-Type")));
    }
    return ContinueAfterPart(end);
}

PartEnd TmsCustomDecoder::ReadBase64Text() {
    std::string bytes;
    PartEnd end = ReadPartData(reader_, PartCoding::kBase64, boundary_, false, bytes);
    AppendLines(bytes, message_.Body());
    return end;
}

PartEnd TmsCustomDecoder::ReadFirstPartText(PartCoding coding) {
    const bool quotedPrintable = coding == PartCoding::kQuotedPrintable;
    if (quotedPrintable) message_.SetCharSet(csISO8859);
    const std::string closing = boundary_ + "--";
    std::vector<std::string_view> lines;
    PartEnd end;
    std::string_view line;
    while (reader_.ReadLine(line)) {
        PumpLine();
        if (line == boundary_ || line == closing) {
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

bool TmsCustomDecoder::DecodeNextPart(bool alternativeMessage) {
    const std::string type = partHeaders_.GetFieldValue("Content-Type");
    std::string mainType = MainValue(type);
    if (mainType.empty()) mainType = "text/plain";
    const PartCoding coding = PartCodingOf(partHeaders_.GetFieldValue("Content-Transfer-Encoding"));
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
        const bool alternative = nestedAlternative_ || alternativeMessage;
        item.SetFileName((alternative ? "_alt." : "att.") +
                         std::to_string(message_.Attachments().Count()));
        item.SetContentType(mainType);
    }
    item.SetEncoding(AttEncodingOf(coding));
    PartEnd end;
    try {
        end = ReadPartData(reader_, coding, boundary_, false, item.Data(), Throttle());
    } catch (const EMessageParserError&) {
        throw;
    } catch (const std::exception&) {
        throw EMessageParserError("Error decoding the attachment");
    }
    message_.Attachments().Add(std::move(item));
    return ContinueAfterPart(end);
}

bool TmsCustomDecoder::ContinueAfterPart(const PartEnd& end) {
    if (!end.dataEnded && !IsClosingLine(end.line, boundary_)) return true;
    if (!nestedAlternative_) return false;
    // The nested alternative is over: go on with the parts of the enclosing message.
    boundary_ = outerBoundary_;
    nestedAlternative_ = false;
    std::string_view line;
    while (reader_.ReadLine(line)) {
        if (line.starts_with(boundary_)) return !IsClosingLine(line, boundary_);
    }
    throw EMessageParserError("Cannot find closing boundary");
}

}  // namespace kivo
