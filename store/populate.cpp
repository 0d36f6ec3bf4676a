#include "store/populate.h"

#include <cstring>
#include <filesystem>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/bytes.h"
#include "base/datetime.h"
#include "mail/rfc822date.h"
#include "store/KivoIndex.h"
#include "store/compress.h"
#include "store/deletedlist.h"
#include "store/mailaddress.h"
#include "store/mbxfile.h"
#include "store/mbxscanner.h"
#include "store/storefeedback.h"

namespace kivo {

namespace {

constexpr std::string_view kAttachmentLine = "Attachment Converted:";

// Line feeds and CR LF pairs in a text.
void CountLineEnds(std::string_view text, std::uint64_t& lf, std::uint64_t& crlf) {
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    char prev = 0;
#if defined(__SSE2__)
    if (n >= 17) {
        const __m128i nl = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        // The first byte has no byte before it in the text.
        lf += p[0] == '\n';
        i = 1;
        for (; i + 16 <= n; i += 16) {
            const __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1));
            const __m128i isLf = _mm_cmpeq_epi8(cur, nl);
            const unsigned lfMask = static_cast<unsigned>(_mm_movemask_epi8(isLf));
            if (lfMask == 0) continue;
            const unsigned pairMask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(isLf, _mm_cmpeq_epi8(before, cr))));
            lf += static_cast<unsigned>(__builtin_popcount(lfMask));
            crlf += static_cast<unsigned>(__builtin_popcount(pairMask));
        }
        prev = p[i - 1];
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\n') {
            ++lf;
            if (prev == '\r') ++crlf;
        }
        prev = p[i];
    }
}

// The header values a rebuild reads; later lines of a name override earlier ones.
struct StoredHeaders {
    std::string_view status;  // the whole line
    std::string_view from, subject, to, realTo, priority, date;
};

std::string_view ValueAfter(std::string_view line, std::size_t nameLen) {
    return TrimView(line.substr(nameLen));
}

void ReadHeaderLine(std::string_view line, StoredHeaders& h) {
    auto is = [&](std::string_view name) { return line.starts_with(name); };
    if (is("Status:")) h.status = line;
    else if (is("From:")) h.from = ValueAfter(line, 5);
    else if (is("Subject:")) h.subject = ValueAfter(line, 8);
    else if (is("To:")) h.to = ValueAfter(line, 3);
    else if (is("X-Real-To:")) { if (h.to.empty()) h.realTo = ValueAfter(line, 10); }
    else if (is("X-Priority:")) h.priority = ValueAfter(line, 11);
    else if (is("Date:")) h.date = ValueAfter(line, 5);
}

// Next line of `text` from `pos`: the line without its line end; `pos` moves past it.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
    const char* start = text.data() + pos;
    const void* lf = std::memchr(start, '\n', text.size() - pos);
    std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data())
                         : text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = lf ? end + 1 : end;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace

TBodyFacts ScanBody(std::string_view body) {
    TBodyFacts facts;
    std::uint64_t lf = 0, crlf = 0;
    CountLineEnds(body, lf, crlf);
    facts.lineBytes = body.size() - lf - crlf;
    if (body.starts_with(kAttachmentLine)) {
        facts.hasAttachment = true;
    } else {
        const std::string_view needle = "\nAttachment Converted:";
        facts.hasAttachment =
            ::memmem(body.data(), body.size(), needle.data(), needle.size()) != nullptr;
    }
    return facts;
}

std::string IndexDate(std::string_view dateValue) {
    Rfc822Date parsed = ParseRfc822Date(dateValue);
    return FormatProgramDate(parsed.Valid() ? parsed.date : DateTime::Now());
}

bool EntryFromStoredMessage(std::string_view text, int number, TIndexItem& item) {
    StoredHeaders h;
    std::size_t pos = 0;
    NextLine(text, pos);  // the separator
    std::size_t bodyStart = text.size();
    while (pos < text.size()) {
        std::string_view line = NextLine(text, pos);
        if (TrimView(line).empty()) {
            bodyStart = pos;
            break;
        }
        ReadHeaderLine(line, h);
    }
    std::string_view letters = h.status.size() > 7 ? h.status.substr(7) : std::string_view();
    if (letters.find('D') != std::string_view::npos) return false;
    const TBodyFacts body = ScanBody(text.substr(bodyStart));
    std::string_view to = h.to.empty() ? h.realTo : h.to;
    item = MakeIndexItem(TrimSpecial(h.subject), body.hasAttachment,
                         letters.find('U') != std::string_view::npos, letters, IndexDate(h.date),
                         number, std::to_string(body.lineBytes / 1024 + 1),
                         PriorityWord(TrimSpecial(h.priority)), ExtractAddress(TrimSpecial(to)),
                         TrimSpecial(h.from));
    return true;
}

void PopulateAll(TFrmIndex& window) {
    const TMailboxFiles files = window.Files();
    TDeletedList deleted = TDeletedList::Load(files.Del);
    MbxScanner scanner(files.Mbx);
    int messages = 0;
    int deletedNow = 0;
    TIndexItem item;
    while (scanner.Next()) {
        const int number = static_cast<int>(scanner.Current().number);
        messages = number;
        if (deleted.Contains(number)) {
            ++deletedNow;
            continue;
        }
        if (EntryFromStoredMessage(scanner.Text(), number, item)) {
            window.AddIndexItem(item);
        } else {
            deleted.Add(number);
            ++deletedNow;
        }
    }
    window.DeletedCount += deletedNow;
    window.MessageCounter = messages;
    window.Saved = false;  // the index file, if any, does not hold these entries
    if (!deleted.Empty()) deleted.Save(files.Del);
    if (static_cast<int>(window.Items().size()) / 4 < deletedNow) window.NeedsCompress = true;
}

void ReindexMailbox(TFrmIndex& window, TStoreFeedback& feedback) {
    std::error_code ec;
    if (std::filesystem::exists(window.Files().Idx, ec)) {
        CompressMailbox(window.Base(), true, feedback);
    }
    feedback.StatusText("Loading mailbox...");
    PopulateAll(window);
    feedback.StatusText("");
    if (window.MessageCounter / 10 < window.DeletedCount || window.DeletedCount > 100) {
        window.NeedsCompress = true;
    }
}

void PopulateIndex(bool insertSeparator, int number, TFrmIndex& window,
                   std::vector<std::string>& lines) {
    std::size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    std::size_t end = first;
    while (end < lines.size() && !lines[end].empty()) ++end;
    const std::vector<std::string> header(lines.begin() + static_cast<std::ptrdiff_t>(first),
                                          lines.begin() + static_cast<std::ptrdiff_t>(end));
    std::uint64_t total = 0;
    bool attachment = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        total += lines[i].size() + 2;
        if (i >= end && lines[i].starts_with(kAttachmentLine)) attachment = true;
    }
    const std::string from = TrimSpecial(HeaderValue("From:", header));
    const std::string date = IndexDate(HeaderValue("Date:", header));
    window.AddIndexItem(MakeIndexItem(
        TrimSpecial(HeaderValue("Subject:", header)), attachment,
        HeaderValue("Status:", header).find('R') == std::string::npos, "", date, number,
        std::to_string(total / 1024 + 1),
        PriorityWord(TrimSpecial(HeaderValue("X-Priority:", header))),
        ExtractAddress(TrimSpecial(HeaderValue("To:", header))), from));
    window.Saved = false;
    if (insertSeparator) lines.insert(lines.begin(), "From " + from + " " + date);
}

}  // namespace kivo
