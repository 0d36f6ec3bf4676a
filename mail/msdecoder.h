#pragma once
// The decoders behind LoadFromStream: they turn raw RFC 822/MIME text into a message's typed
// fields, body lines and in-memory attachments. A decoder lives for one call. It is lenient
// as readers are: a multipart or a last part without its closing boundary ends at the end of
// the data and bad base64 characters are skipped, each noted in the message's DecodeNotes;
// only when the structure cannot be followed at all (no boundary line) it keeps what it
// decoded, appends an explanation to the body and attaches the whole raw message as
// "original.eml". It never rejects a message.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "mail/linestream.h"
#include "mail/msmsg.h"
#include "mail/mspartdata.h"

namespace kivo {

// The decoder's notes on mended faults (TmsCustomMessage::DecodeNotes).
inline constexpr std::string_view kNoteUnclosed =
    "Cannot find closing boundary: the last part was ended at the end of the message";
inline constexpr std::string_view kNoteBadBase64 = "Invalid characters in base64 data were skipped";
inline constexpr std::string_view kNoteNoBoundary =
    "Cannot find boundary: the text of the parts was read as it stands";

// What a part of a multipart stands for in the message; its leaves are named by it.
enum class PartRole {
    kBody,         // on the path of first parts: its first leaf is the body text
    kAlternative,  // another form of the body: an unnamed leaf is an "_alt." part
    kAttachment,   // beside the body: an unnamed leaf is an "att." part
    kInline,       // a resource of a related part (the picture an HTML part shows)
};

// One multipart being read.
struct MultipartFrame {
    std::string boundary;  // the boundary line: "--" + the boundary
    PartRole firstRole;    // what its first part stands for (what the multipart stands for)
    PartRole otherRole;    // what its other parts stand for
    bool alternative;      // a multipart/alternative
    bool digest;           // a multipart/digest: parts without a type are messages
    bool started = false;  // its first part has been met
};

class TmsCustomDecoder {
  public:
    // `raw` must outlive the decoder; it is read from its start and never copied.
    TmsCustomDecoder(std::string_view raw, TmsCustomMessage& message, Platform* platform);
    virtual ~TmsCustomDecoder() = default;
    TmsCustomDecoder(const TmsCustomDecoder&) = delete;
    TmsCustomDecoder& operator=(const TmsCustomDecoder&) = delete;

    void Decode();

  protected:
    // Hands the top-level header lines to the message's own field reader.
    virtual void ReadHeaderFields(const TmsHeaders& headers) = 0;
    TmsCustomMessage& Message() { return message_; }

  private:
    void ReadHeaderBlock(TmsHeaders& headers);
    void DecodeMime();
    void DecodePlain();
    void DecodeUUFiles(std::string_view beginLine);
    void DecodeSinglePartText(const std::string& contentType);
    void DecodeSinglePartAttachment(const std::string& contentType);
    void DecodeMultipart(const std::string& contentType, bool alternativeMessage);
    // Steps into a multipart whose header names `contentType`, standing in the message as
    // `role`: its boundary becomes current and its preamble is skipped.
    void EnterMultipart(const std::string& contentType, PartRole role, bool alternative);
    bool CanDescend(std::string_view contentType) const;
    // Whether the boundary line of the multipart `contentType` comes before the part that
    // holds it ends (before the end of the data at the top).
    bool BoundaryAhead(std::string_view contentType) const;
    // The part that is the message's text (the first plain-text or HTML part on the body's
    // path that is no attachment): its text into Body.
    PartEnd ReadBodyPart(const std::string& contentType);
    PartEnd ReadFirstPartText(PartCoding coding);
    PartEnd ReadBase64Text();
    // A part that is no multipart as an attachment.
    PartEnd DecodeLeafPart(PartRole role, const std::string& contentType);
    // After a part: whether another part follows; closes the multiparts that ended.
    bool ContinueAfterPart(PartEnd end);
    void ReadBodyText(bool quotedPrintable, bool base64);
    // Records what had to be mended, once per kind.
    void Note(std::string text);
    void NoteSkipped(const PartEnd& end);
    void AddErrorAttachment(const std::string& text);
    void Pump();
    // Pump for loops over lines: looks at the clock only every few thousand lines.
    void PumpLine() {
        if (pump_ && (++lines_ & 4095) == 0) pump_->Tick();
    }
    PumpThrottle* Throttle() { return pump_ ? &*pump_ : nullptr; }

    std::string_view raw_;
    TmsCustomMessage& message_;
    TLineStream reader_;
    std::optional<PumpThrottle> pump_;
    TmsHeaders topHeaders_;
    TmsHeaders partHeaders_;
    std::vector<MultipartFrame> frames_;  // the multiparts entered, the innermost last
    std::size_t parts_ = 0;               // parts met in all multiparts
    bool bodyTaken_ = false;              // a text part has become the body
    std::size_t lines_ = 0;
};

class TmsMessageDecoder : public TmsCustomDecoder {
  public:
    TmsMessageDecoder(std::string_view raw, TmsMessage& message, Platform* platform)
        : TmsCustomDecoder(raw, message, platform) {}

  protected:
    void ReadHeaderFields(const TmsHeaders& headers) override;
};

class TmsArticleDecoder : public TmsCustomDecoder {
  public:
    TmsArticleDecoder(std::string_view raw, TmsArticle& article, Platform* platform)
        : TmsCustomDecoder(raw, article, platform) {}

  protected:
    void ReadHeaderFields(const TmsHeaders& headers) override;
};

}  // namespace kivo
