// The composer's fields, signature pane, account and closing rules.

#include "compose/KivoSend.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/displaytext.h"
#include "base/inifile.h"
#include "compose/parseaddresses.h"
#include "compose/placeholders.h"
#include "compose/signatures.h"
#include "compose/tip.h"

namespace kivo {

namespace {

constexpr const char* kModeNames[] = {"new", "reply", "forward", "bounce", "script"};

}  // namespace

TfrmSend::TfrmSend(TComposerPaths paths, TComposerView& view, TComposerOutbox& outbox,
                   TFrmChooseAddress& chooser)
    : paths_(std::move(paths)), view_(view), outbox_(outbox), chooser_(chooser) {
    addressList_.Init(paths_.addressFile);
}

void TfrmSend::FirstActivation() {
    const IniFile settings(paths_.settingsFile);
    accounts_ = IniFile(paths_.accountsFile).Sections();
    const std::string configured = settings.ReadString("Mail", "DefaultAccount", "");
    account_.clear();
    for (const std::string& name : accounts_) {
        if (EqualsNoCase(name, configured)) account_ = name;
    }
    if (account_.empty() && !accounts_.empty()) account_ = accounts_.front();

    sigOn_ = settings.ReadBool("Defaults", "DefSig", true)
                 ? settings.ReadBool("Defaults", "SigLast", true)
                 : settings.ReadBool("Defaults", "DefSigOn", true);
    const int format = settings.ReadBool("Defaults", "DefFormat", true)
                           ? settings.ReadInteger("Defaults", "FormatLast", 1)
                           : settings.ReadInteger("Defaults", "Format", 1);
    SetFormat(format != 2, format != 0);

    PopulateSig();
    const std::string section = Trim(configured).empty() ? "My Account" : configured;
    SelectSignature(IniFile(paths_.accountsFile).ReadString(section, "Sig", "Default"));
    closeQuietly_ = true;
}

std::string TfrmSend::Caption() const {
    std::string caption = kModeNames[mode_];
    caption[0] = static_cast<char>(caption[0] - 'a' + 'A');
    if (!subject_.prompt) return caption + ", " + std::string(CharPrefix(subject_.text, 30));
    if (!to_.prompt) return caption + " to " + std::string(CharPrefix(to_.text, 30));
    return caption;
}

void TfrmSend::Set(TComposerField& field, std::string_view text) {
    field.text = text;
    field.prompt = field.text.empty();
    if (!field.prompt) closeQuietly_ = false;
}

void TfrmSend::AddLine(TComposerField& field, std::string_view line) {
    if (!field.prompt && !field.text.empty()) field.text += "\r\n";
    if (field.prompt) field.text.clear();
    field.text += line;
    field.prompt = false;
}

void TfrmSend::SetSubject(std::string_view text) {
    // The subject is one line: a line break (from a mailto link's %0D%0A, or a script) would
    // start a header line of its own, or end the header.
    std::string line(text);
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    Set(subject_, TrimView(line).empty() ? std::string_view() : std::string_view(line));
}

int TfrmSend::Lookup() const {
    return IniFile(paths_.settingsFile).ReadInteger("Program", "Lookup", kLookupDefault);
}

std::vector<std::string> TfrmSend::ParseAddresses(std::string_view text) {
    return kivo::ParseAddresses(text, addressList_, Lookup(), chooser_);
}

void TfrmSend::ResolveAddresses(TComposerField& field) {
    if (field.prompt) return;
    Set(field, JoinAddresses(ParseAddresses(field.text)));
}

void TfrmSend::SetBodyText(std::string_view text) {
    body_ = SplitLines(text);
    if (!body_.empty()) closeQuietly_ = false;
}

void TfrmSend::InitMailTo(std::string_view url) {
    std::string text = Trim(url);
    if (StartsWithNoCase(text, "mailto:")) text = Trim(std::string_view(text).substr(7));
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t q = text.find('?'); q != std::string::npos; q = text.find('?', start)) {
        parts.push_back(text.substr(start, q - start));
        start = q + 1;
    }
    std::string last = text.substr(start);
    start = 0;
    for (std::size_t a = last.find('&'); a != std::string::npos; a = last.find('&', start)) {
        parts.push_back(last.substr(start, a - start));
        start = a + 1;
    }
    parts.push_back(last.substr(start));

