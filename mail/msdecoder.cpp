// The decoder's top level, plain (and uuencoded) messages and single-part MIME messages.

#include "mail/msdecoder.h"

#include <algorithm>

#include "base/bytes.h"
#include "mail/base64.h"
#include "mail/headerfields.h"
#include "mail/msattname.h"
#include "mail/mspartdata.h"
#include "mail/quotedprintable.h"
#include "mail/uucode.h"

namespace kivo {

TmsCustomDecoder::TmsCustomDecoder(std::string_view raw, TmsCustomMessage& message,
                                   Platform* platform)
    : raw_(raw), message_(message), reader_(raw) {
    if (platform) pump_.emplace(*platform);
}

void TmsCustomDecoder::Pump() {
    if (pump_) pump_->Tick();
}

namespace {

// A line that may stand in a header block: a field ("Name:", the name of printable characters
// without a colon), a continuation (it begins with a blank or a tab) or a "From " line. Any
// other line begins the text of a sender who left out the empty line.
bool IsHeaderLine(std::string_view line) {
    if (line.front() == ' ' || line.front() == '\t' || line.starts_with("From ")) return true;
    for (char c : line) {
        if (c == ':') return true;
        if (c < '!' || c > '~') return false;
    }
    return false;
}

// Whether the header block asks for MIME decoding. Without MIME-Version, a multipart type with
// a boundary, or a base64 or quoted-printable body, is still MIME, as every reader takes it.
bool IsMime(const TmsHeaders& headers) {
    if (headers.GetFieldValue("MIME-VERSION").find("1.0") != std::string::npos) return true;
    const std::string type = headers.GetFieldValue("Content-Type");
    if (StartsWithNoCase(MainValue(type), "multipart/") &&
        !ParameterValue("boundary", type).empty()) {
        return true;
    }
    const PartCoding coding = PartCodingOf(headers.GetFieldValue("Content-Transfer-Encoding"));
    return coding == PartCoding::kBase64 || coding == PartCoding::kQuotedPrintable;
}

}  // namespace

void TmsCustomDecoder::Note(std::string text) {
    for (const std::string& note : message_.DecodeNotes()) {
        if (note == text) return;
    }
    message_.AddDecodeNote(std::move(text));
}

void TmsCustomDecoder::NoteSkipped(const PartEnd& end) {
    if (end.skipped > 0) Note(std::string(kNoteBadBase64));
}

void TmsCustomDecoder::Decode() {
    ReadHeaderBlock(topHeaders_);
    ReadHeaderFields(topHeaders_);
    try {
        if (IsMime(topHeaders_)) {
            DecodeMime();
        } else {
            DecodePlain();
        }
    } catch (const EMessageParserError& e) {
        AddErrorAttachment(e.what());
    }
    // A last line "." is the writer's text: the POP3 client removes its end line itself.
}

void TmsCustomDecoder::ReadHeaderBlock(TmsHeaders& headers) {
    std::string_view line;
    while (true) {
        const std::size_t start = reader_.Position();
        if (!reader_.ReadLine(line) || line.empty()) return;
        const bool boundary = std::any_of(frames_.begin(), frames_.end(), [&](const auto& f) {
            return IsDelimiterLine(line, f.boundary);
        });
        if (boundary || !IsHeaderLine(line)) {
            reader_.Rewind(start);  // the text (or the part's end) follows without an empty line
            return;
        }
        headers.Add(std::string(line));
    }
}

void TmsCustomDecoder::AddErrorAttachment(const std::string& text) {
    std::vector<std::string>& body = message_.Body();
    body.emplace_back("The following error has been occured while processing the message:");
    body.push_back(text);
    body.emplace_back("The original message will be stored as an attachment");
    try {
        TmsAttItem item;
        item.SetFileName("original.eml");
        item.SetContentType("message/rfc822");
        item.SetEncoding(aeNone);
        item.Data().assign(raw_);
        message_.Attachments().Add(std::move(item));
    } catch (const std::exception&) {
        // The explanation is in the body; the copy is a convenience.
    }
}

void TmsCustomDecoder::DecodePlain() {
    std::vector<std::string>& body = message_.Body();
    std::string_view line;
    while (reader_.ReadLine(line)) {
        PumpLine();
        if (IsUUBeginLine(line)) {
            // The blank line before a file is the one the encoder writes to set it apart.
            if (!body.empty() && body.back().empty()) body.pop_back();
            DecodeUUFiles(line);
            return;
        }
        body.emplace_back(line);
    }
}

void TmsCustomDecoder::DecodeUUFiles(std::string_view beginLine) {
    message_.SetEncoding(meUU);
    std::string_view line = beginLine;
    while (true) {
        Pump();
        TmsAttItem item;
        std::string name = UUBeginFileName(line);
        if (name.empty()) name = "att." + std::to_string(message_.Attachments().Count());
        item.SetFileName(name);
        try {
            while (reader_.ReadLine(line) && line != "`" && !EqualsNoCase(line, "end")) {
                PumpLine();
                if (!line.empty()) DecodeUULine(line, item.Data());
            }
        } catch (const std::exception&) {
            throw EMessageParserError("Error decoding the attachment");
        }
        message_.Attachments().Add(std::move(item));
        // Text between and after the files is not kept.
        while (reader_.ReadLine(line) && !IsUUBeginLine(line)) {
        }
        if (reader_.Eof()) return;
    }
}

void TmsCustomDecoder::DecodeMime() {
    if (topHeaders_.GetFieldValue("X-Mailer") == "V Mailsystem R #0001") {
        topHeaders_.RemoveField("Content-Type");  // that mailer announces types it does not send
    }
    const std::string ct = ValidContentType(topHeaders_.GetFieldValue("Content-Type"));
    if (FindNoCase(ct, "multipart/alternative") != std::string::npos) {
        DecodeMultipart(ct, true);
    } else if (FindNoCase(ct, "multipart") != std::string::npos) {
        DecodeMultipart(ct, false);
    } else if (!ct.empty() && FindNoCase(ct, "text/") == std::string::npos) {
        DecodeSinglePartAttachment(ct);
    } else {
        std::string name = ParameterValue("name", ct);
        if (!name.empty() && name != "cc:Mail") {
            DecodeSinglePartAttachment(ct);
        } else {
            DecodeSinglePartText(ct);
        }
    }
}

void TmsCustomDecoder::DecodeSinglePartText(const std::string& contentType) {
    std::string type = LowerCase(MainValue(contentType));
    if (type == "text/html" || type == "text/rtf") message_.SetContentType(type);
    message_.SetBodyType(type);
    std::string encoding = topHeaders_.GetFieldValue("Content-Transfer-Encoding");
    bool base64 = TextPartCoding(PartCodingOf(encoding), contentType, reader_, {}) ==
                  PartCoding::kBase64;
    bool quotedPrintable = PartCodingOf(encoding) == PartCoding::kQuotedPrintable ||
                           FindNoCase(topHeaders_.GetFieldValue("X-MIME-Autoconverted"),
                                      "quoted-printable") != std::string::npos;
    message_.SetBodyCharsetName(StripQuotes(ParameterValue("charset", contentType)));
    if (EqualsNoCase(ParameterValue("charset", contentType), "iso-2022-jp")) {
        message_.SetCharSet(csISO2022jp);
    }
    if (quotedPrintable) message_.SetCharSet(csISO8859);
    ReadBodyText(quotedPrintable, base64);
}

void TmsCustomDecoder::ReadBodyText(bool quotedPrintable, bool base64) {
    std::vector<std::string>& body = message_.Body();
    std::string bytes;
    std::string_view line;
    if (base64) {
        Base64Decoder decoder(Base64Errors::kSkip);
        while (reader_.ReadLine(line)) {
            PumpLine();
            if (!line.empty() && line != ".") decoder.Decode(line, bytes);
        }
        decoder.Finish(bytes);
        if (decoder.Skipped() > 0) Note(std::string(kNoteBadBase64));
        AppendLines(bytes, body);
        return;
    }
    const std::size_t keep = body.size();
    while (reader_.ReadLine(line)) {
        PumpLine();
        if (IsUUBeginLine(line)) {
            // Text with uuencoded files: read again from the first body line as plain text.
            body.resize(keep);
            reader_.Reset();
            TmsHeaders skipped;
            ReadHeaderBlock(skipped);
            DecodePlain();
            return;
        }
        if (quotedPrintable) {
            DecodeQuotedPrintableLine(line, bytes);
        } else {
            body.emplace_back(line);
        }
    }
    if (quotedPrintable) AppendLines(bytes, body);
}

void TmsCustomDecoder::DecodeSinglePartAttachment(const std::string& contentType) {
    TmsAttItem item;
    const std::string type = MainValue(contentType);
    item.SetFileName(PartFileName("name", contentType));
    item.SetContentType(type);
    const PartCoding coding = PartCodingOf(topHeaders_.GetFieldValue("Content-Transfer-Encoding"));
    item.SetEncoding(AttEncodingOf(coding));
    for (std::string name :
         {PartFileName("filename", topHeaders_.GetFieldValue("Content-Disposition")),
          "att." + std::to_string(message_.Attachments().Count())}) {
        if (!item.FileName().empty()) break;
        item.SetFileName(name);
        item.SetContentType(type);
        item.SetEncoding(AttEncodingOf(coding));
    }
    try {
        NoteSkipped(ReadPartData(reader_, coding, {}, true, item.Data(), Throttle()));
    } catch (const EMessageParserError&) {
        throw;
    } catch (const std::exception&) {
        throw EMessageParserError("Error decoding the attachment");
    }
    message_.Attachments().Add(std::move(item));
}

void TmsMessageDecoder::ReadHeaderFields(const TmsHeaders& headers) {
    Message().ReadHeaderFields(headers);
}

void TmsArticleDecoder::ReadHeaderFields(const TmsHeaders& headers) {
    Message().ReadHeaderFields(headers);
}

}  // namespace kivo
