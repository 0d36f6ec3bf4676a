#pragma once
// The companions of a message: mail addresses and their lists, attachments held in memory and
// their list, and the raw header lines with their field operations. All of them are values:
// copying one copies everything it holds, so two messages never share a list or a byte buffer.
// Text is 8-bit bytes without charset conversion; the short fields keep at most 255 bytes.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mail/mserrors.h"

namespace kivo {

// One mailbox address with its display name (the name may be empty).
class TmsMailAddress {
  public:
    TmsMailAddress() = default;
    TmsMailAddress(std::string_view address, std::string_view name);

    const std::string& Name() const { return name_; }
    const std::string& Address() const { return address_; }
    void SetName(std::string_view name);        // keeps the first 255 bytes
    void SetAddress(std::string_view address);  // keeps the first 255 bytes
    void Assign(const TmsMailAddress& other) { *this = other; }
    void Clear();

    bool operator==(const TmsMailAddress&) const = default;

  private:
    std::string name_;
    std::string address_;
};

// An ordered list of addresses (To, CC, BCC) that owns its entries.
class TmsAddressList {
  public:
    std::size_t Count() const { return items_.size(); }
    TmsMailAddress& Items(std::size_t index) { return items_.at(index); }
    const TmsMailAddress& Items(std::size_t index) const { return items_.at(index); }
    std::size_t Add(TmsMailAddress address);
    // Note the order: the address first, the display name second.
    std::size_t AddAddress(std::string_view address, std::string_view name);
    void Clear() { items_.clear(); }
    void Assign(const TmsAddressList& other) { *this = other; }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    bool operator==(const TmsAddressList&) const = default;

  private:
    std::vector<TmsMailAddress> items_;
};

// Transfer encoding of one attachment, in this order.
enum TAttEncoding { aeNone, aeBase64, aeQuotedPrintable };

// One attachment held in memory. FileName may be a full path (an attachment added from disk);
// only its last component is ever written into a message or used to name a saved file.
class TmsAttItem {
  public:
    const std::string& FileName() const { return fileName_; }
    // Stores the name; a non-empty name also sets ContentType from the file-type table and
    // Encoding from that type (text types quoted-printable, message/rfc822 none, else base64).
    void SetFileName(std::string_view name);
    const std::string& ContentType() const { return contentType_; }
    void SetContentType(std::string_view type);  // keeps the first 255 bytes
    TAttEncoding Encoding() const { return encoding_; }
    void SetEncoding(TAttEncoding encoding) { encoding_ = encoding; }
    // The part's Content-ID without its angle brackets (a picture an HTML part shows as
    // "cid:..."), empty when it had none. Never written by the encoder.
    const std::string& ContentID() const { return contentId_; }
    void SetContentID(std::string_view id);  // keeps the first 255 bytes
    // The charset the part's Content-Type declared ("iso-8859-2"), empty when none. Text parts
    // keep their bytes in it until the message is stored.
    const std::string& CharsetName() const { return charsetName_; }
    void SetCharsetName(std::string_view charset);  // keeps the first 255 bytes
    // The attachment's bytes, exactly as decoded or loaded.
    std::string& Data() { return data_; }
    const std::string& Data() const { return data_; }
    void Assign(const TmsAttItem& other) { *this = other; }

    bool operator==(const TmsAttItem&) const = default;

  private:
    std::string fileName_;
    std::string contentType_;
    TAttEncoding encoding_ = aeNone;
    std::string contentId_;
    std::string charsetName_;
    std::string data_;
};

// An ordered list of attachments that owns its items.
class TmsAttList {
  public:
    std::size_t Count() const { return items_.size(); }
    TmsAttItem& Items(std::size_t index) { return items_.at(index); }
    const TmsAttItem& Items(std::size_t index) const { return items_.at(index); }
    std::size_t Add(TmsAttItem item);
    void Delete(std::size_t index);
    void Clear() { items_.clear(); }
    void Assign(const TmsAttList& other) { *this = other; }
    // Appends an item named `fileName` (kept as given) holding the whole file. Throws
    // std::system_error when the file cannot be read; nothing is appended then.
    void AddFile(const std::string& fileName);

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    bool operator==(const TmsAttList&) const = default;

  private:
    std::vector<TmsAttItem> items_;
};

// The raw header lines of a message, one physical line per entry exactly as received (a folded
// field takes several entries; continuations begin with a blank or a tab). Names compare
// without regard to case.
class TmsHeaders {
  public:
    std::size_t Count() const { return lines_.size(); }
    const std::string& operator[](std::size_t index) const { return lines_.at(index); }
    std::string& operator[](std::size_t index) { return lines_.at(index); }
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Insert(std::size_t index, std::string line);
    void Delete(std::size_t index);
    void Clear() { lines_.clear(); }
    // Index of the first line equal to `line`, or -1.
    long IndexOf(std::string_view line) const;
    // Every line followed by CR LF.
    std::string Text() const;
    std::vector<std::string>& Lines() { return lines_; }
    const std::vector<std::string>& Lines() const { return lines_; }

    // The value of the first field `name` (":" appended when missing), continuations joined
    // with one blank. Except for Content-Type and X-UIDL the value is cut to 255 bytes and its
    // encoded words are decoded.
    std::string GetFieldValue(std::string_view name) const;
    // Clears `list` and collects the comma-separated items of every field `name` ("To", "Cc").
    void GetFieldValues(std::string_view name, std::vector<std::string>& list) const;
    // Removes the first field `name` with its continuation lines.
    void RemoveField(std::string_view name);
    // Drops the first empty line and everything after it.
    void CutAtBlankLine();

    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }
    bool operator==(const TmsHeaders&) const = default;

  private:
    std::vector<std::string> lines_;
};

// The last path component of an attachment's FileName ("/" and "\" both separate).
std::string_view AttachmentBaseName(std::string_view fileName);

// A file name that is safe to create inside a folder, made from a name the sender chose: its
// last component without control characters; "", "." and ".." become "attachment".
std::string SafeAttachmentName(std::string_view fileName);

}  // namespace kivo
