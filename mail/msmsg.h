#pragma once
// The message classes: one e-mail message (or news article) in memory with typed fields, the
// raw header lines, the body as a list of lines and the attachments as bytes. LoadFromStream
// fills a message from raw RFC 822/MIME text (the decoder, lenient: it never rejects a
// message); SaveToStream writes it back as MIME text (the encoder). Messages are values:
// copying or Assign copies everything deeply, including Tag.

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/msmsgcls.h"

namespace kivo {

class Platform;

enum TMsgEncoding { meMIME, meUU };
enum TCharSet { csUSASCII, csISO8859, csISO2022jp };
enum TPriority { ptLow, ptNormal, ptHigh };

// What every message has, and the operations each kind implements with its own encoder and
// decoder. The optional Platform runs its event pump during long work; without one nothing is
// pumped.
class TmsCustomMessage {
  public:
    virtual ~TmsCustomMessage() = default;

    TmsMailAddress& Sender() { return sender_; }
    const TmsMailAddress& Sender() const { return sender_; }
    const std::string& Subject() const { return subject_; }
    void SetSubject(std::string_view subject);  // keeps the first 255 bytes
    TMsgEncoding Encoding() const { return encoding_; }
    void SetEncoding(TMsgEncoding encoding) { encoding_ = encoding; }
    TCharSet CharSet() const { return charSet_; }
    void SetCharSet(TCharSet charSet) { charSet_ = charSet; }
    // The charset the body text's Content-Type declared, empty when none did. The decoder
    // keeps the text's bytes as they came; storing converts them to UTF-8 by this.
    const std::string& BodyCharsetName() const { return bodyCharset_; }
    void SetBodyCharsetName(std::string_view charset) { bodyCharset_ = charset; }
    // The type (lower case, no parameters) of the MIME part whose text is in Body; empty
    // when the body came without a Content-Type (plain text).
    const std::string& BodyType() const { return bodyType_; }
    void SetBodyType(std::string_view type) { bodyType_ = type; }
    // What the decoder had to mend to read the message (a missing closing boundary, bad
    // base64 characters skipped), one text per fault, for the progress log.
    const std::vector<std::string>& DecodeNotes() const { return decodeNotes_; }
    void AddDecodeNote(std::string text) { decodeNotes_.push_back(std::move(text)); }
    TmsHeaders& Headers() { return headers_; }
    const TmsHeaders& Headers() const { return headers_; }
    std::vector<std::string>& Body() { return body_; }
    const std::vector<std::string>& Body() const { return body_; }
    TmsAttList& Attachments() { return attachments_; }
    const TmsAttList& Attachments() const { return attachments_; }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    // The type the message will be written with, computed from its parts; the result is also
    // kept as the stored type.
    std::string ContentType();
    void SetContentType(std::string_view type);  // stored in lower case, at most 255 bytes
    const std::string& StoredContentType() const { return contentType_; }

    // Throws EMessageError when a field needed for sending is missing.
    virtual void Validate() const;
    // Writes the message as MIME text. Changes the message as sending always has: body lines
    // "." become "..", the header fields the encoder writes itself leave Headers, and an HTML
    // or RTF body is replaced by its quoted-printable form.
    virtual void SaveToStream(std::ostream& out, Platform* platform = nullptr) = 0;
    // Decodes raw message text, appending to the lists; call Clear first.
    void LoadFromStream(std::istream& in, Platform* platform = nullptr);
    // Same, from bytes already in memory (no copy is made of them).
    virtual void LoadFromBytes(std::string_view raw, Platform* platform = nullptr) = 0;
    // Empties the message for reuse.
    virtual void Clear();
    // Sets the typed fields from header lines and copies the lines into Headers.
    virtual void ReadHeaderFields(const TmsHeaders& headers) = 0;
    // Copies the common fields of `other` (deeply), its computed ContentType and its Tag.
    virtual void Assign(const TmsCustomMessage& other);

    // SaveToStream into a string.
    std::string SaveToString(Platform* platform = nullptr);
    // Writes attachment `index` into `folder` under its sanitised last name component; an
    // existing file is overwritten. Returns the path written. Throws std::system_error.
    std::filesystem::path SaveAttachment(std::size_t index,
                                         const std::filesystem::path& folder) const;

  protected:
    TmsCustomMessage() = default;
    TmsCustomMessage(const TmsCustomMessage&) = default;
    TmsCustomMessage& operator=(const TmsCustomMessage&) = default;

