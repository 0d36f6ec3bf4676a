#include "app/KivoSettings.h"

#include <algorithm>
#include <utility>

#include "app/startupmailer.h"
#include "base/bytes.h"
#include "base/inifile.h"

namespace kivo {

namespace {

constexpr const char* kDragAndDrop = "DragAndDrop";
constexpr const char* kDefaults = "Defaults";

// The lookup bits of the address book's name matching.
constexpr int kLookupFirst = 1;
constexpr int kLookupLast = 2;
constexpr int kLookupEmail = 4;

TSignatureDefault ReadSignatureDefault(const IniFile& ini) {
    if (ini.ReadBool(kDefaults, "DefSig", true)) return TSignatureDefault::LastUsed;
    return ini.ReadBool(kDefaults, "DefSigOn", true) ? TSignatureDefault::AlwaysOn
                                                     : TSignatureDefault::AlwaysOff;
}

void WriteSignatureDefault(TSignatureDefault choice, IniFile& ini) {
    ini.WriteBool(kDefaults, "DefSigOn", choice == TSignatureDefault::AlwaysOn);
    ini.WriteBool(kDefaults, "DefSig", choice == TSignatureDefault::LastUsed);
}

}  // namespace

std::optional<TSettingsPage> SettingsPageNamed(std::string_view caption) {
    for (const TSettingsPageNode& node : kSettingsPages) {
        if (EqualsNoCase(node.caption, caption)) return node.page;
    }
    return std::nullopt;
}

std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    if (!ParseInt(TrimView(text), value)) return std::nullopt;
    return value;
}

TDragAndDropOptions TDragAndDropOptions::Read(const IniFile& ini) {
    TDragAndDropOptions o;
    o.AutoScript = ini.ReadBool(kDragAndDrop, "AutoScript", o.AutoScript);
    o.AutoCopy = ini.ReadBool(kDragAndDrop, "AutoCopy", o.AutoCopy);
    o.AutoIn = ini.ReadBool(kDragAndDrop, "AutoIn", o.AutoIn);
    o.AutoOut = ini.ReadBool(kDragAndDrop, "AutoOut", o.AutoOut);
    o.Forward = ini.ReadBool(kDragAndDrop, "Forward", o.Forward);
    return o;
}

void TDragAndDropOptions::Write(IniFile& ini) const {
    ini.WriteBool(kDragAndDrop, "AutoScript", AutoScript);
    ini.WriteBool(kDragAndDrop, "AutoCopy", AutoCopy);
    ini.WriteBool(kDragAndDrop, "AutoIn", AutoIn);
    ini.WriteBool(kDragAndDrop, "AutoOut", AutoOut);
    ini.WriteBool(kDragAndDrop, "Forward", Forward);
}

std::uint32_t& TSettingsFields::Colour(TColourSlot slot) {
    switch (slot) {
        case TColourSlot::MessageText:
            return MessageFontColor;
        case TColourSlot::MessageBack:
            return MsgBackColor;
        case TColourSlot::MessageLink:
            return MsgLinkColor;
        case TColourSlot::IndexText:
            return IndexFontColor;
        case TColourSlot::IndexBack:
            return IndexColor;
        case TColourSlot::TagText:
            return TagFont;
        case TColourSlot::TagBack:
            break;
    }
    return TagColor;
}

std::uint32_t TSettingsFields::ShadeColor() const {
    if (Swatch >= 1 && Swatch <= static_cast<int>(kShadeSwatches.size())) {
        return kShadeSwatches[static_cast<std::size_t>(Swatch - 1)];
    }
    return CustomSwatch;
}

TfrmSettings::TfrmSettings(TSettings& settings, std::filesystem::path settingsFile,
                           TSettingsView& view)
    : settings_(settings), settingsFile_(std::move(settingsFile)), view_(view) {}

