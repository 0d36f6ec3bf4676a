#include "store/KivoIndex.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "base/bytes.h"
#include "base/datetime.h"

namespace kivo {

namespace {

constexpr std::string_view kCriterionTexts[kShowCriterionCount] = {
    "everything",    "subject",         "from", "date", "size", "to", "priority", "unread", "read",
    "with attached", "without attached"};

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

}  // namespace

std::string_view ShowCriterionText(int criterion) {
    if (criterion < 0 || criterion >= kShowCriterionCount) return {};
    return kCriterionTexts[criterion];
}

bool ShowCriterionTakesText(int criterion) {
    return criterion >= scSubject && criterion <= scPriority;
}

void TFrmIndex::ClearEntries() {
    items_.Clear();
    shown_.clear();
    selected_.clear();
    focused_ = -1;
}

void TFrmIndex::AddIndexItem(const TIndexItem& item) {
    items_.Add(item);
    items_.SetTagged(items_.Count() - 1, false);
    if (HidingRest()) shown_.push_back(static_cast<std::uint32_t>(items_.Count() - 1));
    selected_.push_back(0);
}

int TFrmIndex::RowCount() const {
    return static_cast<int>(HidingRest() ? shown_.size() : items_.Count());
}

std::size_t TFrmIndex::PosOf(int row) const {
    return HidingRest() ? shown_[static_cast<std::size_t>(row)] : static_cast<std::size_t>(row);
}

TIndexItem TFrmIndex::Row(int row) const {
    return items_.Item(PosOf(row));
}

std::vector<int> TFrmIndex::SelectedNumbers() const {
    std::vector<int> numbers;
    for (int row : SelectedRows()) numbers.push_back(items_.Number(PosOf(row)));
    return numbers;
}

int TFrmIndex::RowOfNumber(int number) const {
    for (int row = 0; row < RowCount(); ++row) {
        if (items_.Number(PosOf(row)) == number) return row;
    }
    return -1;
}

void TFrmIndex::Tag(std::size_t pos, std::string& scratch) {
    bool tagged = false;
    switch (criterion_) {
        case scEverything:
            break;
        case scUnread:
            tagged = items_.Unread(pos);
            break;
        case scRead:
            tagged = !items_.Unread(pos);
            break;
        case scWithAttached:
            tagged = items_.HasAttachment(pos);
            break;
        case scWithoutAttached:
            tagged = !items_.HasAttachment(pos);
            break;
        default:
            // Without regard to case, UTF-8 letters included (KÖLN finds Köln).
            tagged = FoldCaseUtf8(items_.ColumnText(pos, criterion_ - scSubject, scratch))
                         .find(FoldCaseUtf8(showText_)) != std::string::npos;
    }
    items_.SetTagged(pos, tagged);
}

void TFrmIndex::ApplyFilter(int criterion, std::string_view text, bool hideRest) {
    criterion_ = (criterion >= 0 && criterion < kShowCriterionCount) ? criterion : scEverything;
    showText_ = std::string(text);
    hideRest_ = hideRest;
    std::string scratch;
    for (std::size_t pos = 0; pos < items_.Count(); ++pos) Tag(pos, scratch);
    RebuildShown();
    selected_.assign(static_cast<std::size_t>(RowCount()), 0);
    focused_ = -1;
}

void TFrmIndex::RebuildShown() {
    shown_.clear();
    if (!HidingRest()) return;
    for (std::size_t i = 0; i < items_.Count(); ++i) {
        if (items_.Tagged(i)) shown_.push_back(static_cast<std::uint32_t>(i));
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
        std::vector<std::int64_t> keys(order.size());
        for (int r = 0; r < rows; ++r)
            keys[static_cast<std::size_t>(r)] = items_.NumericKey(PosOf(r), column);
        std::stable_sort(order.begin(), order.end(), less([&](std::uint32_t a, std::uint32_t b) {
                             return keys[a] < keys[b];  // no key sorts first
                         }));
    } else {
        // The texts compared are views into the entries: nothing is built per comparison.
        std::string unused;
        auto text = [&](std::uint32_t r) {
            return items_.ColumnText(PosOf(static_cast<int>(r)), column, unused);
        };
        std::stable_sort(order.begin(), order.end(), less([&](std::uint32_t a, std::uint32_t b) {
                             return CompareNoCase(text(a), text(b)) < 0;
                         }));
    }
    if (HidingRest()) {
        std::vector<std::uint32_t> shown;
        shown.reserve(order.size());
        for (std::uint32_t r : order) shown.push_back(shown_[r]);
        shown_ = std::move(shown);
    } else {
        items_.Reorder(order);
    }
    const std::unordered_set<int> wanted(numbers.begin(), numbers.end());
    selected_.assign(static_cast<std::size_t>(rows), 0);
    for (int row = 0; row < rows; ++row) {
        if (wanted.contains(items_.Number(PosOf(row))))
            selected_[static_cast<std::size_t>(row)] = 1;
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
    for (int row = 0; row < RowCount(); ++row) SetSelected(row, items_.Tagged(PosOf(row)));
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
    std::string scratch;
    for (int i = 0; i < rows; ++i) {
        int row = start + i;
        if (row >= rows) {
            if (!wrap) return -1;
            row -= rows;
        }
        if (StartsWithNoCase(items_.ColumnText(PosOf(row), icSubject, scratch), typed)) return row;
    }
    return -1;
}

void TFrmIndex::ToggleUnread(bool singleEntry) {
    auto toggle = [this](std::size_t pos, bool unread) {
        if (items_.Unread(pos) == unread) return;
        items_.SetUnread(pos, unread);
        items_.SetIcon(pos, items_.Icon(pos) + (unread ? -2 : 2));
        Saved = false;
    };
    if (singleEntry) {
        if (focused_ >= 0 && focused_ < RowCount()) toggle(PosOf(focused_), false);
        return;
    }
    for (int row : SelectedRows()) {
        const std::size_t pos = PosOf(row);
        toggle(pos, !items_.Unread(pos));
    }
}

void TFrmIndex::UpdateIndexIcons(int row, char letter) {
    if (row < 0 || row >= RowCount()) return;
    TIconGroup group = GroupFromLetters(std::string_view(&letter, 1));
    if (group == igNone) return;
    const std::size_t pos = PosOf(row);
    items_.SetIcon(pos, 4 * group + items_.Icon(pos) % 4);
    Saved = false;
}

std::vector<TIndexItem> TFrmIndex::RemoveSelected() {
    std::vector<TIndexItem> removed;
    std::vector<char> drop(items_.Count(), 0);
    for (int row : SelectedRows()) {
        const std::size_t pos = PosOf(row);
        drop[pos] = 1;
        removed.push_back(items_.Item(pos));
    }
    if (removed.empty()) return removed;
    if (HidingRest()) {
        // New positions of the kept entries, so the shown rows can follow.
        std::vector<std::uint32_t> newPos(items_.Count(), 0);
        std::uint32_t kept = 0;
        for (std::size_t i = 0; i < items_.Count(); ++i) {
            newPos[i] = kept;
            if (!drop[i]) ++kept;
        }
        std::vector<std::uint32_t> shown;
        for (std::uint32_t pos : shown_) {
            if (!drop[pos]) shown.push_back(newPos[pos]);
        }
        shown_ = std::move(shown);
    }
    items_.Remove(drop);
    selected_.assign(static_cast<std::size_t>(RowCount()), 0);
    Saved = false;
    return removed;
}

TCellLook TFrmIndex::CellLook(int row, int column, const TIndexLook& look) const {
    const std::size_t pos = PosOf(row);
    TCellLook cell{items_.Unread(pos), look.listText, look.listBack};
    if (FilterActive()) {
        if (items_.Tagged(pos)) {
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
