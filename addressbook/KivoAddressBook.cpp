#include "addressbook/KivoAddressBook.h"

#include <algorithm>

#include "addressbook/namesort.h"
#include "base/bytes.h"

namespace kivo {

namespace {

constexpr std::size_t kEmailFieldMax = 1000;

void SortByFirstName(std::vector<TContact>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const TContact& a, const TContact& b) {
        return NameLess(a.first, b.first);
    });
}

}  // namespace

std::string JoinEmailField(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t cut = text.find_first_of("\r\n,;", start);
        pieces.push_back(Trim(text.substr(start, cut - start)));
        if (cut == std::string_view::npos) break;
        start = cut + 1;
    }
    if (pieces.size() == 1) return pieces[0];
    std::string joined;
    for (const std::string& piece : pieces) {
        if (piece.empty()) continue;
        if (!joined.empty()) joined += ", ";
        joined += piece;
    }
    return joined;
}

void TFrmAddressBook::Load(const std::filesystem::path& addressFile) {
    rows_ = ReadAddressBook(addressFile);
    SortByFirstName(rows_);
    selected_.reset();
    if (!rows_.empty()) selected_ = 0;
    changed_ = false;
    cancelArmed_ = false;
}

TContact* TFrmAddressBook::Current() {
    return selected_ ? &rows_.at(*selected_) : nullptr;
}

void TFrmAddressBook::Select(std::size_t row) {
    if (row < rows_.size()) selected_ = row;
}

void TFrmAddressBook::SetFirstName(std::string_view text) {
    if (TContact* row = Current()) {
        row->first = text;
        changed_ = true;
    }
}

void TFrmAddressBook::SetLastName(std::string_view text) {
    if (TContact* row = Current()) {
        row->last = text;
        changed_ = true;
    }
}

void TFrmAddressBook::SetEmail(std::string_view text) {
    if (text.size() >= kEmailFieldMax) return;
    if (TContact* row = Current()) {
        row->email = JoinEmailField(text);
        changed_ = true;
    }
}

void TFrmAddressBook::New() {
    Append({});
}

void TFrmAddressBook::Append(const TContact& contact) {
    rows_.push_back(contact);
    selected_ = rows_.size() - 1;
    changed_ = true;
}

int TFrmAddressBook::Import(const std::vector<TContact>& contacts) {
    int added = 0;
    for (const TContact& contact : contacts) {
        if (std::find(rows_.begin(), rows_.end(), contact) != rows_.end()) continue;
        Append(contact);
        ++added;
    }
    return added;
}

void TFrmAddressBook::Delete() {
    if (!selected_) return;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*selected_));
    changed_ = true;
    if (rows_.empty()) {
        selected_.reset();
    } else if (*selected_ >= rows_.size()) {
        selected_ = rows_.size() - 1;
    }
}

void TFrmAddressBook::OK(const std::filesystem::path& addressFile) {
    SortByFirstName(rows_);
    WriteAddressBook(addressFile, rows_);
    changed_ = false;
    cancelArmed_ = false;
}

bool TFrmAddressBook::Cancel() {
    if (!changed_ || cancelArmed_) return true;
    cancelArmed_ = true;
    return false;
}

void TFrmAddressBook::TipExpired() {
    cancelArmed_ = false;
}

}  // namespace kivo
