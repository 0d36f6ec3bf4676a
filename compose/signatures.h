#pragma once
// Signature files: plain text files "NAME.txt" in the signature folder, the template lines
// of a signature as the user wrote them, placeholders included.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The names (file names without ".txt") of every signature, sorted; letter case of the
// extension is ignored. A missing folder has none.
std::vector<std::string> SignatureNames(const std::filesystem::path& folder);

// The file of a signature, found without regard to letter case.
std::filesystem::path SignatureFile(const std::filesystem::path& folder, std::string_view name);

// A signature's template text, empty when the file is missing or the name is no file name.
std::string ReadSignature(const std::filesystem::path& folder, std::string_view name);
// Stores a signature atomically; throws std::invalid_argument for a name that is no file
// name (a path must never leave the folder) and std::system_error when writing fails.
void WriteSignature(const std::filesystem::path& folder, std::string_view name,
                    std::string_view text);

}  // namespace kivo
