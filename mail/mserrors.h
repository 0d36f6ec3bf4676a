#pragma once
// The message library's two exception classes. Both carry only a text: EMessageError when a
// message lacks what sending needs, EMessageParserError when raw message text cannot be decoded
// (the decoder turns the latter into error lines and an "original.eml" attachment).

#include <stdexcept>

namespace kivo {

class EMessageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EMessageParserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kivo
