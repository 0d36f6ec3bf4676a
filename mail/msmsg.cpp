// The message classes: fields, the computed content type, validation, copying and the
// reading of typed fields from header lines.

#include "mail/msmsg.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "base/bytes.h"
#include "mail/headerfields.h"
#include "mail/msdecoder.h"
#include "mail/msencoder.h"

namespace kivo {

namespace {

std::string LowerBaseName(const TmsAttItem& item) {
    return LowerCase(AttachmentBaseName(item.FileName()));
}

// The sender is the first mailbox of the From field: a second one is another author, never
// the first one's display name (which would let a forger put any text there).
void ReadSender(const TmsHeaders& headers, TmsMailAddress& sender) {
    std::vector<std::string> items;
    headers.GetFieldValues("FROM:", items);
    const auto first = std::find_if(items.begin(), items.end(),
                                    [](const std::string& item) { return !item.empty(); });
    ParsedAddress parsed = ParseAddress(first == items.end() ? std::string() : *first);
    sender.SetAddress(parsed.address);
    sender.SetName(parsed.name);
}

void ReadAddressList(const TmsHeaders& headers, std::string_view name, TmsAddressList& list) {
    std::vector<std::string> items;
    headers.GetFieldValues(name, items);
    for (const std::string& item : items) {
        ParsedAddress parsed = ParseAddress(item);
        list.AddAddress(parsed.address, parsed.name);
    }
}

}  // namespace

// ---- TmsCustomMessage ----

void TmsCustomMessage::SetSubject(std::string_view subject) {
    subject_ = CutShort(subject);
}

void TmsCustomMessage::SetContentType(std::string_view type) {
    contentType_ = LowerCase(CutShort(type));
}

std::string TmsCustomMessage::ContentType() {
    contentType_ = ComputeContentType();
    return contentType_;
}

std::string TmsCustomMessage::ComputeContentType() const {
    std::size_t count = attachments_.Count();
    if (encoding_ == meUU) return {};
    bool allAlt = count > 0;
    for (const TmsAttItem& item : attachments_) {
        if (!LowerBaseName(item).starts_with("_alt.")) allAlt = false;
    }
    std::string single = count == 1 ? LowerBaseName(attachments_.Items(0)) : std::string();
    if (allAlt) return "multipart/alternative";
    if (count == 1 && body_.empty() && single == "_rtfbody.rtf") return "text/rtf";
    if (count == 1 && body_.empty() && single == "_htmbody.htm") return "text/html";
    if (!body_.empty()) {
        if (count > 0) return "multipart/mixed";
        // A stored multipart type without parts left would be written as a multipart message
        // with no closing boundary; plain text is what such a message holds.
        if (contentType_.empty() || contentType_.starts_with("multipart/")) return "text/plain";
        return contentType_;
    }
    if (count == 1) return attachments_.Items(0).ContentType();
    return count == 0 ? "text/plain" : "multipart/mixed";
}

void TmsCustomMessage::Validate() const {
    if (sender_.Address().empty()) throw EMessageError("The address of sender is required");
}

void TmsCustomMessage::LoadFromStream(std::istream& in, Platform* platform) {
    in.clear();
    in.seekg(0);
    if (!in) in.clear();  // a stream that cannot seek is read from where it stands
    std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LoadFromBytes(raw, platform);
}

void TmsCustomMessage::Clear() {
    body_.clear();
    attachments_.Clear();
    sender_.Clear();
    headers_.Clear();
    subject_.clear();
    encoding_ = meMIME;
    charSet_ = csUSASCII;
    bodyCharset_.clear();
    bodyType_.clear();
    decodeNotes_.clear();
    contentType_.clear();
}

void TmsCustomMessage::Assign(const TmsCustomMessage& other) {
    if (&other == this) return;
    std::string type = other.ComputeContentType();
    sender_ = other.sender_;
    subject_ = other.subject_;
    encoding_ = other.encoding_;
    charSet_ = other.charSet_;
    bodyCharset_ = other.bodyCharset_;
    bodyType_ = other.bodyType_;
    decodeNotes_ = other.decodeNotes_;
    headers_ = other.headers_;
    body_ = other.body_;
    attachments_ = other.attachments_;
    contentType_ = type;
    tag_ = other.tag_;
}

std::string TmsCustomMessage::SaveToString(Platform* platform) {
    std::ostringstream out;
    SaveToStream(out, platform);
    return std::move(out).str();
}

std::filesystem::path TmsCustomMessage::SaveAttachment(std::size_t index,
                                                       const std::filesystem::path& folder) const {
    const TmsAttItem& item = attachments_.Items(index);
    std::filesystem::path target = folder / SafeAttachmentName(item.FileName());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (out) out.write(item.Data().data(), static_cast<std::streamsize>(item.Data().size()));
    if (out) out.close();
    if (!out) {
        throw std::system_error(errno ? errno : EIO, std::generic_category(),
                                "cannot write " + target.string());
    }
    return target;
}

// ---- TmsMessage ----

void TmsMessage::Validate() const {
    TmsCustomMessage::Validate();
    for (const TmsAddressList* list : {&recipients_, &cc_, &bcc_}) {
        for (const TmsMailAddress& address : *list) {
            if (!address.Address().empty()) return;
        }
    }
    throw EMessageError("At least one Recipient, CC or BCC must be entered");
}

void TmsMessage::SaveToStream(std::ostream& out, Platform* platform) {
    TmsMessageEncoder(*this, out, platform).Encode();
}

void TmsMessage::LoadFromBytes(std::string_view raw, Platform* platform) {
    TmsMessageDecoder(raw, *this, platform).Decode();
}

void TmsMessage::Clear() {
    TmsCustomMessage::Clear();
    recipients_.Clear();
    cc_.Clear();
    bcc_.Clear();
}

void TmsMessage::ReadHeaderFields(const TmsHeaders& headers) {
    ReadSender(headers, Sender());
    ReadAddressList(headers, "TO", recipients_);
    ReadAddressList(headers, "CC", cc_);
    ReadAddressList(headers, "BCC", bcc_);
    std::string subject = headers.GetFieldValue("Subject");
    if (!subject.empty()) SetSubject(subject);
    std::string priority = headers.GetFieldValue("X-Priority");
    priority_ = priority == "1" ? ptHigh : priority == "5" ? ptLow : ptNormal;
    if (!headers.GetFieldValue("Return-receipt-to").empty()) returnReceipt_ = true;
    Headers() = headers;
}

void TmsMessage::Assign(const TmsCustomMessage& other) {
    if (&other == this) return;
    if (const auto* message = dynamic_cast<const TmsMessage*>(&other)) {
        recipients_ = message->recipients_;
        cc_ = message->cc_;
        bcc_ = message->bcc_;
        priority_ = message->priority_;
        returnReceipt_ = message->returnReceipt_;
    }
    TmsCustomMessage::Assign(other);
}

// ---- TmsArticle ----

void TmsArticle::Validate() const {
    TmsCustomMessage::Validate();
    if (newsGroups_.empty()) throw EMessageError("Newsgroup header is required");
    if (Subject().empty()) throw EMessageError("Subject header is required");
}

void TmsArticle::SaveToStream(std::ostream& out, Platform* platform) {
    TmsArticleEncoder(*this, out, platform).Encode();
}

void TmsArticle::LoadFromBytes(std::string_view raw, Platform* platform) {
    TmsArticleDecoder(raw, *this, platform).Decode();
}

void TmsArticle::Clear() {
    TmsCustomMessage::Clear();
    newsGroups_.clear();
    path_.clear();
    messageId_.clear();
}

void TmsArticle::ReadHeaderFields(const TmsHeaders& headers) {
    ReadSender(headers, Sender());
    path_ = headers.GetFieldValue("PATH");
    newsGroups_ = headers.GetFieldValue("NEWSGROUPS");
    messageId_ = headers.GetFieldValue("MESSAGE-ID");
    std::string subject = headers.GetFieldValue("Subject");
    if (!subject.empty()) SetSubject(subject);
    Headers() = headers;
}

void TmsArticle::Assign(const TmsCustomMessage& other) {
    if (&other == this) return;
    if (const auto* article = dynamic_cast<const TmsArticle*>(&other)) {
        newsGroups_ = article->newsGroups_;
    }
    TmsCustomMessage::Assign(other);
}

// ---- TmsMessageList ----

TmsListMessage& TmsMessageList::Add() {
    items_.push_back(std::make_unique<TmsListMessage>(*this, TmsListMessage::OwnerKey{}));
    return *items_.back();
}

void TmsMessageList::Delete(std::size_t index) {
    if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace kivo
