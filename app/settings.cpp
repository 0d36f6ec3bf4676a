#include "app/settings.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/scramble.h"
#include "base/secretstore.h"

namespace kivo {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMail = "Mail";
constexpr std::string_view kProgram = "Program";
constexpr std::string_view kPosition = "Position";
constexpr const char* kColumnKeys[6] = {"Col0", "Col1", "Col2", "Col3", "Col4", "Col5"};

// The settings file as the readers below use it, noting each value that is there but cannot
// be read as its type (it keeps its default, as a missing one does).
class CheckedIni {
  public:
    CheckedIni(const IniFile& ini, std::vector<std::string>* problems)
        : ini_(ini), problems_(problems) {}
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const {
        return ini_.ReadString(section, key, fallback);
    }
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const {
        // Two fallbacks give two answers only when the value is not read.
        Check(section, key, ini_.ReadInteger(section, key, 0) != ini_.ReadInteger(section, key, 1));
        return ini_.ReadInteger(section, key, fallback);
    }
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const {
        Check(section, key,
              ini_.ReadBool(section, key, false) != ini_.ReadBool(section, key, true));
        return ini_.ReadBool(section, key, fallback);
    }
    std::uint32_t ReadColour(std::string_view section, std::string_view key,
                             std::uint32_t fallback) const {
        Check(section, key, ini_.ReadColour(section, key, 0) != ini_.ReadColour(section, key, 1));
        return ini_.ReadColour(section, key, fallback);
    }
    bool ValueExists(std::string_view section, std::string_view key) const {
        return ini_.ValueExists(section, key);
    }
    std::optional<int> ReadOptional(std::string_view section, std::string_view key) const {
        int value = 0;
        if (ParseInt(ini_.ReadString(section, key, ""), value)) return value;
        Check(section, key, true);
        return std::nullopt;
    }

  private:
    void Check(std::string_view section, std::string_view key, bool unread) const {
        if (!unread || !problems_ || !ini_.ValueExists(section, key)) return;
        problems_->push_back("[" + std::string(section) + "] " + std::string(key) + "=" +
                             ini_.ReadString(section, key, "") +
                             " cannot be read; the default is used");
    }

    const IniFile& ini_;
    std::vector<std::string>* problems_;
};

fs::path DefaultAttachPath(const fs::path& programFolder) {
    return programFolder / "Attach" / "";
}

// Folder names compared as the program always has: in lower case, and here also without
// regard to a trailing separator.
bool SameFolderText(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.back() == '/') a.remove_suffix(1);
    while (b.size() > 1 && b.back() == '/') b.remove_suffix(1);
    return EqualsNoCase(a, b);
}

void ReadMail(const CheckedIni& ini, const fs::path& programFolder, TMailSettings& m) {
    const fs::path fallback = DefaultAttachPath(programFolder);
    m.AttachPath = ini.ReadString(kMail, "AttachPath", fallback.string());
    std::error_code ec;
    if (SameFolderText(m.AttachPath.string(), fallback.string()) &&
        !fs::is_directory(m.AttachPath, ec)) {
        CreateFolderOneLevel(m.AttachPath);
    }
    m.Headers = ini.ReadBool(kMail, "Headers", m.Headers);
    m.FastRead = ini.ReadBool(kMail, "FastRead", m.FastRead);
    m.SendOnCheck = ini.ReadBool(kMail, "SendOnCheck", m.SendOnCheck);
    m.ViewAttach = ini.ReadBool(kMail, "ViewAttach", m.ViewAttach);
    m.AutoDial = ini.ReadBool(kMail, "AutoDial", m.AutoDial);
    m.AutoHangup = ini.ReadBool(kMail, "AutoHangup", m.AutoHangup);
    m.QueryAttach = ini.ReadBool(kMail, "QueryAttach", m.QueryAttach);
    m.AutoCheck = ini.ReadBool(kMail, "AutoCheck", m.AutoCheck);
    m.AutoCheckTime = ini.ReadInteger(kMail, "AutoCheckTime", m.AutoCheckTime);
    m.RAS = ini.ReadString(kMail, "RAS", m.RAS);
    m.DefaultAccount = ini.ReadString(kMail, "DefaultAccount", m.DefaultAccount);
    m.SMTP = ini.ReadString(kMail, "SMTP", m.SMTP);
    m.Prompt = ini.ReadBool(kMail, "Prompt", m.Prompt);
    // A wait without a limit, or a limit that refuses every message, is no setting.
    m.TimeOut = std::max(1, ini.ReadInteger(kMail, "TimeOut", m.TimeOut));
    m.MessageLimit = std::max(1, ini.ReadInteger(kMail, "MessageLimit", m.MessageLimit));
}

