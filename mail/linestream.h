#pragma once
// TLineStream hands out the lines of raw message text held in memory, in order, as views into
// that text: no copy and no per-byte call. Lines end at CR LF, a lone CR or a lone LF and never
// hold their terminator; they may be of any length and may contain NUL bytes. After the last
// line every read reports the end (and yields the end marker, four bytes of code 255).

#include <cstddef>
#include <string_view>

namespace kivo {

class TLineStream {
public:
    // The marker a read yields once the data is exhausted.
    static constexpr std::string_view kEndMarker = "\xff\xff\xff\xff";

    explicit TLineStream(std::string_view data) : data_(data) {}

    // The next line; false (and `line` = the end marker) once the data is exhausted.
    bool ReadLine(std::string_view& line);
    // True once a read went past the last line.
    bool Eof() const { return eof_; }
    // Back to the first line.
    void Reset();
    // The offset of the next line in the data.
    std::size_t Position() const { return pos_; }
    // Back to an offset Position gave: the lines from there are read again.
    void Rewind(std::size_t position) {
        pos_ = position;
        eof_ = false;
    }
    std::string_view Data() const { return data_; }

private:
    std::string_view data_;
    std::size_t pos_ = 0;
    bool eof_ = false;
};

}  // namespace kivo
