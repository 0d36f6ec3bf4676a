#pragma once
// Single instance: the first start of Kivo on a program folder listens on a Unix-domain socket
// in that folder; a later start connects, sends its command text ("" or "/m " + address) and
// waits for the running instance's acknowledgement, then ends. The socket is bound while a
// lock file is held, so two starts at the same moment never both become the instance, and a
// socket file left by a crashed instance (nobody answers a connect) is replaced.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The receiver reads at most this many characters of a command.
inline constexpr std::size_t kInstanceCommandMax = 256;

// The command text a start hands over: "/m " + the second argument when the first argument
// is "/m" or "/M" and a second one exists; otherwise empty.
std::string InstanceCommandText(std::span<const std::string> args);

// How a hand-over went.
enum class THandOver {
    Acknowledged,  // the instance took the command
    Refused,       // the instance cannot carry it out (a headless one opens no composer)
    Unanswered,    // an instance is there but busy: it may still take the command later, so
                   // the command must not be sent again
    NoInstance,    // nobody listens: this start can become the instance
};

// How long a later start waits for the instance's answer.
inline constexpr std::chrono::milliseconds kHandOverWait{10000};

// Sends `command` to the instance listening on `socketPath` and waits for its answer; the
// reason of a refusal goes to `refusal`.
THandOver SendToInstance(const std::filesystem::path& socketPath, std::string_view command,
                         std::chrono::milliseconds timeout = kHandOverWait,
                         std::string* refusal = nullptr);

// Why an instance refuses a command, or nothing when it takes it.
using TInstanceRefusal = std::function<std::optional<std::string>(const std::string&)>;

// The running instance's end of the socket: accepts later starts' commands without ever
// blocking on a slow or silent client. Removes the socket file when destroyed.
class TInstanceListener {
  public:
    // Becomes the instance for `socketPath`, or returns nothing when another instance answers
    // there. Throws std::system_error when the socket cannot be made. A client that stays
    // silent longer than `clientTimeout` is dropped.
    static std::optional<TInstanceListener> Listen(
        const std::filesystem::path& socketPath,
        std::chrono::milliseconds clientTimeout = std::chrono::milliseconds(2000));

    ~TInstanceListener();
    TInstanceListener(TInstanceListener&& other) noexcept;
    TInstanceListener& operator=(TInstanceListener&&) = delete;
    TInstanceListener(const TInstanceListener&) = delete;
    TInstanceListener& operator=(const TInstanceListener&) = delete;

    // Waits up to `timeout` for connections and command data, and hands every complete
    // command (cut to kInstanceCommandMax characters) to `onCommand` after acknowledging it;
    // a command `refuse` gives a reason for is answered with that reason and not run.
    // Returns early when a signal interrupts the wait.
    void Poll(std::chrono::milliseconds timeout,
              const std::function<void(const std::string&)>& onCommand,
              const TInstanceRefusal& refuse = {});

    const std::filesystem::path& SocketPath() const { return path_; }

  private:
    struct Client {
        int fd = -1;
        std::string text;
        std::size_t received = 0;
        std::chrono::steady_clock::time_point deadline;
    };

    TInstanceListener(std::filesystem::path path, int fd, std::chrono::milliseconds timeout);
    void Accept();
    // Reads what the client sent; true when the client is finished with (answered or dropped).
    bool ReadFrom(Client& client, const std::function<void(const std::string&)>& onCommand,
                  const TInstanceRefusal& refuse);

    std::filesystem::path path_;
    int fd_ = -1;
    // The socket file as bound; at the end it is removed only when it is still this one.
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::chrono::milliseconds clientTimeout_;
    std::vector<Client> clients_;
};

}  // namespace kivo
