#include "app/startupmailer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "base/bytes.h"
#include "base/files.h"
#include "net/childprocess.h"

namespace kivo {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
constexpr const char* kMailtoType = "x-scheme-handler/mailto";
// Enough for any handler name; a program that talks more is cut off.
constexpr std::size_t kOutputMax = 64 * 1024;
}  // namespace

std::optional<std::string> RunForOutput(const std::vector<std::string>& argv,
                                        std::chrono::milliseconds timeout) {
    TChildProcess child;
    if (argv.empty() || !child.Start(argv)) return std::nullopt;
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;  // the child is killed on the way out
        if (child.Poll(static_cast<int>(std::min<std::int64_t>(left.count(), 100)))) break;
    }
    if (child.ExitStatus() != 0) return std::nullopt;
    return child.Output().substr(0, kOutputMax);
}

std::string DesktopExecArgument(std::string_view argument) {
    // Inside the quotes ", `, $ and \ take a backslash; the entry's own string escaping then
    // doubles every backslash, and a literal % is written %%.
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
            quoted += c;
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '%') {
            quoted += "%%";
        } else if (c == '\n' || c == '\r') {
            quoted += ' ';  // a line break would end the entry
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

TXdgDefaultMailer::TXdgDefaultMailer(fs::path executable, fs::path homeFolder,
                                     fs::path applications)
    : executable_(std::move(executable)),
      homeFolder_(std::move(homeFolder)),
      applications_(std::move(applications)) {}

fs::path TXdgDefaultMailer::UserApplications() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return fs::path(data) / "applications";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "") / ".local" / "share" / "applications";
}

std::optional<std::string> TXdgDefaultMailer::CurrentHandler() {
    std::optional<std::string> text = RunForOutput({"xdg-mime", "query", "default", kMailtoType},
                                                   std::chrono::milliseconds(5000));
    if (!text) return std::nullopt;
    return CutShort(Trim(*text));
}

std::string TXdgDefaultMailer::DesktopEntry() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kivo\n"
           "Comment=Read and write e-mail\n"
           "Exec=" +
           DesktopExecArgument(executable_.string()) + " --home " +
           DesktopExecArgument(homeFolder_.string()) +
           " /m %u\n"
           "Terminal=false\n"
           "Categories=Network;Email;\n"
           "MimeType=" +
           kMailtoType + ";\n";
}

void TXdgDefaultMailer::Register() {
    fs::create_directories(applications_);
    WriteFileAtomic(applications_ / OwnHandler(), DesktopEntry());
    if (!RunForOutput({"xdg-mime", "default", OwnHandler(), kMailtoType},
                      std::chrono::milliseconds(5000))) {
        throw std::runtime_error("xdg-mime could not make Kivo the mail program");
    }
}

}  // namespace kivo
