// kivo mime dump FILE / kivo mime encode FILE: what the message library makes of a raw
// message, for users debugging odd mail and for checks.

#include <openssl/evp.h>

#include <array>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <string>

#include "app/cli/cli.h"
#include "base/files.h"
#include "mail/msmsg.h"

namespace kivo::cli {

namespace {

using Json = nlohmann::ordered_json;

// Message text is bytes; each byte becomes the character of the same number, so JSON shows
// 8-bit text unchanged and every input dumps, valid UTF-8 or not.
std::string BytesToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto code = static_cast<unsigned char>(c);
        if (code < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

Json Lines(const std::vector<std::string>& lines) {
    Json result = Json::array();
    for (const std::string& line : lines) result.push_back(BytesToUtf8(line));
    return result;
}

Json Address(const TmsMailAddress& address) {
    return Json{{"name", BytesToUtf8(address.Name())}, {"address", BytesToUtf8(address.Address())}};
}

Json Addresses(const TmsAddressList& list) {
    Json result = Json::array();
    for (const TmsMailAddress& address : list) result.push_back(Address(address));
    return result;
}

std::string Sha256Hex(std::string_view data) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("cannot compute SHA-256");
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

Json Attachment(const TmsAttItem& item) {
    static constexpr const char* kEncodings[] = {"none", "base64", "quoted-printable"};
    Json result{{"fileName", BytesToUtf8(item.FileName())},
                {"contentType", BytesToUtf8(item.ContentType())},
                {"encoding", kEncodings[item.Encoding()]},
                {"size", item.Data().size()},
                {"sha256", Sha256Hex(item.Data())}};
    if (!item.ContentID().empty()) result["contentId"] = BytesToUtf8(item.ContentID());
    return result;
}

Json Dump(TmsMessage& message) {
    static constexpr const char* kPriorities[] = {"low", "normal", "high"};
    static constexpr const char* kCharSets[] = {"us-ascii", "iso-8859-1", "iso-2022-jp"};
    Json attachments = Json::array();
    for (const TmsAttItem& item : message.Attachments()) attachments.push_back(Attachment(item));
    Json dump{{"sender", Address(message.Sender())},
                {"to", Addresses(message.Recipients())},
                {"cc", Addresses(message.CC())},
                {"bcc", Addresses(message.BCC())},
                {"subject", BytesToUtf8(message.Subject())},
                {"priority", kPriorities[message.Priority()]},
                {"returnReceipt", message.ReturnReceipt()},
                {"contentType", BytesToUtf8(message.ContentType())},
                {"encoding", message.Encoding() == meUU ? "uu" : "mime"},
                {"charSet", kCharSets[message.CharSet()]},
                {"headers", Lines(message.Headers().Lines())},
                {"body", Lines(message.Body())},
                {"attachments", attachments}};
    // What the decoder had to mend, when anything.
    if (!message.DecodeNotes().empty()) dump["notes"] = Lines(message.DecodeNotes());
    return dump;
}

TmsMessage LoadMessage(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("expects one message file");
    TmsMessage message;
    message.LoadFromBytes(ReadFileBytes(args[0]), &ctx.platform);
    return message;
}

}  // namespace

int MimeDumpCommand(Context& ctx, Args args) {
    TmsMessage message = LoadMessage(ctx, args);
    ctx.out << Dump(message).dump(2) << '\n';
    return 0;
}

int MimeEncodeCommand(Context& ctx, Args args) {
    TmsMessage message = LoadMessage(ctx, args);
    message.SaveToStream(ctx.out, &ctx.platform);
    ctx.out.flush();
    return 0;
}

}  // namespace kivo::cli
