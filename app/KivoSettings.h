#pragma once
// The options window ("Mail Settings") without its window: TfrmSettings holds what every page
// of the window shows, fills it from the main window's settings when the window opens, and on
// OK takes it back into those settings and writes kivo.ini. Cancel leaves every setting as it
// was. A number field that does not hold a whole number stops OK before anything is taken
// over, so a typing error never leaves half the options applied.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "compose/messagestyle.h"

namespace kivo {

class IniFile;
class TDefaultMailer;

// The pages of the window's tree, in tree order.
enum class TSettingsPage {
    Settings,
    Program,
    Misc,
    AddressLookup,
    Defaults,
    DragAndDrop,
    Appearance,
    Fonts,
    Colours,
    IndexShading,
};

struct TSettingsPageNode {
    TSettingsPage page;
    std::string_view caption;
    int depth;  // 0 the root, 1 "Program" and "Appearance", 2 their pages
};
inline constexpr std::array<TSettingsPageNode, 10> kSettingsPages = {{
    {TSettingsPage::Settings, "Settings", 0},
    {TSettingsPage::Program, "Program", 1},
    {TSettingsPage::Misc, "Misc", 2},
    {TSettingsPage::AddressLookup, "Address Lookup", 2},
    {TSettingsPage::Defaults, "Defaults", 2},
    {TSettingsPage::DragAndDrop, "Drag and Drop", 2},
    {TSettingsPage::Appearance, "Appearance", 1},
    {TSettingsPage::Fonts, "Fonts", 2},
    {TSettingsPage::Colours, "Colours", 2},
    {TSettingsPage::IndexShading, "Index Shading", 2},
}};
// The page of a tree caption, or nothing.
std::optional<TSettingsPage> SettingsPageNamed(std::string_view caption);

inline constexpr std::string_view kNoParametersText = "This section has no parameters to set.";
inline constexpr std::string_view kPasswordsDifferText =
    "Privacy passwords do not match.\nOld password retained.";
inline constexpr std::string_view kNoPresetText = "< or select a preset >";
inline constexpr std::string_view kSampleHtml =
    "This is a <b>sample text</b> for your message window.<br><a href=\"#0\">A sample link</a>, "
    "adjust colours for <i>better viewing</i>";
// The font sizes the two size selectors offer; any other whole number may be typed.
inline constexpr std::array<int, 13> kFontSizes = {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24};

// [DragAndDrop]: what dropping a contact on a mailbox and a message on a contact do.
struct TDragAndDropOptions {
    bool AutoScript = true;
    bool AutoCopy = true;  // false: move
    bool AutoIn = true;
    bool AutoOut = false;
    bool Forward = true;  // false: bounce

    static TDragAndDropOptions Read(const IniFile& ini);
    void Write(IniFile& ini) const;
    bool operator==(const TDragAndDropOptions&) const = default;
};

// "Signature:" on the Defaults page.
enum class TSignatureDefault { AlwaysOn, AlwaysOff, LastUsed };
// "Default message format:".
struct TFormatDefault {
    bool LastUsed = true;
    int Format = 1;  // 0 "Just Plain", 1 "Plain and Styled", 2 "Just Styled"
    bool operator==(const TFormatDefault&) const = default;
};

// The colour settings the Colours and Fonts pages set and the presets change together.
enum class TColourSlot {
    MessageText,
    MessageBack,
    MessageLink,
    IndexText,
    IndexBack,
    TagText,
    TagBack,
};

struct TColourPreset {
    std::string_view name;
    std::uint32_t messageText, messageBack, messageLink;
    std::uint32_t indexText, indexBack;
    std::uint32_t tagText, tagBack;
    std::uint32_t shade;
};
inline constexpr std::uint32_t kHighlightColour = 0x8000000D;
inline constexpr std::array<TColourPreset, 5> kColourPresets = {{
    {"Midnight", 0xFFFFFF, 0x000000, 0xFFFF00, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000080, 0x404040},
    {"Twilight", 0xFFFFFF, 0x46001C, 0xFFFF00, 0xFFFFFF, 0x46001C, 0x000000, 0x948BCB, 0x73002E},
    {"Noon", 0x000000, 0xA2D2DF, 0xFF0000, 0x000000, 0xA2D2DF, 0x000000, 0xFFAEA6, 0x7ABED1},
    {"Morning", 0x000000, 0xFEEADE, 0xFF0000, 0x000000, 0xFEEADE, 0x000000, 0x00FFFF, 0xFDCEB3},
    {"Windows", kWindowTextColour, kWindowColour, kHighlightColour, kWindowTextColour,
     kWindowColour, 0x000000, 0x00FFFF, 0xFFE0E0},
}};
// The shading colour swatches 1 to 5; swatch 6 holds a colour of the user's own.
inline constexpr std::array<std::uint32_t, 5> kShadeSwatches = {0xFFE0E0, 0xE0FFE0, 0xE0E0FF,
                                                                0xD0FFFF, 0xE8E8E8};

// Everything the pages show, as the controls hold it: number fields as typed text.
struct TSettingsFields {
    // "Settings"
    std::string MailerButton = "Make Kivo &Default Mailer";
    // "Program"
    std::string AttachPath;
    std::string SMTP;
    bool FastRead = false;
    std::vector<std::string> RasEntries;
    std::string RAS;  // the chosen entry
    std::string DialUpPass;
    bool AutoDial = false;
    bool AutoHangup = false;  // enabled only while AutoDial is ticked
    // "Misc"
    bool HideForm = false;
    bool ShowHints = true;
    bool Privacy = false;
    std::string PrivacyPass;
    std::string PrivacyPassAgain;
    bool AutoCheck = false;
    std::string AutoCheckTime;  // enabled only while AutoCheck is ticked
    bool UserSound = false;
    std::string SoundFile;
    bool SendOnCheck = false;
    // "Address Lookup": bits 1, 2, 4
    bool LookupFirst = true;
    bool LookupLast = true;
    bool LookupEmail = true;
    // "Defaults"
    TMessageStyle Style;
    TSignatureDefault Signature = TSignatureDefault::LastUsed;
    TFormatDefault Format;
    // "Drag and Drop"
    TDragAndDropOptions DragAndDrop;
    // "Fonts"
    std::string IndexFont;
    std::string IndexFontSize;
    std::string MessageFont;
    std::string MessageFontSize;
    // "Colours" (also the two font colour buttons of "Fonts")
    int Preset = -1;  // -1: "< or select a preset >"
    std::uint32_t MessageFontColor = kWindowTextColour;
    std::uint32_t MsgBackColor = kWindowColour;
    std::uint32_t MsgLinkColor = 0xFF0000;
    std::uint32_t IndexFontColor = kWindowTextColour;
    std::uint32_t IndexColor = kWindowColour;
    std::uint32_t TagFont = 0;
    std::uint32_t TagColor = 0xFFFF;
    // "Index Shading"
    bool ShadeCols = true;
    std::uint32_t CustomSwatch = 0xFFE0E0;  // swatch 6
    int Swatch = 1;                         // 1 to 6
    bool HorShade = false;
    std::string HorLines;
    std::array<bool, 6> VertShade{};  // Subject, From, Date, Size, To, Priority
    bool Grid = false;

