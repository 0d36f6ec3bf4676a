#pragma once
// The error of a script run: the fixed text of the failing command, and the line (counted
// from 1) it stopped at, so the program can point the user to it.

#include <stdexcept>
#include <string>

namespace kivo {

class ESyntaxError : public std::runtime_error {
  public:
    explicit ESyntaxError(const std::string& text, int line = 0)
        : std::runtime_error(text), line_(line) {}
    // 0 while the error has not left the interpreter loop yet.
    int Line() const { return line_; }
    // "Line N: text", or the text alone without a line.
    std::string WithLine() const {
        return line_ > 0 ? "Line " + std::to_string(line_) + ": " + what() : what();
    }

  private:
    int line_;
};

}  // namespace kivo
