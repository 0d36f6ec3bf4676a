#include "app/attachedmessage.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "base/files.h"
#include "store/mbxfile.h"
#include "transfer/storedform.h"

namespace kivo {

TShownLines AttachedMessageLines(const fs::path& file, const fs::path& partsFolder) {
    ReceivedMessage received = ConvertReceived(ReadFileBytes(file), partsFolder);
    std::vector<std::string> lines = StoredLines(received, "");
    TShownLines shown;
    StripMsgBottom(lines);
    ExtractHeaders(shown.headers, lines);
    StripMsgTop(lines);
    shown.body = std::move(lines);
    return shown;
}

fs::path NewPartsFolder() {
    std::string pattern = (TempFolder() / "kivo-message-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "cannot create " + pattern);
    return pattern;
}

}  // namespace kivo
