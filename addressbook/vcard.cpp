#include "addressbook/vcard.h"

#include <algorithm>

#include "base/bytes.h"
#include "mail/outcharset.h"
#include "mail/quotedprintable.h"

namespace kivo {

namespace {

constexpr std::size_t kFoldAt = 75;

struct Property {
    std::string name;    // upper case, without group
    std::string params;  // upper case, as written after the name
    std::string value;
};

// Physical lines joined into logical ones: a line starting with a blank or tab continues
// the previous one; a quoted-printable line ending in "=" continues on the next line.
std::vector<std::string> Unfold(std::string_view text) {
    std::vector<std::string> logical;
    bool softBreak = false;
    for (const std::string& line : SplitLines(text)) {
        if (!logical.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            logical.back() += line.substr(1);
        } else if (softBreak && !logical.empty()) {
            logical.back() += line;
        } else {
            logical.push_back(line);
        }
        const std::string& last = logical.back();
        softBreak =
            FindNoCase(last.substr(0, last.find(':')), "QUOTED-PRINTABLE") != std::string::npos &&
            last.ends_with('=');
        if (softBreak) logical.back().pop_back();
    }
    return logical;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

Property Parse(std::string_view line) {
    Property p;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return p;
    std::string head = UpperCase(line.substr(0, colon));
    p.value = line.substr(colon + 1);
    const std::size_t semi = head.find(';');
    p.name = head.substr(0, semi);
    if (semi != std::string::npos) p.params = head.substr(semi + 1);
    if (const std::size_t dot = p.name.rfind('.'); dot != std::string::npos)
        p.name = p.name.substr(dot + 1);
    if (p.params.find("QUOTED-PRINTABLE") != std::string::npos) {
        std::string decoded;
        UnescapeQuotedPrintable(p.value, decoded);
        p.value = decoded;
    }
    if ((p.params.find("ISO-8859-1") != std::string::npos ||
         p.params.find("WINDOWS-1252") != std::string::npos) &&
        !IsValidUtf8(p.value))
        p.value = Latin1ToUtf8(p.value);
    return p;
}

// The components of a structured value, split at unescaped ";", escapes undone.
std::vector<std::string> Components(std::string_view value) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            parts.back() += (next == 'n' || next == 'N') ? ' ' : next;
        } else if (c == ';') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    for (std::string& part : parts) part = Trim(part);
    return parts;
}

std::string Text(std::string_view value) {
    std::vector<std::string> parts = Components(value);
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : ";") + part;
    return joined;
}

