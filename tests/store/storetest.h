#pragma once
// Small builders for mailbox texts used by the store tests.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/KivoIndex.h"
#include "store/populate.h"

namespace kivo::test {

// An index window on mailbox `name` of `folder`, nothing loaded yet.
inline TFrmIndex WindowOn(const std::filesystem::path& folder, std::string name = "Box") {
    TFrmIndex window;
    window.Folder = folder;
    window.MailboxName = std::move(name);
    return window;
}

// Every entry of a window, in its order.
inline std::vector<TIndexItem> Entries(const TFrmIndex& window) {
    std::vector<TIndexItem> entries;
    for (int i = 0; i < window.ItemCount(); ++i) entries.push_back(window.Item(i));
    return entries;
}

// The same with its entries rebuilt from the mailbox file.
inline TFrmIndex Rebuilt(const std::filesystem::path& folder, std::string name = "Box") {
    TFrmIndex window = WindowOn(folder, std::move(name));
    PopulateAll(window);
    return window;
}

// One stored message: a separator, the header lines (each ended by CR LF), an empty line and
// the body lines.
inline std::string StoredMsg(std::string_view headers, std::string_view body = "body\r\n") {
    return "From sender@example.com 01/02/2024 10:00:00\r\n" + std::string(headers) + "\r\n" +
           std::string(body);
}

// `count` messages with subjects "m1".."mN" and the given status letters.
inline std::string NumberedMailbox(int count, std::string_view status = "U") {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        text += StoredMsg("Subject: m" + std::to_string(i) + "\r\nStatus: " + std::string(status) +
                          "\r\n");
    }
    return text;
}

}  // namespace kivo::test