void TfrmSettings::FormShow(const std::vector<std::string>& rasEntries, TSettingsPage page) {
    const TMailSettings& m = settings_.Mail;
    const TProgramSettings& p = settings_.Program;
    TSettingsFields f;
    f.AttachPath = m.AttachPath.string();
    f.SMTP = m.SMTP;
    f.FastRead = m.FastRead;
    f.RasEntries = rasEntries;
    // The saved entry when the system still has it, else the first; with no entries at all
    // the saved name stays, so a system without dial-up never forgets it.
    const bool known = std::ranges::find(rasEntries, m.RAS) != rasEntries.end();
    f.RAS = known || rasEntries.empty() ? m.RAS : rasEntries.front();
    f.DialUpPass = m.DialUpPass;
    f.AutoDial = m.AutoDial;
    f.AutoHangup = m.AutoHangup;

    f.HideForm = p.HideForm;
    f.ShowHints = p.ShowHints;
    f.Privacy = p.Privacy;
    f.PrivacyPass = m.PrivacyPass;
    f.PrivacyPassAgain = m.PrivacyPass;
    f.AutoCheck = m.AutoCheck;
    f.AutoCheckTime = std::to_string(m.AutoCheckTime);
    f.UserSound = p.UserSound;
    f.SoundFile = p.SoundFile;
    f.SendOnCheck = m.SendOnCheck;

    f.LookupFirst = (p.Lookup & kLookupFirst) != 0;
    f.LookupLast = (p.Lookup & kLookupLast) != 0;
    f.LookupEmail = (p.Lookup & kLookupEmail) != 0;

    const IniFile ini(settingsFile_);
    f.Style = TMessageStyle::Read(ini);
    f.Signature = ReadSignatureDefault(ini);
    f.Format.LastUsed = ini.ReadBool(kDefaults, "DefFormat", true);
    f.Format.Format = std::clamp(ini.ReadInteger(kDefaults, "Format", 1), 0, 2);
    f.DragAndDrop = TDragAndDropOptions::Read(ini);

    f.IndexFont = p.IndexFont;
    f.IndexFontSize = std::to_string(p.IndexFontSize);
    f.MessageFont = p.MessageFont;
    f.MessageFontSize = std::to_string(p.MessageFontSize);

    f.MessageFontColor = p.MessageFontColor;
    f.MsgBackColor = p.MsgBackColor;
    f.MsgLinkColor = p.MsgLinkColor;
    f.IndexFontColor = p.IndexFontColor;
    f.IndexColor = p.IndexColor;
    f.TagFont = p.TagFont;
    f.TagColor = p.TagColor;

    f.ShadeCols = p.ShadeCols;
    const auto swatch = std::ranges::find(kShadeSwatches, p.ShadeColor);
    if (swatch != kShadeSwatches.end()) {
        f.Swatch = static_cast<int>(swatch - kShadeSwatches.begin()) + 1;
    } else {
        f.CustomSwatch = p.ShadeColor;
        f.Swatch = 6;
    }
    f.HorShade = p.HorShade;
    f.HorLines = std::to_string(p.HorLines);
    for (std::size_t k = 0; k < f.VertShade.size(); ++k) {
        f.VertShade[k] = (p.VertShade & (1 << k)) != 0;
    }
    f.Grid = p.Grid;
    fields_ = std::move(f);
    page_ = page;
}

void TfrmSettings::SetColour(TColourSlot slot, std::uint32_t colour) {
    fields_.Colour(slot) = colour;
    fields_.Preset = -1;
}

void TfrmSettings::SelectPreset(int preset) {
    if (preset < 0 || preset >= static_cast<int>(kColourPresets.size())) return;
    const TColourPreset& c = kColourPresets[static_cast<std::size_t>(preset)];
    TSettingsFields& f = fields_;
    f.MessageFontColor = c.messageText;
    f.MsgBackColor = c.messageBack;
    f.MsgLinkColor = c.messageLink;
    f.IndexFontColor = c.indexText;
    f.IndexColor = c.indexBack;
    f.TagFont = c.tagText;
    f.TagColor = c.tagBack;
    f.CustomSwatch = c.shade;
    f.Swatch = 6;
    f.Preset = preset;
}

void TfrmSettings::SelectSwatch(int swatch) {
    if (swatch >= 1 && swatch <= 6) fields_.Swatch = swatch;
}

void TfrmSettings::CustomColour(std::uint32_t colour) {
    fields_.CustomSwatch = colour;
    fields_.Swatch = 6;
}

