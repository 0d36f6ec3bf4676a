#include "store/indexfile.h"

#include <sys/stat.h>

#include <system_error>

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/datetime.h"
#include "base/files.h"
#include "store/KivoIndex.h"
#include "store/deletedlist.h"
#include "store/mbxscanner.h"

namespace kivo {

namespace {

constexpr std::size_t kFields = 10;

std::string ExactStamp(const struct stat& st) {
    return std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_ino);
}

// Applies the deleted list's thresholds after a load.
void ReadDeletedList(TFrmIndex& window) {
    const TDeletedList deleted = TDeletedList::Load(window.Files().Del);
    const int count = deleted.Count();
    if (static_cast<int>(window.Items().size()) / 10 < count || count > 100) {
        window.NeedsCompress = true;
        window.Saved = false;
    }
    window.DeletedCount += count;
}

}  // namespace

std::string MailboxStamp(const std::filesystem::path& mbx) {
    struct stat st {};
    if (::stat(mbx.c_str(), &st) != 0) return "0";
    return FormatProgramDate(DateTime::FromTimeT(st.st_mtim.tv_sec)) + "\t" + ExactStamp(st);
}

bool StampMatches(std::string_view line, const std::filesystem::path& mbx) {
    const std::size_t tab = line.find('\t');
    std::optional<DateTime> date = ParseProgramDate(TrimView(line.substr(0, tab)));
    if (!date) throw EIndexFileInvalid();
    struct stat st {};
    if (::stat(mbx.c_str(), &st) != 0) return false;
    if (*date != DateTime::FromTimeT(st.st_mtim.tv_sec)) return false;
    return tab == std::string_view::npos || TrimView(line.substr(tab + 1)) == ExactStamp(st);
}

std::string IndexLine(const TIndexItem& item) {
    return ToCommaText({std::to_string(item.Number), std::to_string(item.Icon), item.Subject,
                        item.From, item.Date, item.Size, item.To, item.Priority,
                        item.Unread ? "1" : "0", item.HasAttachment ? "1" : "0"});
}

void LoadIndex(TFrmIndex& window) {
    const TMailboxFiles files = window.Files();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(files.Idx, ec)) throw EIndexFileInvalid();
    std::string text;
    try {
        text = ReadFileBytes(files.Idx);
    } catch (const std::system_error&) {
        throw EIndexFileInvalid();
    }
    // The lines are walked in place: an index of many thousand entries is never copied.
    MbxLines lines(text);
    std::string_view line;
    if (!lines.Next(line)) throw EIndexFileInvalid();
    if (!StampMatches(line, files.Mbx)) {
        std::filesystem::remove(files.Idx, ec);
        throw EIndexFileInvalid();
    }
    const std::string now = FormatProgramDate(DateTime::Now());
    while (lines.Next(line)) {
        if (TrimView(line).empty()) continue;  // no entry at all, not message 1
        std::vector<std::string> f = FromCommaText(line);
        if (f.size() < kFields) f.resize(kFields);
        int number = 1;
        int size = 1;
        int icon = 0;
        if (!ParseInt(f[0], number)) number = 1;
        const std::string sizeText = ParseInt(f[5], size) ? f[5] : "1";
        if (!ParseInt(f[1], icon)) icon = 0;
        std::string date = ParseProgramDate(f[4]) ? f[4] : now;
        const char letter = GroupLetter(icon);
        window.AddIndexItem(MakeIndexItem(f[2], IndexBool(f[9]), IndexBool(f[8]),
                                          letter ? std::string(1, letter) : std::string(), date,
                                          number, sizeText, f[7], f[6], f[3]));
    }
    ReadDeletedList(window);
}

bool SaveIndex(TFrmIndex& window) {
    if (window.MailboxName.empty()) return true;
    const TMailboxFiles files = window.Files();
    std::string text = MailboxStamp(files.Mbx) + "\r\n";
    for (const TIndexItem& item : window.Items()) {
        text += IndexLine(item);
        text += "\r\n";
    }
    try {
        WriteFileAtomic(files.Idx, text);
    } catch (const std::exception&) {
        return false;
    }
    window.Saved = true;
    return true;
}

std::unordered_map<int, std::string> ReadIndexStatusLines(const std::filesystem::path& idx,
                                                          bool strict) {
    std::unordered_map<int, std::string> status;
    std::error_code ec;
    if (!std::filesystem::exists(idx, ec)) return status;
    const std::string text = ReadFileBytes(idx);
    MbxLines lines(text);
    std::string_view line;
    lines.Next(line);  // the time stamp
    while (lines.Next(line)) {
        std::vector<std::string> f = FromCommaText(line);
        if (f.size() < 9) continue;
        int number = 0;
        if (!ParseInt(f[0], number)) continue;
        int icon = 0;
        if (!ParseInt(f[1], icon)) {
            if (strict) throw EIndexFileInvalid();
            icon = 0;
        }
        status[number] = StatusLineFor(f[8] == "1", icon);
    }
    return status;
}

}  // namespace kivo
