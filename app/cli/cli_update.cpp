// `kivo update-check`: the update check's dialogue on the terminal. It prints what the
// dialogue would say; it downloads only with --download and never starts an installer.

#include <chrono>
#include <ostream>

#include "app/cli/cli.h"
#include "app/webfileinfo.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"

namespace kivo::cli {

namespace {

std::string TerminalLines(std::string text) {
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return text;
}

class TerminalUpdateView : public TWebFileInfoView {
  public:
    TerminalUpdateView(Context& ctx, bool readMe, bool download, std::filesystem::path target)
        : ctx_(ctx), readMe_(readMe), download_(download), target_(std::move(target)) {}

    bool failed = false;
    std::filesystem::path saved;

    void Message(const std::string& text, const std::string& title) override {
        if (title == "Connection Error" || title == "Download Error" || title == "Error")
            failed = true;
        ctx_.out << TerminalLines(text) << '\n';
    }
    bool Ask(const std::string& text, const std::string&) override {
        bool yes = false;
        if (text.ends_with("Would you like to view the ReadMe file?")) yes = readMe_;
        if (text.ends_with("Download the update?")) yes = download_;
        // Installing is for the user to start: from the terminal the answer is always no.
        ctx_.out << TerminalLines(text) << ' ' << (yes ? "yes" : "no") << '\n';
        return yes;
    }
    void Waiting(bool) override {}
    void ShowReadMe(const std::string& text) override { ctx_.out << text << '\n'; }
    std::optional<std::filesystem::path> SaveAs(const std::string& proposed,
                                                int& fileType) override {
        fileType = 3;  // "All Files": the name stays as the page gives it
        const std::string name = proposed.empty() || proposed == "." || proposed == ".."
                                     ? std::string("kivo-update")
                                     : proposed;
        std::error_code ec;
        saved = std::filesystem::is_directory(target_, ec) ? target_ / name : target_;
        return saved;
    }
    bool Progress(const std::string& title, std::uint64_t received, std::uint64_t total) override {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastShown_ < std::chrono::milliseconds(200) && received != total) return true;
        lastShown_ = now;
        ctx_.err << '\r' << title << ": " << received << " of " << total << " bytes received."
                 << std::flush;
        progressShown_ = true;
        return true;
    }
    bool ShellOpen(const std::filesystem::path& file, const std::string&) override {
        EndProgressLine();
        ctx_.out << "Saved as " << file.string() << '\n';
        return true;
    }
    void Quit() override {}
    void EndProgressLine() {
        if (progressShown_) ctx_.err << '\n';
        progressShown_ = false;
    }

  private:
    Context& ctx_;
    bool readMe_;
    bool download_;
    std::filesystem::path target_;
    std::chrono::steady_clock::time_point lastShown_;
    bool progressShown_ = false;
};

}  // namespace

int UpdateCheckCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("unknown argument " + args[0]);
    const std::filesystem::path target = args.Value("--to").value_or(".");
    TerminalUpdateView view(ctx, args.Has("--readme"), args.Has("--download"), target);
    TCurlHttpClient http(ctx.platform);
    TWebFileInfo info(http, view);
    ConfigureKivoUpdate(info, HomeUrl(IniFile(ctx.folder.SettingsFile())));
    info.TempFolder = TempFolder();
    info.Execute();
    view.EndProgressLine();
    if (!view.saved.empty() && !view.failed && std::filesystem::exists(view.saved))
        ctx.out << "The update is saved as " << view.saved.string() << '\n';
    return view.failed ? 1 : 0;
}

}  // namespace kivo::cli
