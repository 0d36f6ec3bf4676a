#include "compose/parseaddresses.h"

#include "base/bytes.h"
#include "base/commatext.h"
#include "mail/headerfields.h"

namespace kivo {

namespace {

bool IsSeparator(char c) {
    return c == '\r' || c == '\n' || c == ',' || c == ';';
}

// Pieces between runs of separators, trimmed; empty pieces stay.
std::vector<std::string> CutPieces(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsSeparator(text[i])) continue;
        pieces.push_back(Trim(text.substr(start, i - start)));
        while (i + 1 < text.size() && IsSeparator(text[i + 1])) ++i;
        start = i + 1;
    }
    return pieces;
}

}  // namespace

std::vector<std::string> ParseAddresses(std::string_view text, const TfrmAddress& book, int lookup,
                                        TFrmChooseAddress& chooser) {
    std::vector<std::string> result;
    for (std::string piece : CutPieces(std::string(text) + " ")) {
        if (piece.find('@') == std::string::npos) {
            const std::vector<std::string> candidates = book.ResolveNick(piece, lookup);
            if (candidates.size() == 1) {
                piece = candidates[0];
            } else if (candidates.size() > 1) {
                if (std::optional<std::string> chosen = chooser.Choose(piece, candidates))
                    piece = *chosen;
            }
        }
        // A list of addresses (a contact's "a@x.org, b@x.org") is split into its addresses; a
        // name with its address in angle brackets, or an address with its comment (as a reply
        // takes it from a From line), is one address and stays whole.
        std::vector<std::string> items;
        if (piece.find_first_of("<(") == std::string::npos) items = FromCommaText(piece);
        if (items.size() <= 1) items = {piece};
        for (const std::string& item : items) {
            std::string trimmed = Trim(item);
            if (!trimmed.empty()) result.push_back(std::move(trimmed));
        }
    }
    return result;
}

std::string JoinAddresses(const std::vector<std::string>& addresses) {
    std::string joined;
    for (const std::string& address : addresses) {
        if (!joined.empty()) joined += ", ";
        joined += address;
    }
    return joined;
}

std::string RecipientAddress(const std::string& item) {
    if (item.find_first_of("<(") == std::string::npos) return item;
    const ParsedAddress parsed = ParseAddress(item);
    const std::string address = Trim(parsed.address);
    return address.empty() ? item : address;
}

bool IsMailAddress(std::string_view address) {
    const std::size_t at = address.rfind('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == address.size()) return false;
    const std::string_view local = address.substr(0, at);
    const std::string_view domain = address.substr(at + 1);
    const auto control = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < ' ' || u == 0x7f;
    };
    const auto plain = [&](std::string_view text, std::string_view specials) {
        for (char c : text) {
            if (control(c) || c == ' ' || specials.find(c) != std::string_view::npos) return false;
        }
        return true;
    };
    if (!plain(domain, "<>(),;:\\\"@")) return false;
    if (local.size() >= 2 && local.front() == '"' && local.back() == '"') {
        for (char c : local) {
            if (control(c)) return false;
        }
        return true;
    }
    return plain(local, "<>(),;:\\\"@[]");
}

}  // namespace kivo
