// The encoder's layouts: plain text, styled (HTML/RTF) text, a single part, multipart (mixed,
// alternative, and an alternative nested in mixed) and uuencoded files after the text.

#include "mail/msencoder.h"

#include <chrono>
#include <ostream>

#include "base/bytes.h"
#include "mail/base64.h"
#include "mail/encodedword.h"
#include "mail/linestream.h"
#include "mail/outcharset.h"
#include "mail/quotedprintable.h"
#include "mail/uucode.h"

namespace kivo {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;
constexpr std::string_view kTransferNames[] = {"7bit", "Base64", "Quoted-Printable"};

std::string LowerBaseName(const TmsAttItem& item) {
    return LowerCase(AttachmentBaseName(item.FileName()));
}

bool IsAltName(const TmsAttItem& item) {
    return LowerBaseName(item).starts_with("_alt.");
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// The charset parameter a text part needs: 8-bit text declares what it is (readers take
// undeclared text as US-ASCII); other types, ASCII text and a type that names its charset
// already get none.
std::string CharsetParameter(std::string_view contentType, std::string_view data) {
    if (!StartsWithNoCase(TrimView(contentType), "text/") ||
        FindNoCase(contentType, "charset=") != std::string::npos || IsAscii(data)) {
        return {};
    }
    return "; charset=" + Quoted(EightBitCharset(IsValidUtf8(data)));
}

std::string_view PlainTransferName(bool eightBit) {
    return eightBit ? "Content-Transfer-Encoding: 8bit" : "Content-Transfer-Encoding: 7bit";
}

}  // namespace

TmsCustomEncoder::TmsCustomEncoder(TmsCustomMessage& message, std::ostream& out, Platform* platform)
    : message_(message), stream_(out) {
    if (platform) pump_.emplace(*platform);
    // A "." line is written as it stands: dot-stuffing belongs to the SMTP client, and a
    // doubled dot in the text would reach the recipient as "..".
    for (const std::string& line : message_.Body()) {
        if (line.size() >= 256) longLines_ = true;
    }
}

void TmsCustomEncoder::WriteLine(std::string_view line) {
    buffer_.append(line);
    buffer_.append("\r\n");
    if (buffer_.size() >= kFlushSize) Flush();
}

void TmsCustomEncoder::WriteLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) WriteLine(line);
}

void TmsCustomEncoder::Flush() {
    stream_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    if (pump_) pump_->Tick();
}

void TmsCustomEncoder::Encode() {
    stream_.seekp(0);
    stream_.clear();  // a stream that cannot seek is written from where it stands
    WriteHeader();
    if (message_.Encoding() == meUU) {
        WriteUULayout();
    } else {
        const std::string type = message_.ContentType();
        const bool hasAttachment = message_.Attachments().Count() > 0;
        if (type == "multipart/mixed" || type == "multipart/alternative") {
            WriteMultipartLayout(type);
        } else if ((type == "text/html" || type == "text/rtf") &&
                   !(message_.Body().empty() && hasAttachment)) {
            // The source is in Body; when it is held as the one attachment "_htmbody.htm"
            // or "_rtfbody.rtf" instead, the single-part layout writes that attachment.
            WriteStyledLayout(type);
        } else if (!hasAttachment) {
            // Also for a stored single-part type with nothing to write as that part: the body
            // text is what the message holds.
            WritePlainLayout();
        } else {
            WriteSinglePartLayout();
        }
    }
    Flush();
    if (!stream_) throw std::ios_base::failure("cannot write the message");
}

std::string TmsCustomEncoder::DisplayName(std::string_view name) const {
    const bool japanese = message_.CharSet() == csISO2022jp && message_.Encoding() == meMIME;
    if (japanese && name.starts_with('\x1b')) return ISO2022JPWord(name);
    // 8-bit text goes out as encoded words, which need no quotes. A mailbox file (wrap-only
    // mode) keeps the text itself, as its index and view read it.
    if (!WrapOnlyMode() && !IsAscii(name)) return EncodeHeaderText(name);
    // Beyond ".", any character that would split or end the address ("Smith, Bob") asks for
    // quotes too; a name that carries its own quotes is left as it is.
    std::string result(name);
    if (result.find('"') == std::string::npos &&
        result.find_first_of(".,;:<>@()[]\\") != std::string::npos) {
        result = Quoted(result);
    }
    return result;
}

