#pragma once
// A fault-injecting layer under the file calls of this test program: the program's own
// definitions of ftruncate, fdatasync and fsync stand in front of the C library's, so a test
// can make a cut fail and see which files were flushed.

#include <string>
#include <vector>

namespace kivo::test {

// While set, every ftruncate of this process fails with `err` (0 lets them through again).
void FailTruncate(int err);

// The files (by path) that fdatasync or fsync flushed since the last ClearFlushed, in order.
std::vector<std::string> Flushed();
void ClearFlushed();

// Sets FailTruncate(err) for a scope and lets cuts through again at its end.
class TruncateFails {
  public:
    explicit TruncateFails(int err) { FailTruncate(err); }
    ~TruncateFails() { FailTruncate(0); }
    TruncateFails(const TruncateFails&) = delete;
    TruncateFails& operator=(const TruncateFails&) = delete;
};

}  // namespace kivo::test