    // Browsers and other programs escape a link's text (%20, %0D%0A, UTF-8 bytes as %C3%A4);
    // each value is read unescaped after the split, so an escaped "&", "," or "?" stays.
    const auto addLines = [](std::string_view list, auto add) {
        std::size_t from = 0;
        while (true) {
            const std::size_t comma = list.find(',', from);
            add(PercentDecoded(list.substr(from, comma - from)));
            if (comma == std::string_view::npos) break;
            from = comma + 1;
        }
    };
    for (const std::string& part : parts) {
        const std::string_view view(part);
        if (part.find('=') == std::string::npos) {
            if (!part.empty()) addLines(view, [&](std::string_view s) { AddToLine(s); });
        } else if (StartsWithNoCase(part, "to=")) {
            addLines(view.substr(3), [&](std::string_view s) { AddToLine(s); });
        } else if (StartsWithNoCase(part, "cc=")) {
            addLines(view.substr(3), [&](std::string_view s) { AddCcLine(s); });
        } else if (StartsWithNoCase(part, "bcc=")) {
            addLines(view.substr(4), [&](std::string_view s) { AddBccLine(s); });
        } else if (StartsWithNoCase(part, "subject=")) {
            SetSubject(PercentDecoded(view.substr(8)));
        } else if (StartsWithNoCase(part, "body=")) {
            SetBodyText(PercentDecoded(view.substr(5)));
        }
    }
    closeQuietly_ = true;
}

void TfrmSend::PopulateSig() {
    sigNames_ = kivo::SignatureNames(paths_.signatureFolder);
}

void TfrmSend::SelectSignature(std::string_view name) {
    const bool listed = std::find(sigNames_.begin(), sigNames_.end(), name) != sigNames_.end();
    sigName_ = listed ? std::string(name) : "";
    LoadSignature();
}

void TfrmSend::LoadSignature() {
    if (sigName_.empty()) {
        sigTemplate_.clear();
        sigLines_.clear();
        return;
    }
    sigTemplate_ = ReadSignature(paths_.signatureFolder, sigName_);
    ShowExpandedSignature();
}

void TfrmSend::ShowExpandedSignature() {
    sigLines_ = SplitLines(ExpandPlaceholders(paths_.accountsFile, account_, sigTemplate_));
}

void TfrmSend::SaveSignature() {
    if (!sigName_.empty()) WriteSignature(paths_.signatureFolder, sigName_, sigTemplate_);
}

void TfrmSend::PreviousSignature() {
    SaveSignature();
    if (sigNames_.empty()) return;
    auto it = std::find(sigNames_.begin(), sigNames_.end(), sigName_);
    if (it == sigNames_.end() || it == sigNames_.begin()) it = sigNames_.end();
    SelectSignature(*std::prev(it));
}

void TfrmSend::NextSignature() {
    SaveSignature();
    if (sigNames_.empty()) return;
    auto it = std::find(sigNames_.begin(), sigNames_.end(), sigName_);
    if (it == sigNames_.end() || std::next(it) == sigNames_.end()) {
        SelectSignature(sigNames_.front());
    } else {
        SelectSignature(*std::next(it));
    }
}

void TfrmSend::SaveSig(std::string_view name) {
    if (name.empty()) return;
    sigName_ = name;
    SaveSignature();
    PopulateSig();
    SelectSignature(name);
}

void TfrmSend::SetSignatureTemplate(std::string_view text) {
    sigTemplate_ = TrimView(text).empty() ? "" : std::string(text);
    ShowExpandedSignature();
    if (!sigLines_.empty()) closeQuietly_ = false;
}

void TfrmSend::AddAttachment(std::string path) {
    attachments_.push_back(std::move(path));
    closeQuietly_ = false;
}

void TfrmSend::DropFiles(const std::vector<std::string>& paths) {
    // A path cut to a fixed length would name another file, or none: each is taken whole.
    for (const std::string& path : paths) AddAttachment(path);
    view_.BringToFront();
}

bool TfrmSend::SetAccount(std::string_view name) {
    for (const std::string& account : accounts_) {
        if (account != name) continue;
        account_ = account;
        SelectSignature(AccountValue("Sig", "Default"));
        return true;
    }
    return false;
}

std::string TfrmSend::AccountValue(std::string_view key, std::string_view fallback) const {
    return IniFile(paths_.accountsFile).ReadString(account_, key, fallback);
}

void TfrmSend::SetFormat(bool plain, bool styled) {
    plain_ = plain || !styled;
    styled_ = styled;
}

std::chrono::steady_clock::time_point TfrmSend::Now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void TfrmSend::ShowTip(const std::string& text) {
    view_.ShowTip(text);
    tipShownAt_ = Now();
}

void TfrmSend::TipExpired() {
    tipShownAt_.reset();
    closeQuietly_ = false;
}

bool TfrmSend::RequestClose() {
    if (tipShownAt_ && Now() - *tipShownAt_ >= std::chrono::milliseconds(kComposerTipMs))
        TipExpired();
    if (closeQuietly_) return true;
    ShowTip(kAbandonTip);
    closeQuietly_ = true;
    return false;
}

}  // namespace kivo
