#pragma once
// Quoted-printable for whole texts. Encoding cuts the text into paragraphs at its line ends
// and each paragraph into segments of at most 65 characters (before a blank where one is
// near), joined by soft breaks; decoding is line by line with no limit on line or paragraph
// length. The wrap-only mode makes the encoder only wrap lines: it is switched on while a
// message is written as text into a mailbox file.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class PumpThrottle;

// The process-wide wrap-only mode, off by default.
bool WrapOnlyMode();
void SetWrapOnlyMode(bool on);

// Switches the wrap-only mode on for its lifetime and restores the previous state after, also
// when an exception leaves the scope.
class WrapOnlyScope {
  public:
    WrapOnlyScope();
    ~WrapOnlyScope();
    WrapOnlyScope(const WrapOnlyScope&) = delete;
    WrapOnlyScope& operator=(const WrapOnlyScope&) = delete;

  private:
    bool previous_;
};

// Streaming encoder: bytes in chunks of any size, encoded lines (without line ends) out.
// A paragraph ends at CR LF, a lone CR or a lone LF; every paragraph gives at least one line.
class QuotedPrintableEncoder {
  public:
    explicit QuotedPrintableEncoder(bool wrapOnly = WrapOnlyMode()) : wrapOnly_(wrapOnly) {}
    void Encode(std::string_view chunk, std::vector<std::string>& lines);
    // Ends the last paragraph when the data did not end with a line end.
    void Finish(std::vector<std::string>& lines);

  private:
    void EmitFullSegments(std::vector<std::string>& lines);
    void EndParagraph(std::vector<std::string>& lines);
    void AppendSegment(std::string_view segment, bool final, std::vector<std::string>& lines);

    bool wrapOnly_;
    bool afterCr_ = false;   // the previous chunk ended in CR; a leading LF belongs to it
    bool open_ = false;      // a paragraph has begun and not yet ended
    std::string paragraph_;  // the unwritten rest of the current paragraph
};

// Decodes one encoded line (without its line end) and appends its bytes to out: "=XX" in
// either case becomes the byte, a line ending in "=" (blanks after it allowed) continues in
// the next line, any other line ends with CR LF unless its last byte is the end-of-file
// mark (code 26).
void DecodeQuotedPrintableLine(std::string_view line, std::string& out);

// Appends text with every "=XX" (hex digits in either case) replaced by its byte; an "=" not
// followed by two hex digits stays. Produced bytes are never read again.
void UnescapeQuotedPrintable(std::string_view text, std::string& out);

// One-shot helpers. DecodeQuotedPrintable takes text with CR LF or LF line ends.
std::vector<std::string> EncodeQuotedPrintable(std::string_view bytes,
                                               bool wrapOnly = WrapOnlyMode());
std::string DecodeQuotedPrintable(std::string_view text);

// Converts between a byte stream and a list of quoted-printable lines, both owned by the
// caller: Encode reads the whole stream and appends lines to the list, Decode reads the lines
// and appends the decoded bytes to the stream. Runs the pump, when given, while it works.
class TQuotedPrintable {
  public:
    TQuotedPrintable(std::string& stream, std::vector<std::string>& lines,
                     PumpThrottle* pump = nullptr)
        : stream_(stream), lines_(lines), pump_(pump) {}
    void Encode();
    void Decode();

  private:
    std::string& stream_;
    std::vector<std::string>& lines_;
    PumpThrottle* pump_;
};

}  // namespace kivo
