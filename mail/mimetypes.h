#pragma once
// The file-type table: MIME content types by file-name extension, read from mime.types files
// (/etc/mime.types, then ~/.mime.types, whose entries win).

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kivo {

inline constexpr const char* kOctetStream = "application/octet-stream";

// Extensions (lower case, without dot) to content types.
class MimeTypeTable {
  public:
    // Adds the entries of one mime.types file ("type ext ext ..."; "#" starts a comment).
    // Later entries replace earlier ones. A missing file adds nothing.
    void Load(const std::filesystem::path& file);
    // The content type for a file name's extension (compared in any case), or empty.
    std::string Lookup(std::string_view fileName) const;

    // The system's table, read once.
    static const MimeTypeTable& System();

  private:
    std::unordered_map<std::string, std::string> types_;
};

// The content type of a file name from the system table; "application/octet-stream" when
// the extension is unknown or the name has none.
std::string ContentTypeForFile(std::string_view fileName);

}  // namespace kivo
