#include "app/singleinstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "base/bytes.h"

namespace kivo {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A command ends with a NUL byte, which no command-line argument can hold; a connection that
// closes before it (a probe, a crashed sender) carries no command.
constexpr char kCommandEnd = '\0';
constexpr std::string_view kAcknowledgement = "OK\n";
// A refusal: this, the reason, a line feed.
constexpr std::string_view kRefusal = "NO ";
// A client that keeps sending without ever ending its command is dropped after this much.
constexpr std::size_t kClientBytesMax = 64 * 1024;

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// The socket's address. A path too long for sockaddr_un is reached through the folder's
// descriptor in /proc, which `folder` keeps open while the address is in use.
struct SocketAddress {
    sockaddr_un addr{};
    Fd folder;

    explicit SocketAddress(const fs::path& path) {
        addr.sun_family = AF_UNIX;
        std::string text = path.string();
        if (text.size() >= sizeof(addr.sun_path)) {
            folder = Fd(open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (folder.get() < 0) ThrowErrno("cannot open " + path.parent_path().string());
            text = "/proc/self/fd/" + std::to_string(folder.get()) + "/" + path.filename().string();
            if (text.size() >= sizeof(addr.sun_path)) {
                errno = ENAMETOOLONG;
                ThrowErrno("instance socket " + path.string());
            }
        }
        std::memcpy(addr.sun_path, text.c_str(), text.size() + 1);
    }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&addr); }
    socklen_t size() const { return sizeof(addr); }
};

int MillisLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 60000));
}

// Waits for `events` on `fd` until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = poll(&p, 1, MillisLeft(deadline));
        if (rc > 0) return true;
        if (rc == 0 || errno != EINTR) return false;
    }
}