void ReadProgram(const CheckedIni& ini, TProgramSettings& p) {
    p.HideForm = ini.ReadBool(kProgram, "HideForm", p.HideForm);
    p.ShowHints = ini.ReadBool(kProgram, "ShowHints", p.ShowHints);
    p.Privacy = ini.ReadBool(kProgram, "Privacy", p.Privacy);
    p.ButtonsShowing = ini.ReadInteger(kProgram, "ButtonsShowing", p.ButtonsShowing);
    p.Lookup = ini.ReadInteger(kProgram, "Lookup", p.Lookup);
    p.ShowToolbar = ini.ReadBool(kProgram, "ShowToolbar", p.ShowToolbar);
    p.UserSound = ini.ReadBool(kProgram, "UserSound", p.UserSound);
    p.SoundFile = ini.ReadString(kProgram, "SoundFile", p.SoundFile);
    p.Opened = ini.ReadString(kProgram, "Opened", p.Opened);
    if (p.Opened.empty()) p.Opened = "In";
    p.ShadeCols = ini.ReadBool(kProgram, "ShadeCols", p.ShadeCols);
    p.ShadeColor = ini.ReadColour(kProgram, "ShadeColor", p.ShadeColor);
    p.VertShade = ini.ReadInteger(kProgram, "VertShade", p.VertShade);
    p.HorShade = ini.ReadBool(kProgram, "HorShade", p.HorShade);
    p.HorLines = std::max(1, ini.ReadInteger(kProgram, "HorLines", p.HorLines));
    p.Grid = ini.ReadBool(kProgram, "Grid", p.Grid);
    p.MessageFont = ini.ReadString(kProgram, "MessageFont", p.MessageFont);
    p.MessageFontSize = ini.ReadInteger(kProgram, "MessageFontSize", p.MessageFontSize);
    p.MessageFontColor = ini.ReadColour(kProgram, "MessageFontColor", p.MessageFontColor);
    p.MsgBackColor = ini.ReadColour(kProgram, "MsgBackColor", p.MsgBackColor);
    p.MsgLinkColor = ini.ReadColour(kProgram, "MsgLinkColor", p.MsgLinkColor);
    p.IndexColor = ini.ReadColour(kProgram, "IndexColor", p.IndexColor);
    p.IndexFontColor = ini.ReadColour(kProgram, "IndexFontColor", p.IndexFontColor);
    p.TagColor = ini.ReadColour(kProgram, "TagColor", p.TagColor);
    p.TagFont = ini.ReadColour(kProgram, "TagFont", p.TagFont);
    p.IndexFont = ini.ReadString(kProgram, "IndexFont", p.IndexFont);
    p.IndexFontSize = ini.ReadInteger(kProgram, "IndexFontSize", p.IndexFontSize);
}

void ReadPosition(const CheckedIni& ini, TScreen screen, TPositionSettings& q) {
    q.Left = ini.ReadInteger(kPosition, "Left", q.Left);
    q.Top = ini.ReadInteger(kPosition, "Top", q.Top);
    q.Width = std::min(ini.ReadInteger(kPosition, "Width", q.Width), screen.Width);
    q.Height = std::min(ini.ReadInteger(kPosition, "Height", q.Height), screen.Height);
    q.DockMain = ini.ReadOptional(kPosition, "DockMain");
    q.DockSize = ini.ReadOptional(kPosition, "DockSize");
    q.DockAlign = ini.ReadInteger(kPosition, "DockAlign", q.DockAlign);
    q.IndexMin = ini.ReadBool(kPosition, "IndexMin", q.IndexMin);
    q.MessageMin = ini.ReadBool(kPosition, "MessageMin", q.MessageMin);
    if (q.IndexMin && q.MessageMin) q.MessageMin = false;
    q.Restore = ini.ReadInteger(kPosition, "Restore", q.Restore);
    for (std::size_t i = 0; i < q.Col.size(); ++i) {
        q.Col[i] = ini.ReadInteger(kPosition, kColumnKeys[i], q.Col[i]);
        if (ini.ValueExists(kPosition, kColumnKeys[i])) q.ColSaved = true;
    }
    q.IndexHeight = ini.ReadOptional(kPosition, "IndexHeight");
    q.Maximized = ini.ReadBool(kPosition, "Maximized", q.Maximized);
    q.MbxVisible = ini.ReadBool(kPosition, "MbxVisible", q.MbxVisible);
    q.AdrVisible = ini.ReadBool(kPosition, "AdrVisible", q.AdrVisible);
    q.MbxWidth = ini.ReadInteger(kPosition, "MbxWidth", q.MbxWidth);
    q.MbxHeight = ini.ReadInteger(kPosition, "MbxHeight", q.MbxHeight);
    q.AdrWidth = ini.ReadInteger(kPosition, "AdrWidth", q.AdrWidth);
    q.AdrHeight = ini.ReadInteger(kPosition, "AdrHeight", q.AdrHeight);
    q.MbxDocked = ini.ReadString(kPosition, "MbxDocked", q.MbxDocked);
    q.MbxAlign = ini.ReadInteger(kPosition, "MbxAlign", q.MbxAlign);
    q.AdrDocked = ini.ReadString(kPosition, "AdrDocked", q.AdrDocked);
    q.AdrAlign = ini.ReadInteger(kPosition, "AdrAlign", q.AdrAlign);
    q.MbxLeft = ini.ReadInteger(kPosition, "MbxLeft", q.MbxLeft);
    q.MbxTop = ini.ReadInteger(kPosition, "MbxTop", q.MbxTop);
    q.AdrLeft = ini.ReadInteger(kPosition, "AdrLeft", q.AdrLeft);
    q.AdrTop = ini.ReadInteger(kPosition, "AdrTop", q.AdrTop);
}

}  // namespace