// A property kept with the contact: its line with the parameters that described the file's
// encoding left out (the value is decoded now), older bare type parameters as TYPE=, and raw
// line breaks of a decoded value escaped so the line stays one line.
std::string KeptLine(const Property& p) {
    std::string line = p.name;
    std::size_t start = 0;
    while (start < p.params.size()) {
        std::size_t end = p.params.find(';', start);
        if (end == std::string::npos) end = p.params.size();
        const std::string param = Trim(std::string_view(p.params).substr(start, end - start));
        start = end + 1;
        if (param.empty() || param == "QUOTED-PRINTABLE" || param == "ENCODING=QUOTED-PRINTABLE" ||
            param.starts_with("CHARSET="))
            continue;
        if (param == "BASE64" || param == "ENCODING=BASE64") {
            line += ";ENCODING=b";
        } else if (param.find('=') == std::string::npos) {
            line += ";TYPE=" + param;
        } else {
            line += ";" + param;
        }
    }
    line += ':';
    for (std::size_t i = 0; i < p.value.size(); ++i) {
        const char c = p.value[i];
        if (c == '\r' || c == '\n') {
            line += "\\n";
            if (c == '\r' && i + 1 < p.value.size() && p.value[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    return line;
}

// Folds one logical line: each physical line at most kFoldAt bytes, continuation lines
// starting with a blank, never inside a UTF-8 character.
void AppendFolded(std::string& out, std::string_view line) {
    std::size_t limit = kFoldAt;
    while (line.size() > limit) {
        std::size_t cut = limit;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        limit = kFoldAt - 1;
    }
    out.append(line);
    out += "\r\n";
}

struct Card {
    std::string given, family, formatted, nickname;
    std::vector<std::string> emails;
    std::vector<std::string> extra;
    std::ptrdiff_t preferred = 0;  // how many addresses at the front are preferred ones

    TContact Contact() const {
        TContact c;
        c.first = given;
        c.last = family;
        if (c.first.empty() && c.last.empty() && !formatted.empty()) {
            const std::size_t blank = formatted.find(' ');
            c.first = formatted.substr(0, blank);
            if (blank != std::string::npos) c.last = Trim(formatted.substr(formatted.rfind(' ')));
        }
        if (c.first.empty()) c.first = nickname;
        for (const std::string& email : emails) c.email += (c.email.empty() ? "" : ", ") + email;
        if (c.first.empty() && !emails.empty())
            c.first = emails.front().substr(0, emails.front().find('@'));
        c.extra = extra;
        // A nickname that is the first name says nothing more.
        if (Nickname(c) == c.first) SetNickname(c, "");
        return c;
    }
};

}  // namespace

std::vector<TContact> ReadVCards(std::string_view text) {
    std::vector<TContact> contacts;
    Card card;
    bool inside = false;
    for (const std::string& line : Unfold(text)) {
        const Property p = Parse(line);
        if (p.name == "BEGIN" && EqualsNoCase(Trim(p.value), "VCARD")) {
            card = {};
            inside = true;
        } else if (!inside) {
            continue;
        } else if (p.name == "END") {
            const TContact contact = card.Contact();
            if (!contact.first.empty() || !contact.email.empty()) contacts.push_back(contact);
            inside = false;
        } else if (p.name == "N") {
            const std::vector<std::string> parts = Components(p.value);
            card.family = parts[0];
            if (parts.size() > 1) card.given = parts[1];
        } else if (p.name == "FN") {
            card.formatted = Text(p.value);
        } else if (p.name == "NICKNAME") {
            // Kept whole; the first of several nicknames is the one typed.
            if (card.nickname.empty()) {
                TContact probe;
                probe.extra.push_back(KeptLine(p));
                card.nickname = Nickname(probe);
                card.extra.insert(card.extra.begin(), probe.extra.front());
            }
        } else if (p.name == "EMAIL") {
            std::string email = Trim(p.value);
            if (StartsWithNoCase(email, "mailto:")) email = Trim(email.substr(7));
            if (email.empty()) continue;
            // A preferred address comes first: it is the one a nickname stands for.
            const bool preferred = p.params.find("PREF") != std::string::npos;
            const auto at = preferred ? card.emails.begin() + card.preferred++ : card.emails.end();
            card.emails.insert(at, email);
        } else if (p.name != "VERSION" && p.name != "PRODID" && !p.name.empty()) {
            card.extra.push_back(KeptLine(p));
        }
    }
    return contacts;
}

std::string WriteVCards(const std::vector<TContact>& contacts) {
    std::string out;
    for (const TContact& c : contacts) {
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        AppendFolded(out, "N:" + EscapeVCardText(c.last) + ";" + EscapeVCardText(c.first) + ";;;");
        const std::string full = Trim(c.first + " " + c.last);
        AppendFolded(out, "FN:" + EscapeVCardText(full.empty() ? c.email : full));
        if (!c.first.empty() && Nickname(c).empty())
            AppendFolded(out, "NICKNAME:" + EscapeVCardText(c.first));
        std::size_t start = 0;
        while (start < c.email.size()) {
            std::size_t comma = c.email.find(',', start);
            if (comma == std::string::npos) comma = c.email.size();
            const std::string email = Trim(std::string_view(c.email).substr(start, comma - start));
            if (!email.empty()) AppendFolded(out, "EMAIL;TYPE=INTERNET:" + email);
            start = comma + 1;
        }
        for (const std::string& line : c.extra) AppendFolded(out, line);
        out += "END:VCARD\r\n";
    }
    return out;
}

std::string EscapeVCardText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        if (c != '\r') out += c;
    }
    return out;
}

std::string UnescapeVCardText(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += (next == 'n' || next == 'N') ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

}  // namespace kivo