// Connects a non-blocking socket; retries while the listener's queue is full. `busy` tells
// a listener whose queue stayed full from one that is not there.
Fd ConnectTo(const SocketAddress& address, Clock::time_point deadline, bool* busy = nullptr) {
    for (;;) {
        Fd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (fd.get() < 0) return Fd();
        if (connect(fd.get(), address.get(), address.size()) == 0) return fd;
        if (errno == EINPROGRESS) {
            int error = 0;
            socklen_t len = sizeof(error);
            if (WaitFor(fd.get(), POLLOUT, deadline) &&
                getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0) {
                return fd;
            }
            if (busy) *busy = true;
            return Fd();
        }
        if (errno != EAGAIN) return Fd();
        if (Clock::now() >= deadline) {
            if (busy) *busy = true;
            return Fd();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Held while the socket is checked and bound, so two starts take turns.
Fd LockFolder(const fs::path& socketPath) {
    fs::path lockPath = socketPath;
    lockPath += ".lock";
    Fd fd(open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
    // Without a lock file (a read-only folder) the bind below is still atomic; only the
    // replacement of a stale socket could race then.
    if (fd.get() >= 0) {
        while (flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    return fd;
}

}  // namespace

std::string InstanceCommandText(std::span<const std::string> args) {
    if (args.size() >= 2 && (args[0] == "/m" || args[0] == "/M")) return "/m " + args[1];
    return "";
}

THandOver SendToInstance(const fs::path& socketPath, std::string_view command,
                         std::chrono::milliseconds timeout, std::string* refusal) {
    const Clock::time_point deadline = Clock::now() + timeout;
    const SocketAddress address(socketPath);
    bool busy = false;
    Fd fd = ConnectTo(address, deadline, &busy);
    if (fd.get() < 0) return busy ? THandOver::Unanswered : THandOver::NoInstance;
    // From here on an instance is there: whatever happens, the command is never sent twice.
    std::string message(command.substr(0, command.find(kCommandEnd)));
    message += kCommandEnd;
    std::size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t n =
            send(fd.get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if ((n < 0 && errno != EAGAIN && errno != EINTR) ||
                   !WaitFor(fd.get(), POLLOUT, deadline)) {
            return THandOver::Unanswered;
        }
    }
    // The answer is one line: the acknowledgement, or a refusal with its reason.
    std::string answer;
    char buffer[256];
    while (answer.find('\n') == std::string::npos && answer.size() <= kInstanceCommandMax) {
        if (!WaitFor(fd.get(), POLLIN, deadline)) return THandOver::Unanswered;
        const ssize_t n = recv(fd.get(), buffer, sizeof(buffer), 0);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            return THandOver::Unanswered;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    if (answer.starts_with(kAcknowledgement)) return THandOver::Acknowledged;
    if (answer.starts_with(kRefusal) && answer.find('\n') != std::string::npos) {
        if (refusal) *refusal = answer.substr(kRefusal.size(), answer.find('\n') - kRefusal.size());
        return THandOver::Refused;
    }
    return THandOver::Unanswered;
}

std::optional<TInstanceListener> TInstanceListener::Listen(
    const fs::path& socketPath, std::chrono::milliseconds clientTimeout) {
    const SocketAddress address(socketPath);
    const Fd lock = LockFolder(socketPath);
    Fd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) ThrowErrno("cannot make the instance socket");
    // One retry: the first failure may be a socket file a crashed instance left behind.
    for (int attempt = 0;; ++attempt) {
        if (bind(fd.get(), address.get(), address.size()) == 0) break;
        if (errno != EADDRINUSE || attempt > 0) ThrowErrno("cannot bind " + socketPath.string());
        Fd probe = ConnectTo(address, Clock::now() + std::chrono::milliseconds(1000));
        if (probe.get() >= 0) return std::nullopt;  // a running instance answers
        if (unlink(address.addr.sun_path) != 0 && errno != ENOENT) {
            ThrowErrno("cannot replace " + socketPath.string());
        }
    }
    if (listen(fd.get(), 16) != 0) {
        unlink(address.addr.sun_path);
        ThrowErrno("cannot listen on " + socketPath.string());
    }
    struct stat bound {};
    stat(address.addr.sun_path, &bound);
    TInstanceListener listener(socketPath, fd.release(), clientTimeout);
    listener.device_ = bound.st_dev;
    listener.inode_ = bound.st_ino;
    return listener;
}

TInstanceListener::TInstanceListener(fs::path path, int fd, std::chrono::milliseconds timeout)
    : path_(std::move(path)), fd_(fd), clientTimeout_(timeout) {}

TInstanceListener::TInstanceListener(TInstanceListener&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      device_(other.device_),
      inode_(other.inode_),
      clientTimeout_(other.clientTimeout_),
      clients_(std::move(other.clients_)) {
    other.clients_.clear();
}

TInstanceListener::~TInstanceListener() {
    for (Client& client : clients_) close(client.fd);
    if (fd_ < 0) return;
    close(fd_);
    // Remove the socket file only while it is still ours: another instance may have replaced
    // a socket it took for stale.
    try {
        const SocketAddress address(path_);
        struct stat onDisk {};
        if (stat(address.addr.sun_path, &onDisk) == 0 && onDisk.st_dev == device_ &&
            onDisk.st_ino == inode_) {
            unlink(address.addr.sun_path);
        }
    } catch (const std::exception&) {
    }
}

void TInstanceListener::Accept() {
    for (;;) {
        const int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: no more waiting; other errors: try again at the next poll
        }
        clients_.push_back(Client{fd, {}, 0, Clock::now() + clientTimeout_});
    }
}

bool TInstanceListener::ReadFrom(Client& client,
                                 const std::function<void(const std::string&)>& onCommand,
                                 const TInstanceRefusal& refuse) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = recv(client.fd, buffer, sizeof(buffer), 0);
        if (n == 0) return true;  // closed before the command ended: nothing to do
        if (n < 0) return errno != EAGAIN && errno != EINTR;
        const std::string_view chunk(buffer, static_cast<std::size_t>(n));
        const std::size_t end = chunk.find(kCommandEnd);
        const std::string_view part = chunk.substr(0, end);
        if (client.text.size() < kInstanceCommandMax) {
            client.text.append(part.substr(0, kInstanceCommandMax - client.text.size()));
        }
        client.received += part.size();
        if (end != std::string_view::npos) {
            if (const std::optional<std::string> why =
                    refuse ? refuse(client.text) : std::nullopt) {
                std::string answer = std::string(kRefusal) + why->substr(0, kInstanceCommandMax);
                std::replace(answer.begin(), answer.end(), '\n', ' ');
                answer += '\n';
                send(client.fd, answer.data(), answer.size(), MSG_NOSIGNAL);
                return true;
            }
            send(client.fd, kAcknowledgement.data(), kAcknowledgement.size(), MSG_NOSIGNAL);
            onCommand(client.text);
            return true;
        }
        if (client.received > kClientBytesMax) return true;
    }
}

void TInstanceListener::Poll(std::chrono::milliseconds timeout,
                             const std::function<void(const std::string&)>& onCommand,
                             const TInstanceRefusal& refuse) {
    Clock::time_point wakeUp = Clock::now() + timeout;
    std::vector<pollfd> fds{{fd_, POLLIN, 0}};
    for (const Client& client : clients_) {
        fds.push_back({client.fd, POLLIN, 0});
        wakeUp = std::min(wakeUp, client.deadline);
    }
    const int rc = poll(fds.data(), fds.size(), MillisLeft(wakeUp));
    if (rc < 0) return;  // EINTR: a signal wants the caller's attention
    // Commands run after the bookkeeping: a command may take long (a composer, a check).
    std::vector<std::string> commands;
    const auto collect = [&commands](const std::string& text) { commands.push_back(text); };
    std::vector<Client> open;
    for (std::size_t i = 0; i < clients_.size(); ++i) {
        Client& client = clients_[i];
        const bool ready = fds[i + 1].revents != 0;
        if ((ready && ReadFrom(client, collect, refuse)) || Clock::now() >= client.deadline) {
            close(client.fd);
        } else {
            open.push_back(std::move(client));
        }
    }
    clients_ = std::move(open);
    if (fds[0].revents & POLLIN) Accept();
    for (const std::string& command : commands) onCommand(command);
}

}  // namespace kivo
