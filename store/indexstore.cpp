#include "store/indexstore.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/bytes.h"
#include "base/datetime.h"

namespace kivo {

namespace {

constexpr std::string_view kPriorityWords[] = {"Highest", "High", "Normal", "Low", "Lowest"};
constexpr std::size_t kTextMax = 255;
constexpr std::int64_t kNoKey = std::numeric_limits<std::int64_t>::min();

// Bit fields in time order, so packed dates compare as the dates do; never 0 (month >= 1).
std::uint64_t PackDate(const DateTime& d) {
    return static_cast<std::uint64_t>(d.year) << 26 | static_cast<std::uint64_t>(d.month) << 22 |
           static_cast<std::uint64_t>(d.day) << 17 | static_cast<std::uint64_t>(d.hour) << 12 |
           static_cast<std::uint64_t>(d.minute) << 6 | static_cast<std::uint64_t>(d.second);
}

DateTime UnpackDate(std::uint64_t p) {
    auto field = [p](int shift, std::uint64_t mask) { return static_cast<int>(p >> shift & mask); };
    return {field(26, 0xFFFF), field(22, 15), field(17, 31),
            field(12, 31),     field(6, 63),  field(0, 63)};
}

// The packed date written back in the program's date form (as FormatProgramDate writes it,
// without its formatting cost: a listing asks for every row's date).
std::string FormatPackedDate(std::uint64_t packed) {
    const DateTime d = UnpackDate(packed);
    char out[19];
    auto put = [&out](std::size_t at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            out[at + i] = static_cast<char>('0' + value % 10);
    };
    put(0, d.day, 2);
    out[2] = '/';
    put(3, d.month, 2);
    out[5] = '/';
    put(6, d.year, 4);
    if (d.hour == 0 && d.minute == 0 && d.second == 0) return std::string(out, 10);
    out[10] = ' ';
    put(11, d.hour, 2);
    out[13] = ':';
    put(14, d.minute, 2);
    out[16] = ':';
    put(17, d.second, 2);
    return std::string(out, 19);
}

// A date exactly as FormatProgramDate writes it, read without ParseProgramDate's leniency;
// 0 when the text has another form (the caller then reads it the lenient way).
std::uint64_t ReadExactDate(std::string_view t) {
    if (t.size() != 10 && t.size() != 19) return 0;
    auto num = [t](std::size_t at, std::size_t digits, int& value) {
        value = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (t[i] < '0' || t[i] > '9') return false;
            value = value * 10 + (t[i] - '0');
        }
        return true;
    };
    DateTime d;
    if (!num(0, 2, d.day) || t[2] != '/' || !num(3, 2, d.month) || t[5] != '/' ||
        !num(6, 4, d.year) || d.year < 100) {  // two-digit years move into a window
        return 0;
    }
    if (t.size() == 19) {
        if (t[10] != ' ' || !num(11, 2, d.hour) || t[13] != ':' || !num(14, 2, d.minute) ||
            t[16] != ':' || !num(17, 2, d.second)) {
            return 0;
        }
        if (d.hour == 0 && d.minute == 0 && d.second == 0) return 0;  // written without time
    }
    return d.IsValid() ? PackDate(d) : 0;
}

// The current year, for two-digit years in odd date texts; read once, not per entry.
int CurrentYear() {
    static const int year = DateTime::Now().year;
    return year;
}

}  // namespace

void TIndexStore::Clear() {
    records_.clear();
    arena_.clear();
    dead_ = 0;
}

void TIndexStore::AppendText(std::string_view text, std::uint8_t& length) {
    text = text.substr(0, kTextMax);
    length = static_cast<std::uint8_t>(text.size());
    arena_.append(text);
}

void TIndexStore::AppendOddText(std::string_view text) {
    std::uint8_t length = 0;
    arena_.push_back(0);
    const std::size_t at = arena_.size() - 1;
    AppendText(text, length);
    arena_[at] = static_cast<char>(length);
}

void TIndexStore::Add(const TIndexItem& item) {
    Record r;
    r.text = arena_.size();
    r.number = item.Number;
    r.icon = static_cast<std::int8_t>(item.Icon);
    r.flags = (item.Unread ? kUnread : 0) | (item.HasAttachment ? kAttachment : 0) |
              (item.Tagged ? kTagged : 0);
    AppendText(item.Subject, r.subjectLen);
    AppendText(item.From, r.fromLen);
    AppendText(item.To, r.toLen);

    const std::string_view date = std::string_view(item.Date).substr(0, kTextMax);
    r.date = ReadExactDate(date);
    if (r.date == 0) {
        if (auto parsed = ParseProgramDate(date, CurrentYear())) r.date = PackDate(*parsed);
        if (r.date == 0 || FormatPackedDate(r.date) != date) {
            r.flags |= kOddDate;
            AppendOddText(date);
        }
    }
    const std::string_view size = std::string_view(item.Size).substr(0, kTextMax);
    int sizeValue = 0;
    if (ParseInt(size, sizeValue)) {
        r.size = sizeValue;
        r.flags |= kHasSize;
    }
    if (!(r.flags & kHasSize) || SizeText(r) != size) {
        r.flags |= kOddSize;
        AppendOddText(size);
    }
    const auto word =
        std::find(std::begin(kPriorityWords), std::end(kPriorityWords), item.Priority);
    r.priority = static_cast<std::uint8_t>(word - std::begin(kPriorityWords));
    if (r.priority == kOddPriority) AppendOddText(item.Priority);
    records_.push_back(r);
}

