#include "store/KivoIndex.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <unordered_set>

#include "base/bytes.h"
#include "base/datetime.h"

namespace kivo {

namespace {

constexpr std::string_view kCriterionTexts[kShowCriterionCount] = {
    "everything",    "subject",         "from", "date", "size", "to", "priority", "unread", "read",
    "with attached", "without attached"};

const std::string& ColumnText(const TIndexItem& item, int column) {
    switch (column) {
        case icSubject:
            return item.Subject;
        case icFrom:
            return item.From;
        case icDate:
            return item.Date;
        case icSize:
            return item.Size;
        case icTo:
            return item.To;
        default:
            return item.Priority;
    }
}

// Text order without regard to case, byte by byte.
int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(LowerChar(a[i]));
        const auto cb = static_cast<unsigned char>(LowerChar(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// A sort key for the Date and Size columns; entries whose value cannot be read get no key
// and sort before all others, which keeps the order strict (std::sort needs that).
std::optional<long long> NumericKey(const TIndexItem& item, int column) {
    if (column == icSize) {
        int size = 0;
        if (ParseInt(item.Size, size)) return size;
        return std::nullopt;
    }
    std::optional<DateTime> date = ParseProgramDate(item.Date);
    if (!date) return std::nullopt;
    return ((((static_cast<long long>(date->year) * 12 + date->month) * 31 + date->day) * 24 +
             date->hour) *
                60 +
            date->minute) *
               60 +
           date->second;
}

}  // namespace

std::string_view ShowCriterionText(int criterion) {
    if (criterion < 0 || criterion >= kShowCriterionCount) return {};
    return kCriterionTexts[criterion];
}

bool ShowCriterionTakesText(int criterion) {
    return criterion >= scSubject && criterion <= scPriority;
}

void TFrmIndex::ClearEntries() {
    items_.clear();
    shown_.clear();
    selected_.clear();
    focused_ = -1;
}

void TFrmIndex::AddIndexItem(TIndexItem item) {
    item.Tagged = false;
    items_.push_back(std::move(item));
    if (HidingRest()) shown_.push_back(static_cast<std::uint32_t>(items_.size() - 1));
    selected_.push_back(0);
}

int TFrmIndex::RowCount() const {
    return static_cast<int>(HidingRest() ? shown_.size() : items_.size());
}

const TIndexItem& TFrmIndex::Row(int row) const {
    return HidingRest() ? items_[shown_[static_cast<std::size_t>(row)]]
                        : items_[static_cast<std::size_t>(row)];
}

TIndexItem& TFrmIndex::MutableRow(int row) {
    return const_cast<TIndexItem&>(Row(row));
}

std::vector<int> TFrmIndex::SelectedNumbers() const {
    std::vector<int> numbers;
    for (int row : SelectedRows()) numbers.push_back(Row(row).Number);
    return numbers;
}

int TFrmIndex::RowOfNumber(int number) const {
    for (int row = 0; row < RowCount(); ++row) {
        if (Row(row).Number == number) return row;
    }
    return -1;
}

void TFrmIndex::Tag(TIndexItem& item) const {
    switch (criterion_) {
        case scEverything:
            item.Tagged = false;
            break;
        case scUnread:
            item.Tagged = item.Unread;
            break;
        case scRead:
            item.Tagged = !item.Unread;
            break;
        case scWithAttached:
            item.Tagged = item.HasAttachment;
            break;
        case scWithoutAttached:
            item.Tagged = !item.HasAttachment;
            break;
        default:
            item.Tagged = FindNoCase(ColumnText(item, criterion_ - scSubject), showText_) !=
                          std::string::npos;
    }
}

void TFrmIndex::ApplyFilter(int criterion, std::string_view text, bool hideRest) {
    criterion_ = (criterion >= 0 && criterion < kShowCriterionCount) ? criterion : scEverything;
    showText_ = std::string(text);
    hideRest_ = hideRest;
    for (TIndexItem& item : items_) Tag(item);
    RebuildShown();
    selected_.assign(static_cast<std::size_t>(RowCount()), 0);
    focused_ = -1;
}

void TFrmIndex::RebuildShown() {
    shown_.clear();
    if (!HidingRest()) return;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].Tagged) shown_.push_back(static_cast<std::uint32_t>(i));
    }
}

void TFrmIndex::SortByColumn(TIndexColumn column) {
    std::vector<int> numbers = SelectedNumbers();
    sortColumn_ = column;
    ascending_ = !ascending_;

    // Sort a permutation of the rows with precomputed keys, then apply it.
    const int rows = RowCount();
    std::vector<std::uint32_t> order(static_cast<std::size_t>(rows));
    std::iota(order.begin(), order.end(), 0u);
    auto less = [&](auto&& key) {
        return [&, key](std::uint32_t a, std::uint32_t b) {
            return ascending_ ? key(a, b) : key(b, a);
        };
    };
    if (column == icDate || column == icSize) {
        std::vector<std::optional<long long>> keys(order.size());
        for (int r = 0; r < rows; ++r)
            keys[static_cast<std::size_t>(r)] = NumericKey(Row(r), column);
        std::stable_sort(order.begin(), order.end(), less([&](std::uint32_t a, std::uint32_t b) {
                             return keys[a] < keys[b];  // no key sorts first
                         }));
    } else {
        std::stable_sort(order.begin(), order.end(), less([&](std::uint32_t a, std::uint32_t b) {
                             return CompareNoCase(ColumnText(Row(static_cast<int>(a)), column),
                                                  ColumnText(Row(static_cast<int>(b)), column)) < 0;
                         }));
    }
    if (HidingRest()) {
        std::vector<std::uint32_t> shown;
        shown.reserve(order.size());
        for (std::uint32_t r : order) shown.push_back(shown_[r]);
        shown_ = std::move(shown);
    } else {
        std::vector<TIndexItem> items;
        items.reserve(order.size());
        for (std::uint32_t r : order) items.push_back(std::move(items_[r]));
        items_ = std::move(items);
    }
    const std::unordered_set<int> wanted(numbers.begin(), numbers.end());
    selected_.assign(static_cast<std::size_t>(rows), 0);
    for (int row = 0; row < rows; ++row) {
        if (wanted.contains(Row(row).Number)) selected_[static_cast<std::size_t>(row)] = 1;
    }
}

