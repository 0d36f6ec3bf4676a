#include "store/populate.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/bytes.h"
#include "base/datetime.h"
#include "mail/rfc822date.h"
#include "store/KivoIndex.h"
#include "store/compress.h"
#include "store/deletedlist.h"
#include "store/deletedmark.h"
#include "store/mailaddress.h"
#include "store/mailboxlock.h"
#include "store/mbxfile.h"
#include "store/mbxscanner.h"
#include "store/storefeedback.h"

namespace kivo {

namespace {

constexpr std::string_view kAttachmentLine = "Attachment Converted:";

constexpr std::string_view kAttachmentAfterLf = "\nAttachment Converted:";

// True when a line of `text` after the first begins with "Attachment Converted:" at the line
// feed at `lf`.
bool AttachmentAt(std::string_view text, std::size_t lf) {
    return text.substr(lf, kAttachmentAfterLf.size()) == kAttachmentAfterLf;
}

#if defined(__SSE2__)
// Sums the bytes of a vector of byte counters.
std::uint64_t SumBytes(__m128i counts) {
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
           static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}
#endif

// One pass over a body: line feeds, CR LF pairs, and whether a line after the first begins
// with "Attachment Converted:".
void ScanLines(std::string_view text, std::uint64_t& lf, std::uint64_t& crlf, bool& attachment) {
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n >= 18) {
        const __m128i nl = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i a = _mm_set1_epi8('A');
        lf += p[0] == '\n';
        if (p[0] == '\n' && !attachment) attachment = AttachmentAt(text, 0);
        i = 1;
        // Byte counters overflow after 255 rounds: they are summed up before that.
        while (i + 17 <= n) {
            __m128i lfCount = _mm_setzero_si128();
            __m128i pairCount = _mm_setzero_si128();
            for (int round = 0; round < 255 && i + 17 <= n; ++round, i += 16) {
                const __m128i cur = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
                const __m128i isLf = _mm_cmpeq_epi8(cur, nl);
                if (_mm_movemask_epi8(isLf) == 0) continue;
                const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1));
                lfCount = _mm_sub_epi8(lfCount, isLf);
                pairCount =
                    _mm_sub_epi8(pairCount, _mm_and_si128(isLf, _mm_cmpeq_epi8(before, cr)));
                if (attachment) continue;
                const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
                unsigned hits = static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_and_si128(isLf, _mm_cmpeq_epi8(after, a))));
                while (hits != 0 && !attachment) {
                    attachment =
                        AttachmentAt(text, i + static_cast<std::size_t>(__builtin_ctz(hits)));
                    hits &= hits - 1;
                }
            }
            lf += SumBytes(lfCount);
            crlf += SumBytes(pairCount);
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] != '\n') continue;
        ++lf;
        if (i > 0 && p[i - 1] == '\r') ++crlf;
        if (!attachment) attachment = AttachmentAt(text, i);
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
    if (is("Status:"))
        h.status = line;
    else if (is("From:"))
        h.from = ValueAfter(line, 5);
    else if (is("Subject:"))
        h.subject = ValueAfter(line, 8);
    else if (is("To:"))
        h.to = ValueAfter(line, 3);
    else if (is("X-Real-To:")) {
        if (h.to.empty()) h.realTo = ValueAfter(line, 10);
    } else if (is("X-Priority:"))
        h.priority = ValueAfter(line, 11);
    else if (is("Date:"))
        h.date = ValueAfter(line, 5);
}

// Next line of `text` from `pos`: the line without its line end; `pos` moves past it.
std::string_view NextLine(std::string_view text, std::size_t& pos) {
    const char* start = text.data() + pos;
    const void* lf = std::memchr(start, '\n', text.size() - pos);
    std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) : text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = lf ? end + 1 : end;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace

TBodyFacts ScanBody(std::string_view body) {
    TBodyFacts facts;
    std::uint64_t lf = 0, crlf = 0;
    facts.hasAttachment = body.starts_with(kAttachmentLine);
    ScanLines(body, lf, crlf, facts.hasAttachment);
    facts.lineBytes = body.size() - lf - crlf;
    return facts;
}

std::string IndexDate(std::string_view dateValue) {
    Rfc822Date parsed = ParseRfc822Date(dateValue);
    return FormatProgramDate(parsed.Valid() ? parsed.date : DateTime::Now());
}

// The date a message without a readable "Date:" line gets on a rebuild: the one its
// separator line holds (the time it was stored), so it keeps its place when sorted by date;
// the current time only when the separator has none either.
std::string RebuiltIndexDate(std::string_view dateValue, std::string_view separator) {
    if (ParseRfc822Date(dateValue).Valid()) return IndexDate(dateValue);
    const std::size_t timeAt = separator.rfind(' ');
    const std::size_t dateAt =
        timeAt == std::string_view::npos ? timeAt : separator.rfind(' ', timeAt - 1);
    if (dateAt != std::string_view::npos) {
        if (auto stored = ParseProgramDate(separator.substr(dateAt + 1)))
            return FormatProgramDate(*stored);
    }
    return IndexDate(dateValue);
}