TSettings DefaultSettings(const fs::path& programFolder, TScreen screen) {
    TSettings s;
    s.Mail.AttachPath = DefaultAttachPath(programFolder);
    TPositionSettings& q = s.Position;
    if (screen.Width > 800) {
        q.Left = q.Top = 20;
        q.Width = (screen.Width - 640) / 3 + 640;
        q.Height = (screen.Height - 480) / 3 + 480;
    } else {
        q.Left = q.Top = 5;
        q.Width = screen.Width - 10;
        q.Height = screen.Height - 40;
    }
    return s;
}

namespace {

constexpr TSecretName kDialUpPassName = {"kivo.ini", kMail, "DialUpPass", kDialUpPasswordKey};
constexpr TSecretName kPrivacyPassName = {"kivo.ini", kMail, "PrivacyPass", kPrivacyPasswordKey};

// The passwords from wherever they live; one still scrambled in the file is emptied there
// when the settings are next saved.
void ReadPasswords(const IniFile& ini, const fs::path& programFolder, TMailSettings& m) {
    TPasswordStore store = TPasswordStore::ForFolder(programFolder);
    m.DialUpPass = store.Read(ini, kDialUpPassName);
    m.PrivacyPass = store.Read(ini, kPrivacyPassName);
}

}  // namespace

TSettings LoadIni(const IniFile& ini, const fs::path& programFolder, TScreen screen,
                  std::vector<std::string>* problems) {
    TSettings s = DefaultSettings(programFolder, screen);
    const CheckedIni checked(ini, problems);
    // A failure stops reading; what was read so far stays and the rest keeps its defaults.
    try {
        ReadMail(checked, programFolder, s.Mail);
        ReadPasswords(ini, programFolder, s.Mail);
        ReadProgram(checked, s.Program);
        ReadPosition(checked, screen, s.Position);
    } catch (const std::exception& e) {
        if (problems) {
            problems->push_back("Reading the settings stopped, the rest keep their defaults: " +
                                std::string(e.what()));
        }
    }
    return s;
}

