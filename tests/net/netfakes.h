#pragma once
// Test doubles for the network clients: a platform whose event pump can run a handler (to
// cancel from inside a wait) and move a fake clock on, and a scripted TCP server on loopback
// that plays one dialogue and records every line the client sent.

#include <netinet/in.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/platform.h"

namespace kivo::test {

class PumpPlatform : public Platform {
  public:
    // Runs on every pump; tests cancel from here.
    std::function<void()> onPump;
    int pumps = 0;
    std::vector<std::string> messages;

    void Pump() override {
        ++pumps;
        if (onPump) onPump();
    }
    bool AbortRequested() const override { return false; }
    void ClearAbortRequest() override {}
    void ShowTip(std::string_view) override {}
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    bool AskYesNo(std::string_view) override { return false; }
    bool InputText(std::string_view, std::string_view, std::string&) override { return false; }
    bool InputPassword(std::string_view, std::string_view, std::string&) override { return false; }
    void PlaySound(std::string_view) override {}
    bool ShellOpen(std::string_view) override { return false; }
    int RunAndWait(const std::vector<std::string>&) override { return -1; }
};

// A clock that moves only when told; hand Now to TTimeCounter::SetClock.
struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    std::function<std::chrono::steady_clock::time_point()> Now() {
        return [this] { return now; };
    }
    void Advance(int seconds) { now += std::chrono::seconds(seconds); }
};

// One step of a scripted dialogue.
struct Step {
    enum Kind { client, data, server, endless, stall, reset } kind;
    std::string text;
    int pauseMs = 0;  // endless: between two sends
};
// The client sends this line (without its line end).
inline Step C(std::string line) {
    return {Step::client, std::move(line)};
}
// The client sends message data, up to and including the "." line.
inline Step D() {
    return {Step::data, {}};
}
// The server sends these lines, each followed by CR LF.
inline Step S(std::string_view lines) {
    std::string text;
    std::size_t start = 0;
    while (start <= lines.size()) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size();
        text.append(lines.substr(start, end - start)).append("\r\n");
        start = end + 1;
    }
    return {Step::server, text};
}
// The server sends these bytes exactly.
inline Step Raw(std::string bytes) {
    return {Step::server, std::move(bytes)};
}
// The server sends these bytes again and again until the client closes the connection.
inline Step Endless(std::string bytes, int pauseMs = 0) {
    return {Step::endless, std::move(bytes), pauseMs};
}
// The server falls silent until the client closes the connection.
inline Step Stall() {
    return {Step::stall, {}};
}
// The server resets the connection.
inline Step Reset() {
    return {Step::reset, {}};
}

// Accepts one connection on 127.0.0.1 (::1 with `ipv6`) and plays the steps; a client step
// reads one line. Every read gives up after a few seconds, so a broken client cannot hang a
// test. The server sends in pieces of `sendChunk` bytes (0: each step at once) and listens
// on `port`, or on a free port when it is 0 (a later server can take an earlier one's port,
// as the same server seen again).
class ScriptServer {
  public:
    explicit ScriptServer(std::vector<Step> steps, std::size_t sendChunk = 0, bool ipv6 = false,
                          int port = 0);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    int Port() const { return port_; }
    std::string Address() const {
        return (ipv6_ ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
    }
    // Waits for the dialogue to end; the lines the client sent, then the client lines the
    // script expected.
    const std::vector<std::string>& Received();
    std::vector<std::string> Expected() const;
    // The message data the client sent at the D step, with its "." line.
    std::string Data();

  private:
    void Run();

    std::vector<Step> steps_;
    std::size_t sendChunk_;
    bool ipv6_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::vector<std::string> received_;
    std::string data_;
};

// A loopback port with nothing listening on it.
int ClosedPort();

}  // namespace kivo::test
