#include "store/deletedlist.h"

#include <system_error>

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

TDeletedList TDeletedList::Load(const std::filesystem::path& path) {
    TDeletedList list;
    for (const std::string& line : SplitLines(ReadFileOrEmpty(path))) {
        int number = 0;
        if (ParseInt(Trim(line), number)) list.Add(number);
    }
    return list;
}

void TDeletedList::Save(const std::filesystem::path& path) const {
    if (numbers_.empty()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (ec) throw std::system_error(ec, "cannot remove " + path.string());
        return;
    }
    std::string text;
    for (int n : numbers_) text += std::to_string(n) + "\r\n";
    WriteFileAtomicLocked(path, text);
}

bool TDeletedList::Add(int number) {
    if (!set_.insert(number).second) return false;
    numbers_.push_back(number);
    return true;
}

}  // namespace kivo
