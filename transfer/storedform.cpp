#include "transfer/storedform.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "base/htmlentity.h"
#include "mail/msdecoder.h"
#include "mail/outcharset.h"
#include "mail/quotedprintable.h"
#include "mail/utf8text.h"
#include "store/freename.h"
#include "store/mbxfile.h"
#include "transfer/spooledparts.h"

namespace kivo {

namespace {

namespace fs = std::filesystem;

// A file name must stay well below the file system's limit of 255 bytes after numbering.
constexpr std::size_t kMaxBaseName = 180;
constexpr std::size_t kMaxExtension = 16;

// Makes a new file `base` + `extension` in the folder of `names`, numbering the base name
// while the name is taken, and lets `fill` write its bytes; never overwrites a file, also
// one created meanwhile. A file that could not be filled is removed.
fs::path SaveNewFile(TFreeNames& names, std::string_view base, std::string_view extension,
                     const std::function<void(int fd, const fs::path& path)>& fill) {
    for (;;) {
        const fs::path path = names.Take(base, extension);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
        try {
            names.Created(path);
            fill(fd, path);
        } catch (...) {
            ::close(fd);
            ::unlink(path.c_str());
            throw;
        }
        if (::close(fd) != 0) {
            const int err = errno;
            ::unlink(path.c_str());
            throw std::system_error(err, std::generic_category(), path.string());
        }
        return path;
    }
}

// The decoded message's own text in UTF-8: the body by its declared charset, the subject and
// the display names (whose encoded words the decoder read in UTF-8 already) where a sender
// wrote 8-bit bytes without encoding them. The text is then written as UTF-8, not in the
// charset and transfer encoding it came in.
void ConvertToUtf8(TmsMessage& msg) {
    Utf8Converter converter(msg.BodyCharsetName());
    for (std::string& line : msg.Body()) line = converter.Convert(line);
    msg.SetSubject(ToUtf8(msg.Subject(), ""));
    msg.Sender().SetName(ToUtf8(msg.Sender().Name(), ""));
    for (TmsAddressList* list : {&msg.Recipients(), &msg.CC(), &msg.BCC()}) {
        TmsAddressList converted;
        for (const TmsMailAddress& address : *list) {
            converted.AddAddress(address.Address(), ToUtf8(address.Name(), ""));
        }
        *list = std::move(converted);
    }
    msg.SetCharSet(csUSASCII);
}

// Splits a safe file name into base and extension (the extension with its dot); a name that
// is not UTF-8 is read as Windows-1252, so every saved file has a UTF-8 name.
std::pair<std::string, std::string> SplitName(std::string_view fileName) {
    const std::string name = SafeAttachmentName(ToUtf8(fileName, ""));
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtension) {
        dot = name.size();
    }
    std::string base = name.substr(0, std::min(dot, kMaxBaseName));
    return {base, name.substr(dot)};
}

bool HasField(const TmsHeaders& headers, std::string_view name) {
    for (const std::string& line : headers) {
        if (StartsWithNoCase(line, name) && line.size() > name.size() && line[name.size()] == ':') {
            return true;
        }
    }
    return false;
}

// The lines of a text part kept in the stored body, and whether they are HTML.
struct TextPiece {
    std::vector<std::string> lines;
    bool html = false;
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string AttachmentLine(const fs::path& file) {
    return "Attachment Converted: \"" + file.string() + "\"";
}

std::string ContentIdLine(std::string_view contentId, const fs::path& file) {
    return std::string(kContentIdField) + ": <" + std::string(contentId) + "> \"" + file.string() +
           "\"";
}

ReceivedMessage ConvertReceived(std::string_view raw, const fs::path& folder, Platform* platform) {
    TFreeNames names(folder);
    return ConvertReceived(raw, names, platform);
}

namespace {

// ConvertReceived of raw text in which the data of the parts in `spooled` is a token (the
// key); their data is decoded from `spool`.
ReceivedMessage ConvertReduced(std::string_view raw, TFreeNames& names, Platform* platform,
                               const TSpoolFile* spool,
                               const std::map<std::string, TSpooledPart>* spooled);

}  // namespace

ReceivedMessage ConvertReceived(const TSpoolFile& raw, TFreeNames& names, Platform* platform,
                                std::uint64_t minSpooledPart) {
    if (raw.Size() >= 16 * minSpooledPart) {
        if (std::optional<TReducedMessage> reduced = ReduceSpooled(raw, minSpooledPart))
            return ConvertReduced(reduced->text, names, platform, &raw, &reduced->parts);
    }
    return ConvertReceived(raw.ReadAll(), names, platform);
}

ReceivedMessage ConvertReceived(std::string_view raw, TFreeNames& names, Platform* platform) {
    return ConvertReduced(raw, names, platform, nullptr, nullptr);
}

namespace {

ReceivedMessage ConvertReduced(std::string_view raw, TFreeNames& names, Platform* platform,
                               const TSpoolFile* spool,
                               const std::map<std::string, TSpooledPart>* spooled) {
    ReceivedMessage received;
    TmsMessage& msg = received.message;
    msg.LoadFromBytes(raw, platform);
    const bool hadParts = msg.Attachments().Count() > 0;
    // The message's own type as its parts make it (multipart/mixed for a body with parts).
    const std::string ownType = LowerCase(msg.ContentType());

    std::vector<TextPiece> textParts;
    std::vector<std::string> htmlLines;
    std::vector<std::string> attachmentLines;
    // A sender's own line of that name must not point the view at files of its choosing.
    while (HasField(msg.Headers(), kContentIdField)) msg.Headers().RemoveField(kContentIdField);
    std::vector<std::string> idLines;
    auto saveFile = [&](std::string_view base, std::string_view ext, const TmsAttItem& part) {
        const TSpooledPart* left = nullptr;
        if (spooled) {
            if (const auto found = spooled->find(part.Data()); found != spooled->end())
                left = &found->second;
        }
        if (left) {
            // A large part, still in the spool file: decoded from there into its file.
            received.files.push_back(
                SaveNewFile(names, base, ext, [&](int fd, const fs::path& path) {
                    const std::vector<std::string>& notes = msg.DecodeNotes();
                    if (WriteSpooledPart(*spool, *left, fd, path) > 0 &&
                        std::find(notes.begin(), notes.end(), kNoteBadBase64) == notes.end())
                        msg.AddDecodeNote(std::string(kNoteBadBase64));
                }));
        } else {
            received.files.push_back(
                SaveNewFile(names, base, ext, [&](int fd, const fs::path& path) {
                    WriteToFile(fd, part.Data(), path);
                }));
        }
        attachmentLines.push_back(AttachmentLine(received.files.back()));
        if (!part.ContentID().empty()) {
            idLines.push_back(ContentIdLine(part.ContentID(), received.files.back()));
        }
    };
    // Text parts join the stored body in UTF-8, converted from the charset each declared.
    auto append = [](std::vector<std::string>& to, const TmsAttItem& part) {
        Utf8Converter converter(part.CharsetName());
        for (const std::string& line : SplitLines(part.Data())) {
            to.push_back(converter.Convert(line));
        }
    };

    for (const TmsAttItem& part : msg.Attachments()) {
        const std::string& name = part.FileName();
        const std::string type = LowerCase(part.ContentType());
        const bool unnamedText = StartsWith(name, "att.");
        const bool alternative = StartsWith(name, "_alt.");
        if (unnamedText || alternative) {
            if (type == "message/rfc822") {
                saveFile("Attached Message 1", ".html", part);
            } else if (type.starts_with("text") && unnamedText) {
                append(textParts.emplace_back(TextPiece{{}, type == "text/html"}).lines, part);
            } else if (type == "text/html" && alternative) {
                append(htmlLines, part);
            } else if (!type.starts_with("text")) {
                const auto [base, ext] = SplitName(name);
                saveFile(base, ext, part);
            }
            // Any other text part is the plain alternative of an HTML part: dropped.
            continue;
        }
        const auto [base, ext] = SplitName(name);
        saveFile(base, ext, part);
    }
    msg.Attachments().Clear();
    for (std::string& line : idLines) msg.Headers().Add(std::move(line));

    std::vector<std::string>& body = msg.Body();
    ConvertToUtf8(msg);
    // A message of parts is stored as HTML only when an HTML part is kept; its plain text
    // then joins as escaped lines, so it shows as written and never renders as markup.
    const bool bodyHtml = LowerCase(msg.BodyType()) == "text/html" || ownType == "text/html";
    const bool html = !htmlLines.empty() || (bodyHtml && !body.empty()) ||
                      std::any_of(textParts.begin(), textParts.end(),
                                  [](const TextPiece& piece) { return piece.html; });
    if (!htmlLines.empty()) {
        body = std::move(htmlLines);
    } else if (html && !bodyHtml) {
        for (std::string& line : body) line = TextLineAsHtml(line);
    }
    for (TextPiece& piece : textParts) {
        for (std::string& line : piece.lines) {
            body.push_back(html && !piece.html ? TextLineAsHtml(line) : std::move(line));
        }
    }
    body.insert(body.end(), attachmentLines.begin(), attachmentLines.end());
    if (hadParts && ownType.starts_with("multipart")) {
        received.storedType = html ? "text/html" : "text/plain";
    } else {
        received.storedType = ownType;
        // Old mailers send HTML declared as plain text.
        for (std::size_t i = 0; i < body.size() && i < 10; ++i) {
            if (FindNoCase(body[i], "<html>") != std::string::npos) {
                received.storedType = "text/html";
            }
        }
    }
    if (!IsAscii(body) && received.storedType.starts_with("text/")) {
        received.storedType += "; charset=\"utf-8\"";
    }
    return received;
}

}  // namespace

std::vector<std::string> StoredLines(ReceivedMessage& received, std::string_view account) {
    // The header lines come from a copy without the body: the body may be large, and is
    // taken over as it is.
    std::vector<std::string> body = std::move(received.message.Body());
    received.message.Body().clear();
    TmsMessage copy = received.message;
    received.message.Body() = std::move(body);
    copy.Body() = {""};
    std::string text;
    {
        WrapOnlyScope wrapOnly;
        text = copy.SaveToString();
    }
    std::vector<std::string> lines = SplitLines(text);
    const std::vector<std::string>& stored = received.message.Body();
    lines.insert(lines.end(), stored.begin(), stored.end());
    ChangeSingleHeader("Content-Type:", received.storedType, lines);
    ChangeSingleHeader("X-Account:", account, lines);
    ChangeSingleHeader("Status:", "U", lines);
    for (std::string& line : lines) {
        if (IsSeparator(line)) line.insert(0, ">");
    }
    return lines;
}

}  // namespace kivo