std::string TmsCustomEncoder::SubjectText() const {
    // Japanese text read in UTF-8 (no longer in its escape sequences) goes as other 8-bit text.
    if (message_.CharSet() == csISO2022jp && message_.Encoding() == meMIME &&
        message_.Subject().starts_with('\x1b')) {
        return ISO2022JPWord(message_.Subject());
    }
    return WrapOnlyMode() ? message_.Subject() : EncodeHeaderText(message_.Subject());
}

void TmsCustomEncoder::WriteOtherHeaders() {
    TmsHeaders& headers = message_.Headers();
    for (std::string_view name :
         {"From", "To", "CC", "BCC", "Return-Receipt-To", "X-Priority", "Subject", "Mime-Version",
          "Content-Type", "X-Encoding", "Content-Transfer-Encoding"}) {
        headers.RemoveField(name);
    }
    WriteLines(headers.Lines());
}

void TmsCustomEncoder::WriteBodyTextSection() {
    const TCharSet charSet = message_.CharSet();
    // 8-bit text is declared in the character set it is in; ASCII keeps its old labels.
    const bool eightBit = charSet != csISO2022jp && !IsAscii(message_.Body());
    // A mailbox file keeps the text as it is: wrapped or escaped, a long line such as an
    // "Attachment Converted:" line would no longer read back as one line.
    const bool quotedPrintable = !WrapOnlyMode() && (charSet == csISO8859 || longLines_ || eightBit);
    if (eightBit) {
        WriteLine("Content-Type: text/plain; charset=\"" +
                  std::string(EightBitCharset(IsValidUtf8(message_.Body()))) + "\"");
    } else if (charSet == csISO8859) {
        WriteLine("Content-Type: text/plain; charset=\"iso-8859-1\"");
    } else if (charSet == csISO2022jp) {
        WriteLine("Content-Type: text/plain; charset=\"iso-2022-jp\"");
    } else {
        WriteLine("Content-Type: text/plain; charset=\"us-ascii\"");
    }
    WriteLine(quotedPrintable ? "Content-Transfer-Encoding: quoted-printable"
                              : PlainTransferName(eightBit));
    WriteLine("");
    if (quotedPrintable) {
        WriteLines(EncodeQuotedPrintable(JoinLinesCrLf(message_.Body())));
    } else {
        WriteLines(message_.Body());
    }
}

void TmsCustomEncoder::WritePlainLayout() {
    WriteBodyTextSection();
}

void TmsCustomEncoder::WriteStyledLayout(const std::string& type) {
    std::string line = type == "text/html" ? "Content-Type: text/html" : "Content-Type: text/rtf";
    if (message_.CharSet() != csISO2022jp && !IsAscii(message_.Body())) {
        const bool utf8 = IsValidUtf8(message_.Body());
        line += "; charset=\"" + std::string(EightBitCharset(utf8)) + "\"";
    } else if (message_.CharSet() != csUSASCII) {
        line += "; charset=\"iso-8859-1\"";
    }
    WriteLine(line);
    if (WrapOnlyMode()) {
        // In a mailbox file the source stays as written, as for plain text.
        WriteLine(PlainTransferName(!IsAscii(message_.Body())));
        WriteLine("");
        WriteLines(message_.Body());
        return;
    }
    WriteLine("Content-Transfer-Encoding: quoted-printable");
    WriteLine("");
    message_.Body() = EncodeQuotedPrintable(JoinLinesCrLf(message_.Body()));
    WriteLines(message_.Body());
}

void TmsCustomEncoder::WriteSinglePartLayout() {
    const TmsAttItem& item = message_.Attachments().Items(0);
    const std::string name(AttachmentBaseName(item.FileName()));
    const std::string lower = LowerCase(name);
    const bool styledBody = lower == "_htmbody.htm" || lower == "_rtfbody.rtf";
    if (lower == "_htmbody.htm") {
        WriteLine("Content-Type: text/html" + CharsetParameter("text/html", item.Data()));
    } else if (lower == "_rtfbody.rtf") {
        WriteLine("Content-Type: text/rtf" + CharsetParameter("text/rtf", item.Data()));
    } else {
        WriteLine("Content-Type: " + item.ContentType() +
                  CharsetParameter(item.ContentType(), item.Data()) + "; name=" + Quoted(name));
    }
    WriteLine("Content-Transfer-Encoding: " + std::string(kTransferNames[item.Encoding()]));
    if (!styledBody) WriteLine("Content-Disposition: attachment; filename=" + Quoted(name));
    WriteLine("");
    WriteAttachmentData(item);
}

