#include "compose/signatures.h"

#include <algorithm>
#include <stdexcept>

#include "base/bytes.h"
#include "base/files.h"
#include "compose/filenames.h"

namespace kivo {

namespace {
constexpr std::string_view kExtension = ".txt";
}

std::vector<std::string> SignatureNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() <= kExtension.size() || !entry.is_regular_file(ec)) continue;
        const std::string_view ext = std::string_view(file).substr(file.size() - kExtension.size());
        if (EqualsNoCase(ext, kExtension))
            names.push_back(file.substr(0, file.size() - kExtension.size()));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerCase(a), lb = LowerCase(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

std::filesystem::path SignatureFile(const std::filesystem::path& folder, std::string_view name) {
    return FindFileNoCase(folder, std::string(name) + std::string(kExtension));
}

std::string ReadSignature(const std::filesystem::path& folder, std::string_view name) {
    if (!ValidFileName(name)) return {};
    return ReadFileOrEmpty(SignatureFile(folder, name));
}

void WriteSignature(const std::filesystem::path& folder, std::string_view name,
                    std::string_view text) {
    if (!ValidFileName(name)) {
        throw std::invalid_argument("not a valid signature name: " + std::string(name));
    }
    WriteFileAtomic(SignatureFile(folder, name), text);
}

}  // namespace kivo
