#pragma once
// Text from the charset a message declared into UTF-8, the form Kivo keeps and shows text in.
// The conversion is the system's iconv (no tables of our own). Labels that mail programs use
// for a larger charset read as that one ("iso-8859-1" and "us-ascii" as Windows-1252, as web
// browsers do); an unknown or broken label reads as Windows-1252; a byte that cannot be
// converted becomes its Windows-1252 character (U+FFFD where that has none) and the rest of
// the text is converted as usual. Valid UTF-8 under an ASCII or UTF-8 label stays unchanged.

#include <memory>
#include <string>
#include <string_view>

namespace kivo {

// Converts many pieces of text from one charset, reusing one iconv descriptor; the shift
// state of a stateful charset (ISO-2022-JP) starts afresh with each piece.
class Utf8Converter {
  public:
    // `charset` as a Content-Type or an encoded word declares it; empty when none was.
    explicit Utf8Converter(std::string_view charset);
    ~Utf8Converter();
    Utf8Converter(const Utf8Converter&) = delete;
    Utf8Converter& operator=(const Utf8Converter&) = delete;

    std::string Convert(std::string_view text);

  private:
    struct Iconv;
    bool keepUtf8_ = false;            // an ASCII or UTF-8 label: valid UTF-8 passes unchanged
    bool stateful_ = false;            // a 7-bit charset with shift sequences: ASCII is not enough
    std::unique_ptr<Iconv> from_;      // the declared charset
    std::unique_ptr<Iconv> fallback_;  // Windows-1252, for what the declared one cannot read
};

// One-shot form of Utf8Converter.
std::string ToUtf8(std::string_view text, std::string_view charset);

// Text that is valid UTF-8 unchanged, else read as Windows-1252 (how text of unknown charset,
// such as a mailbox written before text was stored as UTF-8, is shown).
std::string DisplayUtf8(std::string_view text);

}  // namespace kivo
