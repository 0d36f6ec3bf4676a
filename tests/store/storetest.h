#pragma once
// Small builders for mailbox texts used by the store tests.

#include <string>
#include <string_view>

namespace kivo::test {

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