void TmsCustomEncoder::WriteMultipartLayout(const std::string& type) {
    const bool alternativeForm = type == "multipart/alternative";
    const TmsAttList& attachments = message_.Attachments();
    std::string boundary = NewBoundary();
    WriteLine("Content-Type: " + type + "; boundary=" + Quoted(boundary));
    WriteLine("");
    WriteLine("This is a multipart message in MIME format");
    WriteLine("");
    WriteLine("--" + boundary);
    std::string outer;
    bool nestedOpen = false;
    if (!alternativeForm && attachments.Count() > 0 && IsAltName(attachments.Items(0))) {
        outer = boundary;
        boundary = NewBoundary();
        nestedOpen = true;
        WriteLine("Content-Type:  multipart/alternative; boundary=" + Quoted(boundary));
        WriteLine("Content-Transfer-Encoding: 7bit");
        WriteLine("");
        WriteLine("--" + boundary);
    }
    if (!message_.Body().empty()) {
        WriteBodyTextSection();
        WriteLine("");
        WriteLine("--" + boundary);
    }
    for (std::size_t i = 0; i < attachments.Count(); ++i) {
        const TmsAttItem& item = attachments.Items(i);
        // The blank line after the previous part's data already separates it from the
        // boundary; a second one would become part of that data when read back.
        if (i > 0) WriteLine("--" + boundary);
        const std::string name(AttachmentBaseName(item.FileName()));
        const std::string lower = LowerCase(name);
        const bool styledBody = i == 0 && message_.Body().empty() &&
                                (lower == "_htmbody.htm" || lower == "_rtfbody.rtf");
        const bool named = !alternativeForm && !nestedOpen && !styledBody;
        WriteLine("Content-Type: " + item.ContentType() +
                  CharsetParameter(item.ContentType(), item.Data()) +
                  (named ? "; name=" + Quoted(name) : ""));
        WriteLine("Content-Transfer-Encoding: " + std::string(kTransferNames[item.Encoding()]));
        if (named) WriteLine("Content-Disposition: attachment; filename=" + Quoted(name));
        WriteLine("");
        WriteAttachmentData(item);
        // The line break before a boundary belongs to the boundary: text data that does not
        // end with a line break is closed by it, so the blank line would add one.
        if (item.Encoding() == aeBase64 || item.Data().empty() || item.Data().ends_with('\n') ||
            item.Data().ends_with('\r')) {
            WriteLine("");
        }
        if (i + 1 == attachments.Count()) {
            WriteLine("--" + boundary + "--");
        } else if (nestedOpen && !IsAltName(attachments.Items(i + 1))) {
            WriteLine("--" + boundary + "--");
            boundary = outer;
            nestedOpen = false;
        }
        if (pump_) pump_->Tick();
    }
}

void TmsCustomEncoder::WriteAttachmentData(const TmsAttItem& item) {
    switch (item.Encoding()) {
        case aeBase64: {
            // In pieces, so a large attachment is never held a second time as its encoding.
            Base64LineEncoder encoder;
            const std::string_view data = item.Data();
            constexpr std::size_t kPiece = kBase64LineBytes * 8192;
            for (std::size_t at = 0; at < data.size(); at += kPiece) {
                encoder.Encode(data.substr(at, kPiece), buffer_);
                if (buffer_.size() >= kFlushSize) Flush();
            }
            encoder.Finish(buffer_);
            if (buffer_.size() >= kFlushSize) Flush();
            break;
        }
        case aeQuotedPrintable:
            // Data is read back byte for byte, also from a mailbox file: never wrap-only.
            WriteLines(EncodeQuotedPrintable(item.Data(), false));
            break;
        case aeNone: {
            TLineStream reader(item.Data());
            std::string_view line;
            while (reader.ReadLine(line)) WriteLine(line);
            break;
        }
    }
}

void TmsCustomEncoder::WriteUULayout() {
    WriteLine("");
    WriteLines(message_.Body());
    for (const TmsAttItem& item : message_.Attachments()) {
        WriteLine("");
        WriteLine("begin 600 " + std::string(AttachmentBaseName(item.FileName())));
        std::string_view data = item.Data();
        while (true) {
            std::string_view chunk = data.substr(0, kUULineBytes);
            WriteLine(EncodeUULine(chunk));
            data.remove_prefix(chunk.size());
            if (chunk.size() < kUULineBytes) break;
        }
        WriteLine("`");
        WriteLine("end");
    }
}

std::string TmsCustomEncoder::NewBoundary() {
    if (pump_) pump_->Tick();
    std::random_device device;
    random_.seed(device() ^ static_cast<unsigned>(
                                std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> digit(0, 8);
    std::string boundary;
    for (int i = 0; i < 8; ++i) boundary += static_cast<char>('0' + digit(random_));
    return boundary;
}

}  // namespace kivo
