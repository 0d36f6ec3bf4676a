#pragma once
// The decoders behind LoadFromStream: they turn raw RFC 822/MIME text into a message's typed
// fields, body lines and in-memory attachments. A decoder lives for one call. It is lenient:
// when the structure cannot be followed it keeps what it decoded, appends an explanation to
// the body and attaches the whole raw message as "original.eml"; it never rejects a message.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "mail/linestream.h"
#include "mail/mspartdata.h"
#include "mail/msmsg.h"

namespace kivo {

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
    // The first part's text into Body: nothing when it is left to the part loop, else whether
    // more parts follow.
    std::optional<bool> ReadFirstPart();
    PartEnd ReadFirstPartText(PartCoding coding);
    PartEnd ReadBase64Text();
    // One more part as an attachment; false when it was the last.
    bool DecodeNextPart(bool alternativeMessage);
    bool ContinueAfterPart(const PartEnd& end);
    void ReadBodyText(bool quotedPrintable, bool base64);
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
    std::string boundary_;       // the current boundary line: "--" + the boundary
    std::string outerBoundary_;  // set aside while a nested alternative is read
    bool nestedAlternative_ = false;
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
