#include "mail/utf8text.h"

#include <iconv.h>

#include <cerrno>

#include "base/bytes.h"
#include "mail/outcharset.h"

namespace kivo {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Labels that stand for a larger charset in mail as on the web.
std::string IconvName(std::string_view label) {
    std::string name = LowerCase(TrimView(label));
    if (const std::size_t star = name.find('*'); star != std::string::npos) name.resize(star);
    if (name.empty() || name == "us-ascii" || name == "ascii" || name == "iso-8859-1" ||
        name == "iso8859-1" || name == "latin1" || name == "iso_8859-1" || name == "l1" ||
        name == "cp819") {
        return "CP1252";
    }
    if (name == "gb2312" || name == "gbk" || name == "x-gbk") return "GB18030";
    if (name == "ks_c_5601-1987" || name == "euc-kr") return "CP949";
    if (name == "iso-8859-9" || name == "latin5") return "CP1254";
    if (name == "tis-620" || name == "iso-8859-11") return "CP874";
    if (name == "utf8") return "UTF-8";
    return name;
}

bool IsUtf8Label(std::string_view name) {
    return name == "UTF-8" || name == "utf-8";
}

// The length of the valid UTF-8 sequence at the start of `text`, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text) {
    for (std::size_t length = 1; length <= 4 && length <= text.size(); ++length) {
        if (IsValidUtf8(text.substr(0, length))) return length;
    }
    return 0;
}

}  // namespace

struct Utf8Converter::Iconv {
    iconv_t cd;
    explicit Iconv(iconv_t handle) : cd(handle) {}
    ~Iconv() { iconv_close(cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    static std::unique_ptr<Iconv> Open(const std::string& from) {
        iconv_t cd = iconv_open("UTF-8", from.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
        return std::make_unique<Iconv>(cd);
    }

    // Converts as much of `in` as the charset allows; `in` is left at the first byte that
    // could not be read (an invalid or incomplete sequence), empty when all went.
    void Run(std::string_view& in, std::string& out) {
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[4096];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno != E2BIG) break;
        }
        // Close an open shift state (ISO-2022-JP output is never needed, but be tidy).
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        in = std::string_view(src, srcLeft);
    }
};

Utf8Converter::Utf8Converter(std::string_view charset) {
    const std::string label = LowerCase(TrimView(charset));
    const std::string name = IconvName(charset);
    keepUtf8_ = IsUtf8Label(name) || label.empty() || label == "us-ascii" || label == "ascii";
    stateful_ = label.starts_with("iso-2022") || label == "utf-7" || label == "hz-gb-2312";
    fallback_ = Iconv::Open("CP1252");
    if (!IsUtf8Label(name)) from_ = Iconv::Open(name);
    if (!from_ && !IsUtf8Label(name)) keepUtf8_ = true;  // unknown: UTF-8 if it is, else 1252
}

Utf8Converter::~Utf8Converter() = default;

std::string Utf8Converter::Convert(std::string_view text) {
    if (!stateful_ && IsAscii(text)) return std::string(text);
    if (keepUtf8_ && IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    while (!text.empty()) {
        if (keepUtf8_ || !from_) {
            // Valid sequences stay, the other bytes are Windows-1252.
            const std::size_t valid = Utf8SequenceLength(text);
            if (valid > 0) {
                out.append(text.substr(0, valid));
                text.remove_prefix(valid);
                continue;
            }
        } else {
            from_->Run(text, out);
            if (text.empty()) break;
        }
        std::string_view one = text.substr(0, 1);
        const std::size_t before = out.size();
        if (fallback_) fallback_->Run(one, out);
        if (out.size() == before) out.append(kReplacement);
        text.remove_prefix(1);
    }
    return out;
}

std::string ToUtf8(std::string_view text, std::string_view charset) {
    Utf8Converter converter(charset);
    return converter.Convert(text);
}

std::string DisplayUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    return ToUtf8(text, "windows-1252");
}

}  // namespace kivo
