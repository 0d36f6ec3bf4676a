// Field operations on raw header lines.

#include "base/bytes.h"
#include "mail/encodedword.h"
#include "mail/headerfields.h"
#include "mail/msmsgcls.h"

namespace kivo {

namespace {

bool IsContinuation(std::string_view line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::string WithColon(std::string_view name) {
    std::string result(name);
    if (result.empty() || result.back() != ':') result += ':';
    return result;
}

// Splits the text of a field into its items and appends them trimmed and decoded. The commas of an obsolete route (<@a.org,@b.org:jo@c.org>) and of a
// comment (a@b (Doe, John)) split nothing.
void AppendItems(std::string_view text, std::vector<std::string>& list) {
    std::vector<std::string> items;
    SplitAddressList(text, items);
    for (const std::string& item : items) list.push_back(DecodeEncodedWords(CutShort(item)));
}

}  // namespace

void TmsHeaders::Insert(std::size_t index, std::string line) {
    if (index > lines_.size()) index = lines_.size();
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void TmsHeaders::Delete(std::size_t index) {
    if (index < lines_.size()) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
}

long TmsHeaders::IndexOf(std::string_view line) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i] == line) return static_cast<long>(i);
    }
    return -1;
}

std::string TmsHeaders::Text() const { return JoinLinesCrLf(lines_); }

std::string TmsHeaders::GetFieldValue(std::string_view name) const {
    const std::string field = WithColon(name);
    std::size_t i = 0;
    while (i < lines_.size() && !StartsWithNoCase(lines_[i], field)) ++i;
    if (i == lines_.size()) return {};
    std::string value = Trim(std::string_view(lines_[i]).substr(lines_[i].find(':') + 1));
    for (++i; i < lines_.size() && IsContinuation(lines_[i]); ++i) {
        value += ' ';
        value += TrimView(lines_[i]);
    }
    if (EqualsNoCase(field, "Content-Type:") || EqualsNoCase(field, "X-UIDL:")) return value;
    return DecodeEncodedWords(CutShort(value));
}

void TmsHeaders::GetFieldValues(std::string_view name, std::vector<std::string>& list) const {
    list.clear();
    std::size_t i = 0;
    while (i < lines_.size()) {
        if (!StartsWithNoCase(lines_[i], name)) {
            ++i;
            continue;
        }
        std::size_t colon = lines_[i].find(':');
        if (colon == std::string::npos) return;
        // The field's lines are split as one text: a name folded away from its address
        // ("=?utf-8?Q?Ann?=" CR LF TAB "<ann@x.org>") is one item.
        std::string text = lines_[i].substr(colon + 1);
        for (++i; i < lines_.size() && lines_[i].find(':') == std::string::npos; ++i) {
            text += ' ';
            text += TrimView(lines_[i]);
        }
        AppendItems(text, list);
    }
}

void TmsHeaders::RemoveField(std::string_view name) {
    const std::string field = WithColon(name);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!StartsWithNoCase(lines_[i], field)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && IsContinuation(lines_[end])) ++end;
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        return;
    }
}

void TmsHeaders::CutAtBlankLine() {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].empty()) {
            lines_.resize(i);
            return;
        }
    }
}

}  // namespace kivo
