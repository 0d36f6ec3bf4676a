#include "mail/linestream.h"

#include <cstring>

namespace kivo {

bool TLineStream::ReadLine(std::string_view& line) {
    if (pos_ >= data_.size()) {
        eof_ = true;
        line = kEndMarker;
        return false;
    }
    const char* begin = data_.data() + pos_;
    const std::size_t rest = data_.size() - pos_;
    // memchr twice (LF, then a CR before it) keeps the common CR LF case vectorised.
    const void* lf = std::memchr(begin, '\n', rest);
    std::size_t len = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin) : rest;
    std::size_t next = lf ? len + 1 : rest;
    if (const void* cr = std::memchr(begin, '\r', len)) {
        len = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
        next = len + 1;
        if (next < rest && begin[next] == '\n') ++next;
    }
    line = std::string_view(begin, len);
    pos_ += next;
    return true;
}

void TLineStream::Reset() {
    pos_ = 0;
    eof_ = false;
}

}  // namespace kivo
