#include "mail/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "mail/mserrors.h"

namespace kivo {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Byte classes beyond the 64 values.
constexpr std::uint8_t kPad = 64;
constexpr std::uint8_t kSpace = 65;
constexpr std::uint8_t kBad = 66;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& v : table) v = kBad;
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
    table['='] = kPad;
    for (unsigned char c : {' ', '\t', '\r', '\n'}) table[c] = kSpace;
    return table;
}
constexpr auto kDecode = MakeDecodeTable();

inline std::uint8_t Value(char c) {
    return kDecode[static_cast<unsigned char>(c)];
}

// Encodes whole groups of three and the padded tail; dst has room for 4 * ceil(n / 3).
char* EncodeInto(const unsigned char* src, std::size_t n, char* dst) {
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        std::uint32_t v = (src[i] << 16) | (src[i + 1] << 8) | src[i + 2];
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 63];
        *dst++ = kAlphabet[(v >> 6) & 63];
        *dst++ = kAlphabet[v & 63];
    }
    if (n - i == 1) {
        std::uint32_t v = src[i] << 16;
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 63];
        *dst++ = '=';
        *dst++ = '=';
    } else if (n - i == 2) {
        std::uint32_t v = (src[i] << 16) | (src[i + 1] << 8);
        *dst++ = kAlphabet[v >> 18];
        *dst++ = kAlphabet[(v >> 12) & 63];
        *dst++ = kAlphabet[(v >> 6) & 63];
        *dst++ = '=';
    }
    return dst;
}

// Writes the whole bytes of an incomplete group of count characters (2 or 3 give 1 or 2
// bytes; a single character holds no whole byte).
char* FlushPartial(unsigned bits, int count, char* dst) {
    if (count < 2) return dst;
    bits <<= 6 * (4 - count);
    *dst++ = static_cast<char>(bits >> 16);
    if (count == 3) *dst++ = static_cast<char>(bits >> 8);
    return dst;
}

}  // namespace

void Base64Decoder::Decode(std::string_view chunk, std::string& out) {
    const std::size_t start = out.size();
    // Every 4 characters give at most 3 bytes; a pending group adds at most 3 more.
    out.resize(start + chunk.size() / 4 * 3 + 6);
    char* dst = out.data() + start;
    const char* p = chunk.data();
    const char* end = p + chunk.size();
    while (p < end) {
        if (count_ == 0) {
            // Fast path: whole groups of four alphabet characters.
            while (end - p >= 4) {
                std::uint32_t a = Value(p[0]), b = Value(p[1]), c = Value(p[2]), d = Value(p[3]);
                if ((a | b | c | d) >= 64) break;
                std::uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
                dst[0] = static_cast<char>(v >> 16);
                dst[1] = static_cast<char>(v >> 8);
                dst[2] = static_cast<char>(v);
                dst += 3;
                p += 4;
            }
            if (p == end) break;
        }
        std::uint8_t v = Value(*p++);
        if (v < 64) {
            bits_ = (bits_ << 6) | v;
            if (++count_ == 4) {
                dst[0] = static_cast<char>(bits_ >> 16);
                dst[1] = static_cast<char>(bits_ >> 8);
                dst[2] = static_cast<char>(bits_);
                dst += 3;
                bits_ = 0;
                count_ = 0;
            }
        } else if (v == kPad) {
            // Padding ends the group; what follows starts a new one.
            dst = FlushPartial(bits_, count_, dst);
            bits_ = 0;
            count_ = 0;
        } else if (v == kBad) {
            if (errors_ == Base64Errors::kRaise) {
                out.resize(dst - out.data());
                throw EMessageParserError("Invalid Character");
            }
            ++skipped_;
        }
    }
    out.resize(dst - out.data());
}

void Base64Decoder::Finish(std::string& out) {
    char tail[2];
    out.append(tail, FlushPartial(bits_, count_, tail) - tail);
    Reset();
}

void Base64Decoder::Reset() {
    bits_ = 0;
    count_ = 0;
}

std::string DecodeBase64(std::string_view text, Base64Errors errors) {
    std::string out;
    Base64Decoder decoder(errors);
    decoder.Decode(text, out);
    decoder.Finish(out);
    return out;
}

void AppendBase64(std::string_view bytes, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    EncodeInto(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
               out.data() + start);
}

std::string EncodeBase64(std::string_view bytes) {
    std::string out;
    AppendBase64(bytes, out);
    return out;
}

void Base64LineEncoder::Encode(std::string_view chunk, std::string& out) {
    if (!pending_.empty()) {
        std::size_t take = std::min(chunk.size(), kBase64LineBytes - pending_.size());
        pending_.append(chunk.substr(0, take));
        chunk.remove_prefix(take);
        if (pending_.size() < kBase64LineBytes) return;
        AppendBase64(pending_, out);
        out.append(eol_);
        pending_.clear();
    }
    // Whole lines are encoded straight into the output, sized once.
    const std::size_t lines = chunk.size() / kBase64LineBytes;
    const std::size_t lineSize = 76 + eol_.size();
    const std::size_t start = out.size();
    out.resize(start + lines * lineSize);
    char* dst = out.data() + start;
    const auto* src = reinterpret_cast<const unsigned char*>(chunk.data());
    for (std::size_t i = 0; i < lines; ++i) {
        dst = EncodeInto(src + i * kBase64LineBytes, kBase64LineBytes, dst);
        dst = std::copy(eol_.begin(), eol_.end(), dst);
    }
    pending_.assign(chunk.substr(lines * kBase64LineBytes));
}

void Base64LineEncoder::Finish(std::string& out) {
    AppendBase64(pending_, out);
    out.append(eol_);
    pending_.clear();
}

std::string EncodeBase64Lines(std::string_view data, std::string_view eol) {
    std::string out;
    Base64LineEncoder encoder(eol);
    encoder.Encode(data, out);
    encoder.Finish(out);
    return out;
}

}  // namespace kivo
