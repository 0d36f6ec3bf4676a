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

void TFrmAddressBook::SetNickname(std::string_view text) {
    if (TContact* row = Current()) {
        kivo::SetNickname(*row, text);
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

namespace {

// Whether an imported contact is one the book holds: they share an address, or neither has
// one and their names are the same.
bool SameContact(const TContact& row, const TContact& other) {
    const std::vector<std::string> mine = EmailsOf(row);
    const std::vector<std::string> theirs = EmailsOf(other);
    if (mine.empty() && theirs.empty()) {
        return EqualsNoCase(Trim(row.first), Trim(other.first)) &&
               EqualsNoCase(Trim(row.last), Trim(other.last));
    }
    return std::any_of(mine.begin(), mine.end(), [&](const std::string& a) {
        return std::any_of(theirs.begin(), theirs.end(),
                           [&](const std::string& b) { return EqualsNoCase(a, b); });
    });
}

// Gives the row what the other contact has and it lacks; true when it changed.
bool MergeInto(TContact& row, const TContact& other) {
    const TContact before = row;
    if (Trim(row.first).empty()) row.first = other.first;
    if (Trim(row.last).empty()) row.last = other.last;
    std::vector<std::string> emails = EmailsOf(row);
    for (const std::string& email : EmailsOf(other)) {
        const bool known = std::any_of(emails.begin(), emails.end(), [&](const std::string& e) {
            return EqualsNoCase(e, email);
        });
        if (!known) emails.push_back(email);
    }
    std::string joined;
    for (const std::string& email : emails) joined += (joined.empty() ? "" : ", ") + email;
    row.email = joined;
    // The book's own nickname stays: it is what the user types.
    const bool hasNick = !Nickname(row).empty();
    for (const std::string& line : other.extra) {
        if (hasNick && line.starts_with("NICKNAME")) continue;
        if (std::find(row.extra.begin(), row.extra.end(), line) == row.extra.end())
            row.extra.push_back(line);
    }
    return !(row == before);
}

}  // namespace

std::string ImportSummary(const TImportResult& result) {
    std::string text = std::to_string(result.added) +
                       (result.added == 1 ? " contact imported" : " contacts imported");
    if (!result.merged.empty()) text += ", " + std::to_string(result.merged.size()) + " merged";
    return text;
}

TImportResult TFrmAddressBook::Import(const std::vector<TContact>& contacts) {
    TImportResult result;
    for (const TContact& contact : contacts) {
        const auto row = std::find_if(rows_.begin(), rows_.end(),
                                      [&](const TContact& r) { return SameContact(r, contact); });
        if (row == rows_.end()) {
            Append(contact);
            ++result.added;
            continue;
        }
        if (MergeInto(*row, contact)) changed_ = true;
        result.merged.push_back(*row);
    }
    return result;
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