    std::uint32_t& Colour(TColourSlot slot);
    std::uint32_t ShadeColor() const;
};

// What the window shows besides its fields.
class TSettingsView {
  public:
    virtual ~TSettingsView() = default;
    // A warning box ("Privacy passwords do not match."...).
    virtual void Warning(std::string_view text) = 0;
    // An error that stops OK, with the field that holds the bad value.
    virtual void Error(std::string_view text, TSettingsPage page) = 0;
};

class TfrmSettings {
  public:
    TfrmSettings(TSettings& settings, std::filesystem::path settingsFile, TSettingsView& view);

    // Opening: every control from the settings, the dial-up list from `rasEntries`, the
    // drag-and-drop and default-style controls from kivo.ini; the page of `page` is shown.
    void FormShow(const std::vector<std::string>& rasEntries,
                  TSettingsPage page = TSettingsPage::Settings);
    TSettingsFields& Fields() { return fields_; }
    const TSettingsFields& Fields() const { return fields_; }
    TSettingsPage Page() const { return page_; }
    void ShowPage(TSettingsPage page) { page_ = page; }

    // A colour button of the Colours or Fonts page: clears the preset choice.
    void SetColour(TColourSlot slot, std::uint32_t colour);
    // "Presets:": every colour of the preset, its shade colour into swatch 6, selected.
    void SelectPreset(int preset);
    // A swatch (1 to 6) clicked; "&Custom" puts a colour into swatch 6 and selects it.
    void SelectSwatch(int swatch);
    void CustomColour(std::uint32_t colour);
    // Keys 1 to 6 on the Index Shading page while the number field is not focused: true when
    // the key chose a swatch.
    bool SwatchKey(char key, bool numberFieldFocused);
    bool AutoHangupEnabled() const { return fields_.AutoDial; }
    bool AutoCheckTimeEnabled() const { return fields_.AutoCheck; }
    bool DragAndDropChoicesEnabled() const { return fields_.DragAndDrop.AutoScript; }

    // "Make Kivo &Default Mailer": registers Kivo; the caption turns "Done!". A failure is
    // reported through the view and the caption stays.
    void MakeDefaultMailer(TDefaultMailer& mailer);

    // "&OK": false (nothing applied, nothing saved, the window stays open) when a number
    // field does not hold a whole number. Otherwise takes every page into the settings,
    // writes [DragAndDrop] and [Defaults] and the settings into kivo.ini and returns true;
    // throws when kivo.ini cannot be written (the settings are applied then).
    bool BtnOKClick();

  private:
    TSettings& settings_;
    std::filesystem::path settingsFile_;
    TSettingsView& view_;
    TSettingsFields fields_;
    TSettingsPage page_ = TSettingsPage::Settings;
};

// The whole number a number field holds (blanks around it allowed), or nothing.
std::optional<int> WholeNumber(std::string_view text);

}  // namespace kivo