bool EntryFromStoredMessage(std::string_view text, int number, TIndexItem& item) {
    StoredHeaders h;
    std::size_t pos = 0;
    const std::string_view separator = NextLine(text, pos);
    std::size_t bodyStart = text.size();
    bool deleted = false;
    while (pos < text.size()) {
        std::string_view line = NextLine(text, pos);
        if (TrimView(line).empty()) {
            bodyStart = pos;
            break;
        }
        deleted = deleted || StatusLineMarksDeleted(line);
        ReadHeaderLine(line, h);
    }
    if (deleted) return false;
    std::string_view letters = h.status.size() > 7 ? h.status.substr(7) : std::string_view();
    const TBodyFacts body = ScanBody(text.substr(bodyStart));
    std::string_view to = h.to.empty() ? h.realTo : h.to;
    item = MakeIndexItem(
        TrimSpecial(h.subject), body.hasAttachment, letters.find('U') != std::string_view::npos,
        letters, RebuiltIndexDate(h.date, separator), number,
        std::to_string(body.lineBytes / 1024 + 1), PriorityWord(TrimSpecial(h.priority)),
        ExtractAddress(TrimSpecial(to)), TrimSpecial(h.from));
    return true;
}

void PopulateAll(TFrmIndex& window, TStoreFeedback& feedback) {
    const TMailboxFiles files = window.Files();
    TMailboxState basis;
    TDeletedList deleted;
    std::optional<MbxScanner> scanner;
    {
        // The file's state, its deleted list and the scanner's own descriptor are taken
        // together under the lock; the scan runs without it, on that file up to that length,
        // so appenders never wait for a rebuild.
        TMailboxLock lock(files);
        basis = TMailboxState::Read(lock.fd());
        deleted = TDeletedList::Load(files.Del);
        scanner.emplace(files.Mbx, MbxScanner::Range{0, basis.size, 0});
    }
    int messages = 0;
    int deletedNow = 0;
    std::vector<int> markedDeleted;
    TIndexItem item;
    TStoreProgress progress(feedback, basis.size);
    while (scanner->Next()) {
        progress.At(scanner->Current().offset);
        const int number = static_cast<int>(scanner->Current().number);
        messages = number;
        if (deleted.Contains(number)) {
            ++deletedNow;
            continue;
        }
        if (EntryFromStoredMessage(scanner->Text(), number, item)) {
            window.AddIndexItem(item);
        } else {
            markedDeleted.push_back(number);
            ++deletedNow;
        }
    }
    basis.messages = messages;
    window.Basis = basis;
    window.DeletedCount += deletedNow;
    window.MessageCounter = messages;
    window.Saved = false;  // the index file, if any, does not hold these entries
    if (!markedDeleted.empty()) {
        // Another process may have deleted more meanwhile: add to the list as it is now, and
        // only while the numbers still mean these messages.
        TMailboxLock lock(files);
        if (CompareState(basis, lock.fd(), false) != TStateChange::Changed) {
            TDeletedList now = TDeletedList::Load(files.Del);
            for (int number : markedDeleted) now.Add(number);
            try {
                now.Save(files.Del);
            } catch (const std::system_error&) {
                // The marks stay in the file; the next rebuild lists them again.
            }
        }
    }
    if (window.ItemCount() / 4 < deletedNow) window.NeedsCompress = true;
}

void ReindexMailbox(TFrmIndex& window, TStoreFeedback& feedback, bool compressFirst) {
    std::error_code ec;
    if (compressFirst && std::filesystem::exists(window.Files().Idx, ec)) {
        CompressMailbox(window.Base(), true, feedback);
    }
    feedback.StatusText("Loading mailbox...");
    try {
        PopulateAll(window, feedback);
    } catch (...) {
        feedback.StatusText("");
        throw;
    }
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
    window.AddIndexItem(MakeIndexItem(TrimSpecial(HeaderValue("Subject:", header)), attachment,
                                      HeaderValue("Status:", header).find('R') == std::string::npos,
                                      "", date, number, std::to_string(total / 1024 + 1),
                                      PriorityWord(TrimSpecial(HeaderValue("X-Priority:", header))),
                                      ExtractAddress(TrimSpecial(HeaderValue("To:", header))),
                                      from));
    window.Saved = false;
    if (insertSeparator) lines.insert(lines.begin(), "From " + from + " " + date);
}

}  // namespace kivo
