#include "search/textfinder.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/bytes.h"

namespace kivo {

namespace {
char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// The needle's middle, compared without regard to case (the needle is lower case).
bool MatchesAt(const char* p, std::string_view lowerNeedle) {
    for (std::size_t i = 0; i < lowerNeedle.size(); ++i) {
        if (LowerChar(p[i]) != lowerNeedle[i]) return false;
    }
    return true;
}
}  // namespace

TTextFinder::TTextFinder(std::string_view needle, bool ignoreCase)
    : needle_(ignoreCase ? FoldCaseUtf8(needle) : std::string(needle)), ignoreCase_(ignoreCase) {
    foldUtf8_ = ignoreCase && std::any_of(needle_.begin(), needle_.end(), [](char c) {
                    return static_cast<unsigned char>(c) >= 0x80;
                });
}

std::size_t TTextFinder::Find(std::string_view text, std::size_t from) const {
    if (from > text.size()) return std::string_view::npos;
    if (needle_.empty()) return from;
    if (foldUtf8_) {
        // Folding keeps byte positions; a character cut at `from` is folded as it stands.
        const std::string folded = FoldCaseUtf8(text.substr(from));
        const std::size_t hit = std::string_view(folded).find(needle_);
        return hit == std::string_view::npos ? hit : from + hit;
    }
    if (ignoreCase_) return FindNoCase(text, from);
    const void* hit =
        ::memmem(text.data() + from, text.size() - from, needle_.data(), needle_.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : std::string_view::npos;
}

std::size_t TTextFinder::FindNoCase(std::string_view text, std::size_t from) const {
    const std::size_t n = needle_.size();
    if (text.size() - from < n) return std::string_view::npos;
    const char* p = text.data();
    const std::size_t lastStart = text.size() - n;  // the last position a match can start at
    const char first = needle_[0];
    const char last = needle_[n - 1];
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i firstLo = _mm_set1_epi8(first);
    const __m128i firstUp = _mm_set1_epi8(UpperChar(first));
    const __m128i lastLo = _mm_set1_epi8(last);
    const __m128i lastUp = _mm_set1_epi8(UpperChar(last));
    for (; i + 16 <= lastStart + 1; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + n - 1));
        const __m128i hits =
            _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(a, firstLo), _mm_cmpeq_epi8(a, firstUp)),
                          _mm_or_si128(_mm_cmpeq_epi8(b, lastLo), _mm_cmpeq_epi8(b, lastUp)));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        while (mask != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (MatchesAt(p + at, needle_)) return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= lastStart; ++i) {
        if (LowerChar(p[i]) == first && MatchesAt(p + i, needle_)) return i;
    }
    return std::string_view::npos;
}

}  // namespace kivo
