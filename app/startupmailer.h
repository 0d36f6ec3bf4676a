#pragma once
// Whether Kivo is the desktop's handler of mailto: links, and making it so. Start-up asks
// through TDefaultMailer so tests can record the question; on Linux the answer comes from
// xdg-mime and the registration is a kivo.desktop file plus `xdg-mime default`.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class TDefaultMailer {
  public:
    virtual ~TDefaultMailer() = default;
    // The desktop's current handler as its own text (empty when there is none); nothing
    // when the desktop cannot be asked.
    virtual std::optional<std::string> CurrentHandler() = 0;
    // The text that names Kivo inside a handler's text.
    virtual std::string OwnHandler() const = 0;
    // Makes Kivo the handler; throws when that fails.
    virtual void Register() = 0;
};

// A desktop that cannot be asked: start-up then asks nothing.
class TNoDefaultMailer : public TDefaultMailer {
  public:
    std::optional<std::string> CurrentHandler() override { return std::nullopt; }
    std::string OwnHandler() const override { return "kivo.desktop"; }
    void Register() override {}
};

class TXdgDefaultMailer : public TDefaultMailer {
  public:
    // `applications`: the folder of the user's .desktop files; `homeFolder`: the program
    // folder a mailto: link opens Kivo on.
    TXdgDefaultMailer(std::filesystem::path executable, std::filesystem::path homeFolder,
                      std::filesystem::path applications);

    // The user's applications folder: $XDG_DATA_HOME/applications, else
    // ~/.local/share/applications.
    static std::filesystem::path UserApplications();

    // `xdg-mime query default x-scheme-handler/mailto`.
    std::optional<std::string> CurrentHandler() override;
    std::string OwnHandler() const override { return "kivo.desktop"; }
    // Writes kivo.desktop (Exec=<kivo> --home <folder> /m %u) and runs
    // `xdg-mime default kivo.desktop x-scheme-handler/mailto`.
    void Register() override;

    // The desktop entry's text.
    std::string DesktopEntry() const;

  private:
    std::filesystem::path executable_;
    std::filesystem::path homeFolder_;
    std::filesystem::path applications_;
};

// One argument of a desktop entry's Exec line: quoted, with the characters the desktop
// entry format reserves escaped.
std::string DesktopExecArgument(std::string_view argument);

// Runs a program found on PATH and returns its output, or nothing when it cannot be started,
// fails, or runs longer than `timeout` (it is killed then).
std::optional<std::string> RunForOutput(const std::vector<std::string>& argv,
                                        std::chrono::milliseconds timeout);

}  // namespace kivo
