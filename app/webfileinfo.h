#pragma once
// The web file information component: reads the program's version information from META
// lines of its home page, says whether a newer version exists, and runs the update check's
// dialogue (read-me, download, install) through a view. It never starts an installer
// without the user's yes, and a download is written to a temporary file beside the target
// and renamed only when complete, so a canceled or broken download leaves nothing behind.
// Every address it reads (the home page, a redirect, the download) must be https, and an
// update is kept only when its SHA-256 is the one the version page gives.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "net/httpclient.h"

namespace kivo {

enum TWebFileInfoVersionFormat { wfivSimpleString, wfivBuildNumber };

enum TWebFileInfoOption : unsigned {
    wfioDisplayUI = 1,
    wfioDisplayReadMe = 2,
    wfioRunUpdate = 4,
    wfioExitDuringUpdate = 8,
    wfioAlwaysOverwrite = 16,
};

// The META names the component looks for; an empty one never matches.
struct TWebFileTags {
    std::string productName, readMe, externalReadMe, version, date, author, authorEmail, download,
        redirect, runParameters, sha256;
    bool AllEmpty() const;
};

// What the page said; cleared before every retrieval.
struct TWebFileValues {
    std::string productName, readMe, externalReadMe, version, date, author, authorEmail, download,
        redirect, runParameters, sha256;
};

// The dialogue's screen: message boxes, questions, the waiting, progress and read-me windows,
// the save dialog and the shell.
class TWebFileInfoView {
  public:
    virtual ~TWebFileInfoView() = default;
    virtual void Message(const std::string& text, const std::string& title) = 0;
    virtual bool Ask(const std::string& text, const std::string& title) = 0;
    // "Please Wait", "Checking For Update..." while the page is read.
    virtual void Waiting(bool shown) = 0;
    virtual void ShowReadMe(const std::string& text) = 0;
    // The save dialog with the proposed name; the chosen path and file type (1 "Application
    // (*.EXE)", 2 "Zipped File", 3 "All Files"), or nothing when canceled.
    virtual std::optional<std::filesystem::path> SaveAs(const std::string& proposed,
                                                        int& fileType) = 0;
    // "%s of %s bytes received." in a window with the title; false when Cancel was pressed.
    virtual bool Progress(const std::string& title, std::uint64_t received,
                          std::uint64_t total) = 0;
    virtual bool ShellOpen(const std::filesystem::path& file, const std::string& parameters) = 0;
    // Ends the program (after the installer was started).
    virtual void Quit() = 0;
};

class TWebFileInfo {
  public:
    TWebFileInfo(THttpClient& http, TWebFileInfoView& view);

    std::string CurrentVersion;
    std::string HomeURL;
    std::string ApplicationTitle = "Kivo";
    TWebFileTags Tags;
    unsigned Options = 0;
    TWebFileInfoVersionFormat VersionFormat = wfivSimpleString;
    std::filesystem::path TempFolder;  // where an external read-me is put

    const TWebFileValues& Values() const { return values_; }
    const std::string& LastError() const { return lastError_; }
    // The part of the download address after its last "/".
    std::string DownloadFileName() const;

    // Reads the page (and the pages it redirects to); false on failure, with LastError.
    bool Retrieve();
    bool NewerVersion() const;
    // GETs the address into the file, with progress under the title; false on failure. With
    // `sha256` (hex digits, either case) the file is kept only when its digest is that one:
    // otherwise it is deleted and LastError says so.
    bool Download(const std::string& url, const std::filesystem::path& file,
                  const std::string& title, std::string_view sha256 = {});
    // The check command: retrieve, compare, read-me, download and install as the user says.
    void Execute();

  private:
    bool Fetch(const std::string& url);
    void ReadLine(std::string_view line);
    void Failure(const std::string& text, const std::string& title);

    THttpClient& http_;
    TWebFileInfoView& view_;
    TWebFileValues values_;
    std::string lastError_;
};

inline constexpr const char* kHomeUrlDefault = "https://kivo-mail.org/";

class IniFile;
// [Program] "HomeURL": the page the update check reads.
std::string HomeUrl(const IniFile& settings);

// The configured instance's tags ("kivoversion", ..., "kivosha256": the download's SHA-256)
// and options.
void ConfigureKivoUpdate(TWebFileInfo& info, std::string homeUrl);

// Plain character order (wfivSimpleString), or the dot-separated numbers one by one.
bool IsNewerVersion(std::string_view found, std::string_view current,
                    TWebFileInfoVersionFormat format);

// The name from the save dialog: the download file name appended to a folder path, ".EXE" or
// ".ZIP" added to a name without extension by the file type.
std::filesystem::path DownloadTarget(const std::filesystem::path& chosen, int fileType,
                                     const std::string& downloadName);

}  // namespace kivo
