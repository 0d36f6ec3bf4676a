#include "view/KivoMsg.h"

#include <system_error>
#include <unordered_map>

#include "base/bytes.h"
#include "base/displaytext.h"
#include "base/files.h"
#include "mail/rfc822date.h"
#include "mail/storedtext.h"
#include "store/mbxfile.h"
#include "view/labels.h"
#include "view/msghtml.h"
#include "view/writemessage.h"

namespace kivo {

namespace {

// The entries of a folder by their lower-case names; of names differing only in case the
// smallest wins, so the choice does not depend on the order the folder lists them in.
std::unordered_map<std::string, std::string> LowerCaseNames(const fs::path& dir) {
    std::unordered_map<std::string, std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        auto [at, added] = names.try_emplace(LowerCase(name), name);
        if (!added && name < at->second) at->second = std::move(name);
    }
    return names;
}

// At most a few lines of a long address for a question or a tip, cut between characters.
std::string ShownPart(std::string_view text) {
    constexpr std::size_t kMax = 300;
    if (text.size() <= kMax) return std::string(text);
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

std::string TwoDigits(int n) {
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

}  // namespace

TFrmMsg::TFrmMsg(TMsgOptions options, TFrmMsgView& view, Platform& platform)
    : options_(options), view_(view), platform_(platform), showHeaders_(options.Headers) {}

void TFrmMsg::WriteMessage(std::vector<std::string> headers, std::vector<std::string> body,
                           TMsgOrigin origin) {
    headers_ = std::move(headers);
    // Out and Sent may hold a body in its transfer encoding: it is shown as text, as In is.
    body_ = StoredBodyText(headers_, std::move(body));
    ListAttachments(TakeAttachmentLines(body_));
    Render(origin);
}

void TFrmMsg::Render(TMsgOrigin origin) {
    showHeaders_ = options_.Headers;
    html_ = MessageHtml(headers_, body_, showHeaders_, origin == TMsgOrigin::RawView, &isHtml_);
    ReadLabels();
    view_.MessageWritten(*this);
}

void TFrmMsg::ReadLabels() {
    // Status letters S (sent) and Q (queued) mark outgoing mail: its From is the account.
    const std::string status = HeaderValue("Status:", headers_);
    outgoing_ = status.find_first_of("SQ") != std::string::npos;
    fromText_ = LabelText("From:", headers_);
    title_ = LabelText("Subject:", headers_);
    const Rfc822Date parsed = ParseRfc822Date(HeaderValue("Date:", headers_));
    date_ = parsed.Valid() ? parsed.date : DateTime::Now();
    dateText_ =
        TwoDigits(date_.day) + "/" + TwoDigits(date_.month) + "/" + std::to_string(date_.year);
    timeText_ =
        TwoDigits(date_.hour) + ":" + TwoDigits(date_.minute) + ":" + TwoDigits(date_.second);
}

void TFrmMsg::ListAttachments(const std::vector<std::string>& paths) {
    attachments_.clear();
    attachHint_.clear();
    attachments_.reserve(paths.size());
    // Names not found as written are looked up in one pass over the folder, so a message
    // with thousands of attachment lines costs one folder listing, not one per line.
    std::unordered_map<std::string, std::string> byLowerName;
    bool listed = false;
    for (const std::string& stored : paths) {
        TMsgAttachment item;
        item.StoredPath = stored;
        item.FileName = AttachmentFileName(stored);
        // Looked up by name in today's attachments folder, so files moved there with the
        // folder are found again; a name that is no file name is never looked up.
        const bool plainName =
            !item.FileName.empty() && item.FileName != "." && item.FileName != "..";
        if (plainName) {
            std::error_code ec;
            item.File = options_.AttachPath / item.FileName;
            item.Found = fs::is_regular_file(item.File, ec);
            if (!item.Found) {
                if (!listed) byLowerName = LowerCaseNames(options_.AttachPath);
                listed = true;
                const auto entry = byLowerName.find(LowerCase(item.FileName));
                if (entry != byLowerName.end()) {
                    item.File = options_.AttachPath / entry->second;
                    item.Found = fs::is_regular_file(item.File, ec);
                }
            }
        }
        attachHint_ = item.Found ? kAttachFoundHint : kAttachMissingHint;
        attachments_.push_back(std::move(item));
    }
}

void TFrmMsg::ToggleShowHeaders(bool mainBusy) {
    if (mainBusy) return;
    options_.Headers = !options_.Headers;
    Render(TMsgOrigin::Normal);
}

void TFrmMsg::ViewRawMessage() {
    Number = -1;
    Render(TMsgOrigin::RawView);
}

bool TFrmMsg::LinkClick(std::string_view url, std::string_view shown) {
    const std::string_view target = TrimView(url);
    if (!IsOpenableUrl(target)) {
        platform_.ShowTip(std::string(kLinkRefusedTip) + ShownPart(target));
        return false;
    }
    if (StartsWithNoCase(target, "mailto:")) return view_.ComposeMailTo(target);
    const std::string shownHost = ShownLinkHost(shown);
    if (!shownHost.empty() && shownHost != UrlHost(target)) {
        const std::string question = std::string(kLinkMismatchQuestion) +
                                     ShownPart(TrimView(shown)) +
                                     "\nLeads to: " + ShownPart(target) + "\n\nOpen it?";
        if (!platform_.AskYesNo(question)) return false;
    }
    return platform_.ShellOpen(target);
}

bool TFrmMsg::OpenAttachment(std::size_t index) {
    if (index >= attachments_.size()) return false;
    const TMsgAttachment& item = attachments_[index];
    std::error_code ec;
    if (item.File.empty() || !fs::is_regular_file(item.File, ec)) {
        platform_.ShowTip(std::string(kAttachMissingTip) + item.FileName);
        return false;
    }
    if (IsAttachedMessage(item.FileName)) return view_.OpenAttachedMessage(item.File);
    if (options_.QueryAttach) {
        const TQueryAttachAnswer answer = view_.QueryAttach();
        if (answer == TQueryAttachAnswer::No) return false;
        if (answer == TQueryAttachAnswer::AlwaysYes) options_.QueryAttach = false;
    }
    return platform_.ShellOpen(item.File.string());
}

bool OpenAttachmentsFolder(const fs::path& folder, Platform& platform) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) {
        platform.ShowTip(kNoAttachFolderTip);
        return false;
    }
    return platform.ShellOpen(folder.string());
}

