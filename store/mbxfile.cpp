#include "store/mbxfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <system_error>

#include "base/bytes.h"
#include "base/files.h"
#include "store/mbxscanner.h"

namespace kivo {

namespace {

using Lines = std::vector<std::string>;

bool IsBlankLine(std::string_view line) {
    return TrimView(line).empty();
}

// The text after a header name and the one character behind it, trimmed.
std::string ValueAfter(std::string_view line, std::size_t nameLength) {
    if (line.size() <= nameLength + 1) return {};
    return Trim(line.substr(nameLength + 1));
}

// True when the last byte of an existing, non-empty file is not a line feed.
}  // namespace

bool EndsWithoutLineEnd(int fd) {
    char last = '\n';
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        if (::pread(fd, &last, 1, st.st_size - 1) != 1) last = '\n';
    }
    return last != '\n';
}

bool IsSeparator(std::string_view line) {
    return line.starts_with("From ");
}

TMessageReader::TMessageReader(std::filesystem::path path) : path_(ResolveNoCase(path)) {}

TMessageReader::~TMessageReader() = default;

void TMessageReader::Extract(int number, Lines& lines) {
    if (number < 1) throw EIndexInvalid();
    if (!scanner_ || scanner_->Current().number > number) {
        scanner_ = std::make_unique<MbxScanner>(path_);
    }
    if (!scanner_->SkipTo(number)) throw EIndexInvalid();
    MbxLines reader(scanner_->Text());
    for (std::string_view line; reader.Next(line);) lines.emplace_back(line);
}

void ExtractMsg(int number, const std::filesystem::path& path, Lines& lines) {
    TMessageReader(path).Extract(number, lines);
}

int FindLastIndex(const std::filesystem::path& path) {
    MbxScanner scanner(ResolveNoCase(path));
    return static_cast<int>(std::min<std::int64_t>(scanner.CountRest(), INT_MAX));
}

void AppendToFile(const Lines& lines, const std::filesystem::path& path) {
    AppendToFile(lines, path, {});
}

void AppendToFile(
    const Lines& lines, const std::filesystem::path& path,
    const std::function<void(std::uint64_t start, std::string_view bytes)>& beforeWrite) {
    const std::filesystem::path file = ResolveNoCase(path);
    try {
        // The last byte is looked at under the lock, so no other append slips in between.
        FileLock lock(file);
        TAppendTransaction append(lock);
        const bool lineEnd = EndsWithoutLineEnd(lock.fd());
        const std::string bytes = JoinLinesCrLf(lines);
        if (beforeWrite) {
            struct stat st {};
            if (::fstat(lock.fd(), &st) != 0)
                throw std::system_error(errno, std::generic_category(), file.string());
            beforeWrite(static_cast<std::uint64_t>(st.st_size) + (lineEnd ? 2 : 0), bytes);
        }
        if (lineEnd) append.Write("\r\n");
        append.Write(bytes);
        append.Commit();
    } catch (const std::system_error& e) {
        throw EAppendError(e.what());
    }
}

void StripMsgTop(Lines& lines) {
    std::size_t blanks = 0;
    while (blanks + 1 < lines.size() && IsBlankLine(lines[blanks])) ++blanks;
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(blanks));
}

void StripMsgBottom(Lines& lines) {
    while (!lines.empty() && (IsBlankLine(lines.back()) || lines.back() == ".")) lines.pop_back();
}

void ExtractHeaders(Lines& headers, Lines& lines) {
    headers.clear();
    auto end = std::find_if(lines.begin(), lines.end(), IsBlankLine);
    headers.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(end));
    lines.erase(lines.begin(), end);
}

std::string HeaderValue(std::string_view name, const Lines& lines) {
    std::string value;
    for (const std::string& line : lines) {
        if (StartsWithNoCase(line, name)) value = ValueAfter(line, name.size());
    }
    return value;
}

std::string SingleHeaderValue(std::string_view name, std::string_view line) {
    return line.starts_with(name) ? ValueAfter(line, name.size()) : std::string();
}

void ChangeSingleHeader(std::string_view name, std::string_view value, Lines& lines) {
    const std::string header = std::string(name) + " " + std::string(value);
    std::size_t i = 0;
    while (i < lines.size() && IsBlankLine(lines[i])) ++i;
    bool matched = false;
    for (; i < lines.size() && !IsBlankLine(lines[i]); ++i) {
        if (lines[i].starts_with(name)) {
            lines[i] = header;
            matched = true;
        }
    }
    if (!matched) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), header);
}

std::string ChangeHeader(int number, std::string_view name, bool statusMode, std::string_view value,
                         Lines& lines) {
    // Find the separator of message `number`.
    std::size_t sep = 0;
    int seen = 0;
    for (; sep < lines.size(); ++sep) {
        if (IsSeparator(lines[sep]) && ++seen == number) break;
    }
    if (number < 1 || sep == lines.size()) return {};

    std::string old;
    bool matched = false;
    std::size_t end = sep + 1;  // the header end line, the next separator or the list's end
    for (; end < lines.size() && !IsBlankLine(lines[end]) && !IsSeparator(lines[end]); ++end) {
        std::string& line = lines[end];
        if (!StartsWithNoCase(line, name)) continue;
        old = Trim(std::string_view(line).substr(name.size()));
        matched = true;
        if (value.empty()) continue;
        if (statusMode) {
            // Unread and read exclude each other; only the letters after the name change.
            char drop = value == "U" ? 'R' : value == "R" ? 'U' : '\0';
            if (drop) {
                auto letters = line.begin() + static_cast<std::ptrdiff_t>(name.size());
                line.erase(std::remove(letters, line.end(), drop), line.end());
            }
            line += value;
        } else {
            line = std::string(name) + " " + std::string(value);
        }
    }
    if (!matched && !value.empty()) {
        // Just before the last header line; right after the separator when there is none,
        // so the new line never lands in the message before.
        std::size_t at = end > sep + 1 ? end - 1 : sep + 1;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     std::string(name) + " " + std::string(value));
    }
    return old;
}

std::string TrimSpecial(std::string_view text) {
    std::string result(text);
    if (!result.empty() && result.front() == '"') {
        result.erase(0, 1);
        std::size_t quote = result.find('"');
        if (quote != std::string::npos && quote + 1 < result.size()) result.erase(quote, 1);
    }
    if (!result.empty()) {
        const std::size_t last = result.size() - 1;
        if (result.find(',') == last || result.find(';') == last) result.pop_back();
    }
    return result;
}

}  // namespace kivo
