#include "compose/reply.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/inifile.h"
#include "compose/carriedheaders.h"
#include "compose/htmlstrip.h"
#include "mail/msmsg.h"
#include "store/mailaddress.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {

// The header values the commands use, each from the last line that begins exactly with the
// name; the value starts one character after the colon.
struct PickedHeaders {
    std::string replyTo, from, subject, date, account;
};

PickedHeaders Pick(const std::vector<std::string>& headers) {
    PickedHeaders picked;
    const std::pair<std::string_view, std::string*> fields[] = {{"Reply-To:", &picked.replyTo},
                                                                {"From:", &picked.from},
                                                                {"Subject:", &picked.subject},
                                                                {"Date:", &picked.date},
                                                                {"X-Account:", &picked.account}};
    for (const std::string& line : headers) {
        for (const auto& [name, value] : fields) {
            if (line.starts_with(name))
                *value =
                    line.size() > name.size() + 1 ? line.substr(name.size() + 1) : std::string();
        }
    }
    return picked;
}

std::string ReplySubject(const std::string& subject) {
    const std::string trimmed = Trim(subject);
    if (trimmed.empty()) return "Re: Your mail";
    if (UpperCase(trimmed).starts_with("RE:")) return trimmed;
    return "Re: " + trimmed;
}

std::vector<std::string> Quote(const std::vector<std::string>& body, const std::string& head) {
    if (body.empty()) return {};
    std::vector<std::string> quoted = {head};
    for (const std::string& line : body) quoted.push_back(">" + line);
    return quoted;
}

// The user's own address: the receiving account's "Email", else the default account's.
std::string OwnAddress(const std::string& account, const std::filesystem::path& accountsFile,
                       const std::filesystem::path& settingsFile) {
    const IniFile accounts(accountsFile);
    std::string own = account.empty() ? "" : accounts.ReadString(account, "Email", "");
    if (!own.empty()) return own;
    std::vector<std::string> names = accounts.Sections();
    const std::string configured = IniFile(settingsFile).ReadString("Mail", "DefaultAccount", "");
    std::string chosen;
    for (const std::string& name : names) {
        if (EqualsNoCase(name, configured)) chosen = name;
    }
    if (chosen.empty() && !names.empty()) {
        chosen = *std::min_element(names.begin(), names.end(), [](const auto& a, const auto& b) {
            return LowerCase(a) < LowerCase(b);
        });
    }
    return chosen.empty() ? "" : accounts.ReadString(chosen, "Email", "");
}

// The bounce sender: every backslash directly before a double quote goes with that quote.
std::string WithoutEscapedQuotes(std::string text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == '"') text.erase(i, 2);
    }
    return text;
}

// The files a stored body names in its "Attachment Converted:" lines, where they still
// exist: a forward and a bounce send them along, and their lines leave the text. The line of
// a file that is gone stays, so the user sees what is missing.
std::vector<std::string> TakeAttachedFiles(std::vector<std::string>& body) {
    constexpr std::string_view kPrefix = "Attachment Converted: ";
    std::vector<std::string> files;
    std::erase_if(body, [&](const std::string& line) {
        if (!line.starts_with(kPrefix)) return false;
        const std::string_view rest = std::string_view(line).substr(kPrefix.size());
        const std::size_t open = rest.find('"');
        const std::size_t close = rest.rfind('"');
        if (open == std::string_view::npos || close <= open) return false;
        std::string file(rest.substr(open + 1, close - open - 1));
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) return false;
        files.push_back(std::move(file));
        return true;
    });
    return files;
}

// What a bounce keeps of the original's identity besides its text: its Message-ID and its
// place in a conversation, so the recipient sees the original, not a new message.
std::vector<std::string> BounceIdentity(const std::vector<std::string>& headers) {
    std::vector<std::string> lines;
    for (const char* name : {"Message-ID", "In-Reply-To", "References"}) {
        const std::string value = RawFieldValue(headers, name);
        if (!value.empty()) lines.push_back(std::string(name) + ": " + value);
    }
    return lines;
}

void FillReplyToAll(TfrmSend& composer, const std::vector<std::string>& raw,
                    const std::string& replyAddress, const std::string& own) {
    std::vector<std::string> lines = raw;
    const auto separator = std::find_if(lines.begin(), lines.end(),
                                        [](const std::string& l) { return IsSeparator(l); });
    if (separator != lines.end()) lines.erase(separator);
    TmsMessage decoded;
    decoded.LoadFromBytes(JoinLinesCrLf(lines));
    std::vector<std::string> to = {replyAddress};
    std::vector<std::string> cc;
    std::vector<std::string> items;
    decoded.Headers().GetFieldValues("To:", items);
    for (const std::string& item : items) {
        const std::string address = LowerCase(Trim(ExtractAddress(item)));
        if (address != replyAddress) to.push_back(address);
    }
    decoded.Headers().GetFieldValues("Cc:", items);
    for (const std::string& item : items) cc.push_back(LowerCase(Trim(ExtractAddress(item))));
    // The own address in any letter case (the items are lower case by now, so an exact
    // comparison would keep an address that accounts.ini writes with capitals); never the first.
    if (!own.empty()) {
        const auto isOwn = [&](const std::string& a) { return EqualsNoCase(a, Trim(own)); };
        to.erase(std::remove_if(to.begin() + 1, to.end(), isOwn), to.end());
        cc.erase(std::remove_if(cc.begin(), cc.end(), isOwn), cc.end());
    }
    for (const std::string& address : to) {
        if (!address.empty()) composer.AddToLine(address);
    }
    for (const std::string& address : cc) {
        if (!address.empty()) composer.AddCcLine(address);
    }
    composer.LeaveTo();
    composer.LeaveCc();
}

}  // namespace