bool TfrmSettings::SwatchKey(char key, bool numberFieldFocused) {
    if (page_ != TSettingsPage::IndexShading || numberFieldFocused) return false;
    if (key < '1' || key > '6') return false;
    SelectSwatch(key - '0');
    return true;
}

void TfrmSettings::MakeDefaultMailer(TDefaultMailer& mailer) {
    try {
        mailer.Register();
        fields_.MailerButton = "Done!";
    } catch (const std::exception& e) {
        view_.Warning(e.what());
    }
}

bool TfrmSettings::BtnOKClick() {
    const TSettingsFields& f = fields_;
    // Both number fields are read first: a bad one stops OK with nothing taken over.
    const std::optional<int> minutes = WholeNumber(f.AutoCheckTime);
    if (!minutes) {
        view_.Error("'" + f.AutoCheckTime + "' is not a valid whole number of minutes.",
                    TSettingsPage::Misc);
        return false;
    }
    const std::optional<int> lines = WholeNumber(f.HorLines);
    if (!lines) {
        view_.Error("'" + f.HorLines + "' is not a valid whole number of messages.",
                    TSettingsPage::IndexShading);
        return false;
    }

    TMailSettings& m = settings_.Mail;
    TProgramSettings& p = settings_.Program;
    m.RAS = f.RAS;
    m.DialUpPass = f.DialUpPass;
    m.SMTP = Trim(f.SMTP);
    m.FastRead = f.FastRead;
    m.AutoDial = f.AutoDial;
    m.AutoHangup = AutoHangupEnabled() && f.AutoHangup;
    m.AutoCheck = f.AutoCheck;
    m.AutoCheckTime = *minutes;
    if (!TrimView(f.AttachPath).empty()) m.AttachPath = std::string(TrimView(f.AttachPath));
    p.HideForm = f.HideForm;
    p.ShowHints = f.ShowHints;
    p.ShadeCols = f.ShadeCols;
    p.ShadeColor = f.ShadeColor();
    p.Privacy = f.Privacy;
    p.IndexFontColor = f.IndexFontColor;
    p.IndexColor = f.IndexColor;
    p.TagFont = f.TagFont;
    p.TagColor = f.TagColor;
    p.MessageFontColor = f.MessageFontColor;
    p.MsgBackColor = f.MsgBackColor;
    p.MsgLinkColor = f.MsgLinkColor;
    p.UserSound = f.UserSound;
    p.SoundFile = f.SoundFile;
    m.SendOnCheck = f.SendOnCheck;

    if (f.PrivacyPass != f.PrivacyPassAgain) {
        view_.Warning(kPasswordsDifferText);
    } else {
        m.PrivacyPass = f.PrivacyPass;
    }

    p.Grid = f.Grid;
    p.Lookup = (f.LookupFirst ? kLookupFirst : 0) | (f.LookupLast ? kLookupLast : 0) |
               (f.LookupEmail ? kLookupEmail : 0);
    p.VertShade = 0;
    for (std::size_t k = 0; k < f.VertShade.size(); ++k) {
        if (f.VertShade[k]) p.VertShade |= 1 << k;
    }
    p.HorShade = f.HorShade;
    p.HorLines = std::max(1, *lines);

    if (!TrimView(f.IndexFont).empty()) p.IndexFont = Trim(f.IndexFont);
    if (!TrimView(f.MessageFont).empty()) p.MessageFont = Trim(f.MessageFont);
    // A size that is no positive whole number leaves both sizes as they were.
    const std::optional<int> indexSize = WholeNumber(f.IndexFontSize);
    const std::optional<int> messageSize = WholeNumber(f.MessageFontSize);
    if (indexSize && messageSize && *indexSize > 0 && *messageSize > 0) {
        p.IndexFontSize = *indexSize;
        p.MessageFontSize = *messageSize;
    }

    IniFile ini(settingsFile_);
    f.DragAndDrop.Write(ini);
    f.Style.Write(ini);
    WriteSignatureDefault(f.Signature, ini);
    ini.WriteBool(kDefaults, "DefFormat", f.Format.LastUsed);
    ini.WriteInteger(kDefaults, "Format", f.Format.Format);
    SaveIni(settings_, ini);
    ini.UpdateFile(FileAccess::Private);
    return true;
}

}  // namespace kivo
