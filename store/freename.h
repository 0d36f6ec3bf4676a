#pragma once
// Free file names for files the program writes beside others (attachments, saved parts):
// a taken name is changed by numbering until no file of that name exists.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace kivo {

// The numbering rule: a last character from 1 to 9 is replaced by the number one higher
// (9 becomes 10); otherwise (0 or no digit) a 1 is appended. From "report" this gives
// report1 ... report9, report10, report101, report102, ...
std::string NextNumberedName(std::string_view name);

// `base` + `extension` in `dir`, with `base` renumbered while a file of that name exists
// (names compared without regard to case).
std::filesystem::path FreeFileName(const std::filesystem::path& dir, std::string_view base,
                                   std::string_view extension);

// The free names of one folder for a run that writes many files into it (a check's
// attachments): the folder is listed once, and every name handed out counts as taken, so no
// file costs a listing of its own. Names compare without regard to case. A file someone else
// creates meanwhile is not seen here: writers open with O_EXCL and ask again on EEXIST.
class TFreeNames {
  public:
    explicit TFreeNames(std::filesystem::path dir);
    const std::filesystem::path& Dir() const { return dir_; }
    // The free name for `base` + `extension` by the numbering rule; from now on taken.
    std::filesystem::path Take(std::string_view base, std::string_view extension);

    // A writer calls Created once it has made a file under a name handed out here (and before
    // it writes into it), so the run can note the file; the hook may throw, and the writer
    // then removes the file.
    void OnCreated(std::function<void(const std::filesystem::path&)> hook) {
        onCreated_ = std::move(hook);
    }
    void Created(const std::filesystem::path& file) const {
        if (onCreated_) onCreated_(file);
    }

  private:
    std::filesystem::path dir_;
    std::function<void(const std::filesystem::path&)> onCreated_;
    std::unordered_set<std::string> taken_;  // lower case
};

}  // namespace kivo