bool IsOpenableUrl(std::string_view url) {
    const std::string_view trimmed = TrimView(url);
    static constexpr std::string_view kSchemes[] = {"http://", "https://", "mailto:"};
    for (std::string_view scheme : kSchemes) {
        if (StartsWithNoCase(trimmed, scheme) && trimmed.size() > scheme.size()) return true;
    }
    return false;
}

namespace {

// "www." makes no other host of the same name.
std::string HostPart(std::string_view authority) {
    const std::size_t end = authority.find_first_of("/?#\\");
    authority = authority.substr(0, end);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority = authority.substr(at + 1);
    // A port follows the last ":" outside an IPv6 address's brackets.
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos)
        authority = authority.substr(0, colon);
    std::string host = LowerCase(authority);
    while (!host.empty() && host.back() == '.') host.pop_back();
    if (host.starts_with("www.")) host.erase(0, 4);
    return host;
}

}  // namespace

std::string UrlHost(std::string_view url) {
    url = TrimView(url);
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    return HostPart(url.substr(scheme + 3));
}

std::string ShownLinkHost(std::string_view text) {
    text = TrimView(text);
    if (StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://"))
        return UrlHost(text);
    // A bare host name: one word with a dot in its host part ("bank.example/login").
    if (text.empty() || text.find_first_of(" \t\r\n@") != std::string_view::npos) return {};
    const std::string host = HostPart(text);
    const std::size_t dot = host.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= host.size()) return {};
    return host;
}

bool IsAttachedMessage(std::string_view fileName) {
    return StartsWithNoCase(fileName, "Attached Message ") && fileName.size() > 5 &&
           EqualsNoCase(fileName.substr(fileName.size() - 5), ".html");
}

}  // namespace kivo

namespace kivo {

std::optional<fs::path> TFrmMsg::CidFile(std::string_view cid) const {
    return kivo::CidFile(cid, headers_, attachments_);
}

}  // namespace kivo