bool TFrmIndex::IsSelected(int row) const {
    return row >= 0 && row < static_cast<int>(selected_.size()) &&
           selected_[static_cast<std::size_t>(row)];
}

void TFrmIndex::SetSelected(int row, bool selected) {
    if (row >= 0 && row < static_cast<int>(selected_.size())) {
        selected_[static_cast<std::size_t>(row)] = selected ? 1 : 0;
    }
}

void TFrmIndex::SelectOnly(int row) {
    ClearSelection();
    SetSelected(row, true);
    if (row >= 0 && row < RowCount()) focused_ = row;
}

void TFrmIndex::SelectAll() {
    std::fill(selected_.begin(), selected_.end(), 1);
}

void TFrmIndex::InvertSelection() {
    for (char& s : selected_) s = s ? 0 : 1;
}

void TFrmIndex::SelectTagged() {
    if (!FilterActive()) return;
    for (int row = 0; row < RowCount(); ++row) SetSelected(row, Row(row).Tagged);
}

void TFrmIndex::ClearSelection() {
    std::fill(selected_.begin(), selected_.end(), 0);
}

std::vector<int> TFrmIndex::SelectedRows() const {
    std::vector<int> rows;
    for (std::size_t r = 0; r < selected_.size(); ++r) {
        if (selected_[r]) rows.push_back(static_cast<int>(r));
    }
    return rows;
}

int TFrmIndex::FindBySubject(std::string_view typed, int start, bool wrap) const {
    const int rows = RowCount();
    for (int i = 0; i < rows; ++i) {
        int row = start + i;
        if (row >= rows) {
            if (!wrap) return -1;
            row -= rows;
        }
        if (StartsWithNoCase(Row(row).Subject, typed)) return row;
    }
    return -1;
}

void TFrmIndex::ToggleUnread(bool singleEntry) {
    auto toggle = [this](TIndexItem& item, bool unread) {
        if (item.Unread == unread) return;
        item.Unread = unread;
        item.Icon += unread ? -2 : 2;
        Saved = false;
    };
    if (singleEntry) {
        if (focused_ >= 0 && focused_ < RowCount()) toggle(MutableRow(focused_), false);
        return;
    }
    for (int row : SelectedRows()) {
        TIndexItem& item = MutableRow(row);
        toggle(item, !item.Unread);
    }
}

void TFrmIndex::UpdateIndexIcons(int row, char letter) {
    if (row < 0 || row >= RowCount()) return;
    TIconGroup group = GroupFromLetters(std::string_view(&letter, 1));
    if (group == igNone) return;
    TIndexItem& item = MutableRow(row);
    item.Icon = 4 * group + item.Icon % 4;
    Saved = false;
}

std::vector<TIndexItem> TFrmIndex::RemoveSelected() {
    std::vector<TIndexItem> removed;
    std::vector<char> drop(items_.size(), 0);
    for (int row : SelectedRows()) {
        std::size_t pos =
            HidingRest() ? shown_[static_cast<std::size_t>(row)] : static_cast<std::size_t>(row);
        drop[pos] = 1;
        removed.push_back(items_[pos]);
    }
    if (removed.empty()) return removed;
    // New positions of the kept entries, so the shown rows can follow.
    std::vector<std::uint32_t> newPos(items_.size(), 0);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        newPos[i] = static_cast<std::uint32_t>(kept);
        if (!drop[i]) items_[kept++] = std::move(items_[i]);
    }
    items_.resize(kept);
    if (HidingRest()) {
        std::vector<std::uint32_t> shown;
        for (std::uint32_t pos : shown_) {
            if (!drop[pos]) shown.push_back(newPos[pos]);
        }
        shown_ = std::move(shown);
    }
    selected_.assign(static_cast<std::size_t>(RowCount()), 0);
    Saved = false;
    return removed;
}

TCellLook TFrmIndex::CellLook(int row, int column, const TIndexLook& look) const {
    const TIndexItem& item = Row(row);
    TCellLook cell{item.Unread, look.listText, look.listBack};
    if (FilterActive()) {
        if (item.Tagged) {
            cell.text = look.tagFontColour;
            cell.back = look.tagColour;
        } else {
            cell.text = kUntaggedGrey;
        }
    } else if (look.shadeCols) {
        if (look.horShade) {
            const int lines = std::max(1, look.horLines);
            if (row % (2 * lines) < lines) cell.back = look.shadeColour;
        } else if (look.vertShade & (1 << column)) {
            cell.back = look.shadeColour;
        }
    }
    return cell;
}

std::string TFrmIndex::MessageCountText() const {
    const int n = RowCount();
    if (n == 0) return "No messages";
    if (n == 1) return "1 message";
    return std::to_string(n) + " messages";
}

}  // namespace kivo
