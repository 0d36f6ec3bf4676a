#include "store/freename.h"

#include "base/bytes.h"
#include "base/files.h"

namespace kivo {

std::string NextNumberedName(std::string_view name) {
    std::string next(name);
    if (!next.empty() && next.back() >= '1' && next.back() <= '9') {
        const char last = next.back();
        next.pop_back();
        next += last == '9' ? "10" : std::string(1, static_cast<char>(last + 1));
    } else {
        next += '1';
    }
    return next;
}

std::filesystem::path FreeFileName(const std::filesystem::path& dir, std::string_view base,
                                   std::string_view extension) {
    std::string name(base);
    std::error_code ec;
    while (std::filesystem::exists(FindFileNoCase(dir, name + std::string(extension)), ec))
        name = NextNumberedName(name);
    return dir / (name + std::string(extension));
}

TFreeNames::TFreeNames(std::filesystem::path dir) : dir_(std::move(dir)) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec))
        taken_.insert(LowerCase(it->path().filename().string()));
}

std::filesystem::path TFreeNames::Take(std::string_view base, std::string_view extension) {
    std::string name(base);
    while (taken_.contains(LowerCase(name + std::string(extension)))) name = NextNumberedName(name);
    name += extension;
    taken_.insert(LowerCase(name));
    return dir_ / name;
}

}  // namespace kivo