std::string_view TIndexStore::OddText(const Record& r, std::uint8_t which) const {
    std::size_t at = r.text + r.subjectLen + r.fromLen + r.toLen;
    const bool present[] = {(r.flags & kOddDate) != 0, (r.flags & kOddSize) != 0,
                            r.priority == kOddPriority};
    const std::uint8_t kinds[] = {kOddDate, kOddSize, kOddPriority};
    for (int i = 0; i < 3; ++i) {
        if (!present[i]) continue;
        const auto length = static_cast<unsigned char>(arena_[at]);
        if (kinds[i] == which) return std::string_view(arena_).substr(at + 1, length);
        at += 1 + length;
    }
    return {};
}

std::size_t TIndexStore::TextBytes(const Record& r) const {
    std::size_t bytes = std::size_t{r.subjectLen} + r.fromLen + r.toLen;
    for (std::uint8_t kind : {std::uint8_t{kOddDate}, std::uint8_t{kOddSize}, kOddPriority}) {
        const bool present = kind == kOddPriority ? r.priority == kOddPriority : (r.flags & kind);
        if (present) bytes += 1 + OddText(r, kind).size();
    }
    return bytes;
}

std::string TIndexStore::SizeText(const Record& r) const {
    if (r.flags & kOddSize) return std::string(OddText(r, kOddSize));
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, r.size).ptr;
    return std::string(digits, end);
}

std::string TIndexStore::DateText(const Record& r) const {
    if (r.flags & kOddDate) return std::string(OddText(r, kOddDate));
    return FormatPackedDate(r.date);
}

std::string_view TIndexStore::PriorityText(const Record& r) const {
    if (r.priority == kOddPriority) return OddText(r, kOddPriority);
    return kPriorityWords[r.priority];
}

TIndexItem TIndexStore::Item(std::size_t pos) const {
    const Record& r = records_[pos];
    const std::string_view texts = std::string_view(arena_).substr(r.text);
    TIndexItem item;
    item.Subject = texts.substr(0, r.subjectLen);
    item.From = texts.substr(r.subjectLen, r.fromLen);
    item.To = texts.substr(std::size_t{r.subjectLen} + r.fromLen, r.toLen);
    item.Date = DateText(r);
    item.Size = SizeText(r);
    item.Priority = PriorityText(r);
    item.HasAttachment = r.flags & kAttachment;
    item.Unread = r.flags & kUnread;
    item.Number = r.number;
    item.Tagged = r.flags & kTagged;
    item.Icon = r.icon;
    return item;
}

std::string_view TIndexStore::ColumnText(std::size_t pos, int column, std::string& scratch) const {
    const Record& r = records_[pos];
    const std::string_view texts = std::string_view(arena_).substr(r.text);
    switch (column) {
        case icSubject:
            return texts.substr(0, r.subjectLen);
        case icFrom:
            return texts.substr(r.subjectLen, r.fromLen);
        case icDate:
            return scratch = DateText(r);
        case icSize:
            return scratch = SizeText(r);
        case icTo:
            return texts.substr(std::size_t{r.subjectLen} + r.fromLen, r.toLen);
        default:
            return PriorityText(r);
    }
}

std::int64_t TIndexStore::NumericKey(std::size_t pos, int column) const {
    const Record& r = records_[pos];
    if (column == icSize) return (r.flags & kHasSize) ? r.size : kNoKey;
    return r.date != 0 ? static_cast<std::int64_t>(r.date) : kNoKey;
}

void TIndexStore::SetFlag(std::size_t pos, std::uint8_t flag, bool on) {
    std::uint8_t& flags = records_[pos].flags;
    flags = on ? (flags | flag) : (flags & ~flag);
}

void TIndexStore::Reorder(const std::vector<std::uint32_t>& order) {
    std::vector<Record> records;
    records.reserve(order.size());
    for (std::uint32_t pos : order) records.push_back(records_[pos]);
    records_ = std::move(records);
}

void TIndexStore::Remove(const std::vector<char>& drop) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (drop[i])
            dead_ += TextBytes(records_[i]);
        else
            records_[kept++] = records_[i];
    }
    records_.resize(kept);
    // Texts of removed entries stay in the arena until more than half of it is dead; then
    // the live texts move together, so deletions never hold memory for long.
    if (dead_ * 2 > arena_.size()) CompactArena();
}

void TIndexStore::CompactArena() {
    std::string arena;
    arena.reserve(arena_.size() - dead_);
    for (Record& r : records_) {
        const std::size_t bytes = TextBytes(r);
        arena.append(arena_, r.text, bytes);
        r.text = arena.size() - bytes;
    }
    arena_ = std::move(arena);
    dead_ = 0;
}

}  // namespace kivo
