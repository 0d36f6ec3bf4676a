#pragma once
// The encoders behind SaveToStream: they write a message as RFC 822/MIME text with CR LF line
// ends, in the exact layout the program's own decoder and mailbox code read back. An encoder
// lives for one call. It changes the message as sending always has: body lines "." become
// "..", the fields it writes itself leave Headers, and an HTML or RTF body is replaced by its
// quoted-printable form. No output line is exactly ".", so none can end an SMTP transfer.

#include <iosfwd>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"
#include "mail/msmsg.h"

namespace kivo {

class TmsCustomEncoder {
public:
    TmsCustomEncoder(TmsCustomMessage& message, std::ostream& out, Platform* platform);
    virtual ~TmsCustomEncoder() = default;
    TmsCustomEncoder(const TmsCustomEncoder&) = delete;
    TmsCustomEncoder& operator=(const TmsCustomEncoder&) = delete;

    void Encode();

protected:
    virtual void WriteHeader() = 0;

    void WriteLine(std::string_view line);
    // Drops the fields the header writer emits itself from Headers and writes the rest.
    void WriteOtherHeaders();
    // A display name as written: quoted when it holds a "." (and no quote), and for
    // ISO-2022-JP MIME messages made an encoded word.
    std::string DisplayName(std::string_view name) const;
    // Subject text as written (an encoded word for ISO-2022-JP MIME messages).
    std::string SubjectText() const;
    TmsCustomMessage& Message() { return message_; }

private:
    void WriteUULayout();
    void WritePlainLayout();
    void WriteStyledLayout(const std::string& type);
    void WriteSinglePartLayout();
    void WriteMultipartLayout(const std::string& type);
    void WriteBodyTextSection();
    void WriteLines(const std::vector<std::string>& lines);
    void WriteAttachmentData(const TmsAttItem& item);
    std::string NewBoundary();
    void Flush();

    TmsCustomMessage& message_;
    std::ostream& stream_;
    std::optional<PumpThrottle> pump_;
    std::mt19937 random_;
    std::string buffer_;     // output not yet handed to the stream
    bool longLines_ = false;  // a body line of 256 characters or more
};

class TmsMessageEncoder : public TmsCustomEncoder {
public:
    TmsMessageEncoder(TmsMessage& message, std::ostream& out, Platform* platform)
        : TmsCustomEncoder(message, out, platform), message_(message) {}

protected:
    void WriteHeader() override;

private:
    void WriteAddressList(std::string_view name, const TmsAddressList& list);
    TmsMessage& message_;
};

class TmsArticleEncoder : public TmsCustomEncoder {
public:
    TmsArticleEncoder(TmsArticle& article, std::ostream& out, Platform* platform)
        : TmsCustomEncoder(article, out, platform), article_(article) {}

protected:
    void WriteHeader() override;

private:
    TmsArticle& article_;
};

}  // namespace kivo