std::vector<std::string> ReplyLines(std::vector<std::string> lines) {
    bool html = false;
    lines = ReplyLinesHtml(std::move(lines), html);
    if (html) StripHtml(lines);
    return lines;
}

std::vector<std::string> ReplyLinesHtml(std::vector<std::string> lines, bool& html) {
    html = false;
    bool alternative = false;
    for (const std::string& line : lines) {
        if (!StartsWithNoCase(line, "content-type:")) continue;
        if (!html && FindNoCase(line, "text/html") != std::string::npos) html = true;
        if (!alternative && FindNoCase(line, "multipart/alternative") != std::string::npos)
            alternative = true;
    }
    if (alternative) {
        std::vector<std::string> rest = lines;
        const auto separator = std::find_if(rest.begin(), rest.end(),
                                            [](const std::string& l) { return IsSeparator(l); });
        if (separator != rest.end()) rest.erase(separator);
        TmsMessage decoded;
        decoded.LoadFromBytes(JoinLinesCrLf(rest));
        const auto blank = std::find_if(lines.begin(), lines.end(),
                                        [](const std::string& l) { return TrimView(l).empty(); });
        if (blank != lines.end()) lines.erase(blank + 1, lines.end());
        if (decoded.Attachments().Count() > 0) {
            for (std::string& line : SplitLines(decoded.Attachments().Items(0).Data()))
                lines.push_back(std::move(line));
        }
        html = true;
    }
    return lines;
}

std::string_view ReplyStatusLetter(TReplyKind kind) {
    switch (kind) {
        case TReplyKind::Reply:
        case TReplyKind::ReplyToAll:
            return "W";
        case TReplyKind::Forward:
            return "F";
        case TReplyKind::Bounce:
            break;
    }
    return "B";
}

bool FillFromMessage(TfrmSend& composer, TReplyKind kind, std::vector<std::string> lines,
                     const std::filesystem::path& accountsFile,
                     const std::filesystem::path& settingsFile, std::optional<std::string> dropTo) {
    const std::vector<std::string> raw = lines;
    std::vector<std::string> headers;
    ExtractHeaders(headers, lines);
    StripMsgTop(lines);
    std::vector<std::string>& body = lines;
    if (headers.empty()) return false;
    const PickedHeaders h = Pick(headers);
    const std::string sender = h.replyTo.empty() ? h.from : h.replyTo;

    switch (kind) {
        case TReplyKind::Reply:
            composer.SetMode(cmReply);
            composer.Body() = Quote(body, "On " + h.date + ", you wrote:");
            composer.SetCarriedHeaders(ThreadLines(headers, true));
            if (!sender.empty()) composer.AddToLine(ExtractAddress(sender));
            composer.SetSubject(ReplySubject(h.subject));
            break;
        case TReplyKind::ReplyToAll: {
            composer.SetMode(cmReply);
            const std::string replyAddress = ExtractAddress(sender);
            std::string name = ExtractName(sender);
            if (TrimView(name).empty()) name = replyAddress;
            composer.Body() = Quote(body, "On " + h.date + ", " + name + " wrote:");
            composer.SetCarriedHeaders(ThreadLines(headers, true));
            FillReplyToAll(composer, raw, replyAddress,
                           OwnAddress(h.account, accountsFile, settingsFile));
            composer.SetSubject(ReplySubject(h.subject));
            break;
        }
        case TReplyKind::Forward: {
            composer.SetMode(cmForward);
            std::string name = ExtractName(sender);
            if (TrimView(name).empty()) name = ExtractAddress(sender);
            const std::string attribution = "On " + h.date + ", " + Trim(name) + " wrote:";
            // A message that was only a file keeps its attribution above the attached file.
            const bool hadBody = !body.empty();
            for (std::string& file : TakeAttachedFiles(body))
                composer.AddAttachment(std::move(file));
            composer.Body() = Quote(body, attribution);
            if (hadBody && body.empty()) composer.Body() = {attribution};
            composer.SetCarriedHeaders(ThreadLines(headers, false));
            const std::string subject = Trim(h.subject);
            if (!subject.empty())
                composer.SetSubject(UpperCase(subject).starts_with("FWD:") ? subject
                                                                           : "Fwd: " + subject);
            if (dropTo) composer.AddToLine(*dropTo);
            break;
        }
        case TReplyKind::Bounce: {
            composer.SetMode(cmBounce);
            for (std::string& file : TakeAttachedFiles(body))
                composer.AddAttachment(std::move(file));
            composer.Body() = body;
            composer.SetCarriedHeaders(BounceIdentity(headers));
            composer.SetOriginalDate(RawFieldValue(headers, "Date"));
            const std::string bounceFrom = WithoutEscapedQuotes(sender);
            if (!bounceFrom.empty()) composer.SetBounceSender(ExtractAddress(bounceFrom));
            if (!h.subject.empty()) composer.SetSubject(h.subject);
            if (dropTo) composer.AddToLine(*dropTo);
            break;
        }
    }
    if (!h.account.empty()) composer.SetAccount(h.account);
    composer.SetCloseQuietly(true);
    return true;
}

}  // namespace kivo
