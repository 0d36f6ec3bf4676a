#pragma once
// Base64 (RFC 2045 alphabet) in both directions. The decoder takes chunks of any size, across
// line boundaries, keeps its state between calls and needs Finish at the end; the encoder
// writes the 76-character lines of 57 bytes that attachments are sent in. Both are
// table-driven and never allocate per byte.

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

// What the decoder does with a byte outside the alphabet. Blanks, tabs, CR and LF are always
// skipped: real mail carries them at line ends.
enum class Base64Errors {
    kRaise,  // EMessageParserError "Invalid Character"
    kSkip,   // ignored, as RFC 2045 asks of readers
};

// Streaming base64 decoder. A "=" ends the current group (its bytes are written) and the next
// character starts a fresh group, so concatenated encodings decode whole; missing padding is
// accepted (Finish writes the bytes of an incomplete final group).
class Base64Decoder {
  public:
    explicit Base64Decoder(Base64Errors errors = Base64Errors::kRaise) : errors_(errors) {}

    // Decodes chunk and appends the whole bytes it completes to out.
    void Decode(std::string_view chunk, std::string& out);
    // Appends the bytes of an incomplete final group and resets the decoder.
    void Finish(std::string& out);
    void Reset();
    // Characters outside the alphabet skipped so far (kSkip).
    std::size_t Skipped() const { return skipped_; }

  private:
    Base64Errors errors_;
    std::size_t skipped_ = 0;
    unsigned bits_ = 0;  // the values of the current group, 6 bits each
    int count_ = 0;      // characters in the current group (0..3)
};

// One-shot helpers.
std::string DecodeBase64(std::string_view text, Base64Errors errors = Base64Errors::kSkip);
// Plain base64 with padding and no line breaks ("abc" -> "YWJj", "ab" -> "YWI=").
std::string EncodeBase64(std::string_view bytes);
void AppendBase64(std::string_view bytes, std::string& out);

// Bytes per base64 line of an attachment; gives 76 characters.
inline constexpr std::size_t kBase64LineBytes = 57;

// Streaming attachment encoder: appends lines of 76 characters, each ended by eol, for every
// 57 bytes given; Finish writes the last, shorter line, which is empty when the total was a
// multiple of 57 (including no data at all).
class Base64LineEncoder {
  public:
    explicit Base64LineEncoder(std::string_view eol = "\r\n") : eol_(eol) {}
    void Encode(std::string_view chunk, std::string& out);
    void Finish(std::string& out);

  private:
    std::string eol_;
    std::string pending_;  // fewer than 57 bytes waiting for the next chunk
};

// All lines of one attachment, as Base64LineEncoder writes them.
std::string EncodeBase64Lines(std::string_view data, std::string_view eol = "\r\n");

}  // namespace kivo