void SaveIni(const TSettings& s, IniFile& ini) {
    const TMailSettings& m = s.Mail;
    ini.WriteString(kMail, "SMTP", m.SMTP);
    ini.WriteString(kMail, "AttachPath", m.AttachPath.string());
    ini.WriteBool(kMail, "Headers", m.Headers);
    ini.WriteBool(kMail, "FastRead", m.FastRead);
    ini.WriteBool(kMail, "SendOnCheck", m.SendOnCheck);
    ini.WriteBool(kMail, "ViewAttach", m.ViewAttach);
    ini.WriteBool(kMail, "AutoDial", m.AutoDial);
    ini.WriteBool(kMail, "AutoHangup", m.AutoHangup);
    ini.WriteBool(kMail, "QueryAttach", m.QueryAttach);
    ini.WriteBool(kMail, "AutoCheck", m.AutoCheck);
    ini.WriteInteger(kMail, "AutoCheckTime", m.AutoCheckTime);
    ini.WriteString(kMail, "RAS", m.RAS);
    // An in-memory file (no path) has no folder, so no keyring: the scrambled form.
    TPasswordStore store = TPasswordStore::ForFolder(ini.Path().parent_path());
    ini.WriteString(kMail, "DialUpPass", "");
    store.Write(ini, kDialUpPassName, m.DialUpPass);
    ini.WriteString(kMail, "PrivacyPass", "");
    store.Write(ini, kPrivacyPassName, m.PrivacyPass);
    ini.WriteString(kMail, "DefaultAccount", m.DefaultAccount);
    ini.WriteBool(kMail, "Prompt", m.Prompt);
    ini.WriteInteger(kMail, "TimeOut", m.TimeOut);
    ini.WriteInteger(kMail, "MessageLimit", m.MessageLimit);

    const TProgramSettings& p = s.Program;
    ini.WriteBool(kProgram, "HideForm", p.HideForm);
    ini.WriteBool(kProgram, "ShowHints", p.ShowHints);
    ini.WriteBool(kProgram, "Privacy", p.Privacy);
    ini.WriteInteger(kProgram, "ButtonsShowing", p.ButtonsShowing);
    ini.WriteInteger(kProgram, "Lookup", p.Lookup);
    ini.WriteBool(kProgram, "ShowToolbar", p.ShowToolbar);
    ini.WriteBool(kProgram, "UserSound", p.UserSound);
    ini.WriteString(kProgram, "SoundFile", p.SoundFile);
    ini.WriteString(kProgram, "Opened", p.Opened);
    ini.WriteBool(kProgram, "ShadeCols", p.ShadeCols);
    ini.WriteColour(kProgram, "ShadeColor", p.ShadeColor);
    ini.WriteInteger(kProgram, "VertShade", p.VertShade);
    ini.WriteBool(kProgram, "HorShade", p.HorShade);
    ini.WriteInteger(kProgram, "HorLines", p.HorLines);
    ini.WriteBool(kProgram, "Grid", p.Grid);
    ini.WriteString(kProgram, "MessageFont", p.MessageFont);
    ini.WriteInteger(kProgram, "MessageFontSize", p.MessageFontSize);
    ini.WriteColour(kProgram, "MessageFontColor", p.MessageFontColor);
    ini.WriteColour(kProgram, "MsgBackColor", p.MsgBackColor);
    ini.WriteColour(kProgram, "MsgLinkColor", p.MsgLinkColor);
    ini.WriteColour(kProgram, "IndexColor", p.IndexColor);
    ini.WriteColour(kProgram, "IndexFontColor", p.IndexFontColor);
    ini.WriteColour(kProgram, "TagColor", p.TagColor);
    ini.WriteColour(kProgram, "TagFont", p.TagFont);
    ini.WriteString(kProgram, "IndexFont", p.IndexFont);
    ini.WriteInteger(kProgram, "IndexFontSize", p.IndexFontSize);
    ini.WriteString(kProgram, "XMailer", std::string("Kivo, v") + kProgramVersion);
    ini.WriteString(kProgram, "Version", kProgramVersion);

    const TPositionSettings& q = s.Position;
    ini.WriteInteger(kPosition, "Left", q.Left);
    ini.WriteInteger(kPosition, "Top", q.Top);
    ini.WriteInteger(kPosition, "Width", q.Width);
    ini.WriteInteger(kPosition, "Height", q.Height);
    ini.WriteBool(kPosition, "Maximized", q.Maximized);
    ini.WriteInteger(kPosition, "DockAlign", q.DockAlign);
    ini.WriteBool(kPosition, "IndexMin", q.IndexMin);
    ini.WriteBool(kPosition, "MessageMin", q.MessageMin);
    ini.WriteInteger(kPosition, "Restore", q.Restore);
    // Only a height the window knows; a guess would shape the next start.
    if (q.IndexHeight) ini.WriteInteger(kPosition, "IndexHeight", *q.IndexHeight);
    for (std::size_t i = 0; i < q.Col.size(); ++i) {
        ini.WriteInteger(kPosition, kColumnKeys[i], q.Col[i]);
    }
    ini.WriteString(kPosition, "MbxDocked", q.MbxDocked);
    ini.WriteString(kPosition, "AdrDocked", q.AdrDocked);
    ini.WriteInteger(kPosition, "MbxAlign", q.MbxAlign);
    ini.WriteInteger(kPosition, "AdrAlign", q.AdrAlign);
    ini.WriteInteger(kPosition, "MbxWidth", q.MbxWidth);
    ini.WriteInteger(kPosition, "MbxHeight", q.MbxHeight);
    ini.WriteInteger(kPosition, "AdrWidth", q.AdrWidth);
    ini.WriteInteger(kPosition, "AdrHeight", q.AdrHeight);
    ini.WriteInteger(kPosition, "MbxLeft", q.MbxLeft);
    ini.WriteInteger(kPosition, "MbxTop", q.MbxTop);
    ini.WriteInteger(kPosition, "AdrLeft", q.AdrLeft);
    ini.WriteInteger(kPosition, "AdrTop", q.AdrTop);
    ini.WriteBool(kPosition, "MbxVisible", q.MbxVisible);
    ini.WriteBool(kPosition, "AdrVisible", q.AdrVisible);
    ini.WriteInteger(kPosition, "Toolbar", q.Toolbar);
    ini.WriteInteger(kPosition, "MbxDO", q.MbxDO);
    ini.WriteInteger(kPosition, "AdrDO", q.AdrDO);
}

}  // namespace kivo
