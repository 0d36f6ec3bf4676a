#include "mail/mimetypes.h"

#include <cstdlib>
#include <fstream>

#include "base/bytes.h"

namespace kivo {

void MimeTypeTable::Load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::string_view rest(line);
        rest = rest.substr(0, rest.find('#'));
        std::string type;
        while (!(rest = TrimView(rest)).empty()) {
            std::size_t end = 0;
            while (end < rest.size() && static_cast<unsigned char>(rest[end]) > ' ') ++end;
            std::string_view word = rest.substr(0, end);
            rest.remove_prefix(end);
            if (type.empty()) {
                type = LowerCase(word);
            } else {
                types_[LowerCase(word)] = type;
            }
        }
    }
}

std::string MimeTypeTable::Lookup(std::string_view fileName) const {
    std::size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos) fileName.remove_prefix(slash + 1);
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return {};
    auto it = types_.find(LowerCase(fileName.substr(dot + 1)));
    return it == types_.end() ? std::string() : it->second;
}

const MimeTypeTable& MimeTypeTable::System() {
    static const MimeTypeTable table = [] {
        MimeTypeTable t;
        t.Load("/etc/mime.types");
        if (const char* home = std::getenv("HOME"); home && *home) {
            t.Load(std::filesystem::path(home) / ".mime.types");
        }
        return t;
    }();
    return table;
}

std::string ContentTypeForFile(std::string_view fileName) {
    std::string type = MimeTypeTable::System().Lookup(fileName);
    return type.empty() ? std::string(kOctetStream) : type;
}

}  // namespace kivo
