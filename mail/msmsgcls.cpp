#include "mail/msmsgcls.h"

#include "base/bytes.h"
#include "base/files.h"
#include "mail/mimetypes.h"

namespace kivo {

TmsMailAddress::TmsMailAddress(std::string_view address, std::string_view name)
    : name_(CutShort(name)), address_(CutShort(address)) {}

void TmsMailAddress::SetName(std::string_view name) {
    name_ = CutShort(name);
}

void TmsMailAddress::SetAddress(std::string_view address) {
    address_ = CutShort(address);
}

void TmsMailAddress::Clear() {
    name_.clear();
    address_.clear();
}

std::size_t TmsAddressList::Add(TmsMailAddress address) {
    items_.push_back(std::move(address));
    return items_.size() - 1;
}

std::size_t TmsAddressList::AddAddress(std::string_view address, std::string_view name) {
    return Add(TmsMailAddress(address, name));
}

void TmsAttItem::SetFileName(std::string_view name) {
    fileName_ = CutShort(name);
    if (fileName_.empty()) return;
    SetContentType(ContentTypeForFile(AttachmentBaseName(fileName_)));
    if (EqualsNoCase(contentType_, "text/plain") || EqualsNoCase(contentType_, "text/rtf") ||
        EqualsNoCase(contentType_, "text/html")) {
        encoding_ = aeQuotedPrintable;
    } else if (EqualsNoCase(contentType_, "message/rfc822")) {
        encoding_ = aeNone;
    } else {
        encoding_ = aeBase64;
    }
}

void TmsAttItem::SetContentType(std::string_view type) {
    contentType_ = CutShort(type);
}

void TmsAttItem::SetContentID(std::string_view id) {
    contentId_ = CutShort(id);
}

void TmsAttItem::SetCharsetName(std::string_view charset) {
    charsetName_ = CutShort(charset);
}

std::size_t TmsAttList::Add(TmsAttItem item) {
    items_.push_back(std::move(item));
    return items_.size() - 1;
}

void TmsAttList::Delete(std::size_t index) {
    if (index >= items_.size()) return;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TmsAttList::AddFile(const std::string& fileName) {
    TmsAttItem item;
    item.Data() = ReadFileBytes(fileName);
    item.SetFileName(fileName);
    items_.push_back(std::move(item));
}

std::string_view AttachmentBaseName(std::string_view fileName) {
    std::size_t cut = fileName.find_last_of("/\\");
    return cut == std::string_view::npos ? fileName : fileName.substr(cut + 1);
}

std::string SafeAttachmentName(std::string_view fileName) {
    std::string name;
    for (char c : AttachmentBaseName(fileName)) {
        auto code = static_cast<unsigned char>(c);
        if (code >= 32 && code != 127) name += c;
    }
    name = Trim(name);
    if (name.empty() || name == "." || name == "..") return "attachment";
    return name;
}

}  // namespace kivo