  private:
    std::string ComputeContentType() const;

    TmsMailAddress sender_;
    std::string subject_;
    TMsgEncoding encoding_ = meMIME;
    TCharSet charSet_ = csUSASCII;
    std::string bodyCharset_;
    std::string bodyType_;
    std::vector<std::string> decodeNotes_;
    TmsHeaders headers_;
    std::vector<std::string> body_;
    TmsAttList attachments_;
    std::string contentType_ = "text/plain";
    int tag_ = 0;
};

// An e-mail message: adds the recipient lists, priority and the return-receipt request.
class TmsMessage : public TmsCustomMessage {
  public:
    TmsMessage() = default;
    TmsMessage(const TmsMessage&) = default;
    TmsMessage& operator=(const TmsMessage&) = default;

    TmsAddressList& Recipients() { return recipients_; }
    const TmsAddressList& Recipients() const { return recipients_; }
    TmsAddressList& CC() { return cc_; }
    const TmsAddressList& CC() const { return cc_; }
    TmsAddressList& BCC() { return bcc_; }
    const TmsAddressList& BCC() const { return bcc_; }
    bool ReturnReceipt() const { return returnReceipt_; }
    void SetReturnReceipt(bool on) { returnReceipt_ = on; }
    TPriority Priority() const { return priority_; }
    void SetPriority(TPriority priority) { priority_ = priority; }

    void Validate() const override;
    void SaveToStream(std::ostream& out, Platform* platform = nullptr) override;
    void LoadFromBytes(std::string_view raw, Platform* platform = nullptr) override;
    // Leaves Priority and ReturnReceipt as they are.
    void Clear() override;
    void ReadHeaderFields(const TmsHeaders& headers) override;
    void Assign(const TmsCustomMessage& other) override;

  private:
    TmsAddressList recipients_;
    TmsAddressList cc_;
    TmsAddressList bcc_;
    bool returnReceipt_ = false;
    TPriority priority_ = ptNormal;
};

// A news article: newsgroups instead of recipients. The program reads articles but never
// sends them.
class TmsArticle : public TmsCustomMessage {
  public:
    TmsArticle() = default;
    TmsArticle(const TmsArticle&) = default;
    TmsArticle& operator=(const TmsArticle&) = default;

    const std::string& NewsGroups() const { return newsGroups_; }
    void SetNewsGroups(std::string_view groups) { newsGroups_ = groups; }
    const std::string& Path() const { return path_; }
    const std::string& MessageId() const { return messageId_; }

    void Validate() const override;
    void SaveToStream(std::ostream& out, Platform* platform = nullptr) override;
    void LoadFromBytes(std::string_view raw, Platform* platform = nullptr) override;
    void Clear() override;
    void ReadHeaderFields(const TmsHeaders& headers) override;
    void Assign(const TmsCustomMessage& other) override;

  private:
    std::string newsGroups_;
    std::string path_;
    std::string messageId_;
};

class TmsMessageList;

// A message that lives in a TmsMessageList (the POP3 client keeps a whole mailbox in one);
// only the list creates and destroys it.
class TmsListMessage : public TmsMessage {
    struct OwnerKey {};  // only TmsMessageList can make one

  public:
    TmsListMessage(TmsMessageList& owner, OwnerKey) : owner_(&owner) {}
    TmsListMessage(const TmsListMessage&) = delete;
    TmsListMessage& operator=(const TmsListMessage&) = delete;
    TmsMessageList& Owner() const { return *owner_; }

  private:
    friend class TmsMessageList;
    TmsMessageList* owner_;
};

// Owns a sequence of TmsListMessage; Add creates one at the end, Delete and Clear destroy.
class TmsMessageList {
  public:
    TmsMessageList() = default;
    TmsMessageList(const TmsMessageList&) = delete;
    TmsMessageList& operator=(const TmsMessageList&) = delete;

    TmsListMessage& Add();
    std::size_t Count() const { return items_.size(); }
    TmsListMessage& Items(std::size_t index) { return *items_.at(index); }
    const TmsListMessage& Items(std::size_t index) const { return *items_.at(index); }
    void Delete(std::size_t index);
    void Clear() { items_.clear(); }

  private:
    std::vector<std::unique_ptr<TmsListMessage>> items_;
};

}  // namespace kivo
