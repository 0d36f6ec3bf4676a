#pragma once
// The settings of kivo.ini that the main window holds while the program runs: every key of
// the [Mail], [Program] and [Position] tables with its type and default. LoadIni reads them
// once at start, SaveIni writes them back once at exit. Other sections of the file ([Scripts],
// [Defaults], [DragAndDrop]) and other keys belong to their own windows and are never touched
// here. Window geometry is kept as plain numbers until the windows exist.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/colour.h"

namespace kivo {

class IniFile;

inline constexpr const char* kProgramVersion = "1.0";

// The screen the main window starts on; the geometry defaults depend on it.
struct TScreen {
    int Width = 1024;
    int Height = 768;
};

struct TMailSettings {
    std::string SMTP;
    std::filesystem::path AttachPath;  // the program folder's Attach/ unless set
    bool Headers = false;
    bool FastRead = false;
    bool SendOnCheck = false;
    bool ViewAttach = true;
    bool AutoDial = false;
    bool AutoHangup = false;
    bool QueryAttach = true;
    bool AutoCheck = false;
    int AutoCheckTime = 5;  // minutes
    std::string RAS;
    std::string DialUpPass;   // plain; stored scrambled
    std::string PrivacyPass;  // plain; stored scrambled
    std::string DefaultAccount;
    // Whether start-up asks to become the default mail program (a registry value elsewhere).
    bool Prompt = true;
    // Seconds a network wait may pass without progress before it gives up.
    int TimeOut = 60;
    // Megabytes: a larger message is left on the server rather than held in memory.
    int MessageLimit = 100;

    // The automatic-check timer's interval; 0 or less means the timer does not fire.
    std::int64_t AutoCheckIntervalMs() const { return std::int64_t{AutoCheckTime} * 60000; }

    friend bool operator==(const TMailSettings&, const TMailSettings&) = default;
};

struct TProgramSettings {
    bool HideForm = false;
    bool ShowHints = true;
    bool Privacy = false;
    int ButtonsShowing = 12;
    int Lookup = 7;
    bool ShowToolbar = true;
    bool UserSound = false;
    std::string SoundFile;
    std::string Opened = "In";  // mailbox path below the mail folder
    bool ShadeCols = true;
    std::uint32_t ShadeColor = 0xFFE0E0;
    int VertShade = 42;
    bool HorShade = false;
    int HorLines = 3;  // at least 1
    bool Grid = false;
    std::string MessageFont = "Arial";
    int MessageFontSize = 10;
    std::uint32_t MessageFontColor = kWindowTextColour;
    std::uint32_t MsgBackColor = kWindowColour;
    std::uint32_t MsgLinkColor = 0xFF0000;
    std::uint32_t IndexColor = kWindowColour;
    std::uint32_t IndexFontColor = kWindowTextColour;
    std::uint32_t TagColor = 0xFFFF;
    std::uint32_t TagFont = 0;
    std::string IndexFont = "Arial";
    int IndexFontSize = 9;

    friend bool operator==(const TProgramSettings&, const TProgramSettings&) = default;
};

struct TPositionSettings {
    int Left = 20;
    int Top = 20;
    int Width = 768;
    int Height = 576;
    bool Maximized = false;
    // Sizes kept for the docked message pane and the left dock; read only. Unset means the
    // window works them out from its own size.
    std::optional<int> DockMain;
    std::optional<int> DockSize;
    int DockAlign = 0;
    bool IndexMin = false;
    bool MessageMin = false;
    int Restore = 150;
    std::optional<int> IndexHeight;  // unset: half the message area's height - 40
    std::array<int, 6> Col = {150, 100, 80, 40, 80, 50};  // Subject, From, Date, Size, To, Priority
    // The file held column widths: the user's own. Without them the window may fit the
    // columns to its font instead of the defaults above.
    bool ColSaved = false;
    std::string MbxDocked = "DL";
    std::string AdrDocked = "DL";
    int MbxAlign = 0;
    int AdrAlign = 2;
    int MbxWidth = 115;
    int MbxHeight = 214;
    int AdrWidth = 115;
    int AdrHeight = 214;
    int MbxLeft = 0;
    int MbxTop = 0;
    int AdrLeft = 0;
    int AdrTop = 0;
    bool MbxVisible = true;
    bool AdrVisible = true;
    // Written only, from the windows' state.
    int Toolbar = 0;
    int MbxDO = 0;
    int AdrDO = 0;

    friend bool operator==(const TPositionSettings&, const TPositionSettings&) = default;
};

struct TSettings {
    TMailSettings Mail;
    TProgramSettings Program;
    TPositionSettings Position;

    friend bool operator==(const TSettings&, const TSettings&) = default;
};

// Every setting at its default for a program folder and a screen.
TSettings DefaultSettings(const std::filesystem::path& programFolder, TScreen screen = {});

// Reads the settings in start-up's order. Missing keys and values of the wrong type keep
// their defaults; should reading fail part-way, what was read so far stays. `problems`, when
// given, gets a line for each value that could not be read and for a failure part-way, to be
// logged. The attachment folder is created (one level) when it is the default one and missing.
TSettings LoadIni(const IniFile& ini, const std::filesystem::path& programFolder,
                  TScreen screen = {}, std::vector<std::string>* problems = nullptr);

// Writes every key of the three tables into `ini`; other sections and keys stay as they are.
// The caller writes the file (IniFile::UpdateFile).
void SaveIni(const TSettings& settings, IniFile& ini);

}  // namespace kivo
