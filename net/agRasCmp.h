#pragma once
// Dial-up networking: brings a network connection up before mail is fetched or sent and takes
// it down afterwards, but only a connection it brought up itself. On Linux the connections are
// NetworkManager's, driven through its `nmcli` tool; without it the entry and connection lists
// are empty and nothing is ever dialled. Every wait runs the event pump so Cancel and
// "Disconnect Modem" stay usable while a connection comes up.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "net/agsocket.h"

namespace kivo {

class Platform;

// A dial-up failure with the connection tool's error code.
class ERASError : public std::runtime_error {
  public:
    ERASError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

class TagRas {
  public:
    using TRASNotifyEvent = std::function<void(TagRas& sender, const std::string& status)>;
    using TNotifyEvent = std::function<void(TagRas& sender)>;

    explicit TagRas(Platform& platform);

    const std::string& Service() const { return service_; }
    // Validated: refused (with a message box) when dial-up is missing, a connection is up or
    // the name is no entry; an empty name clears it.
    void SetService(std::string_view name);
    bool ForceService = true;
    bool MinimizeAtConnect = false;  // no dial-up window to minimise here; kept for settings
    std::string Password;            // NetworkManager asks its own agents for secrets
    bool RemovePassword = true;
    int TimeOut = 120;
    TRASNotifyEvent OnStatusChange;
    TNotifyEvent OnDisconnected;
    // The connection tool; "nmcli" on PATH unless replaced.
    std::string Tool = "nmcli";

    // Names of the connections that can be brought up (at most 25).
    std::vector<std::string> Entries();
    // Names of the active connections (at most 15 are examined).
    std::vector<std::string> Connections();
    void Dial();
    void HangUp();
    void Disconnect();

    bool IsConnected() const { return connected_; }
    bool DialedByUs() const { return dialedByUs_; }
    TTimeCounter& Counter() { return counter_; }

  private:
    bool Available() const;
    // Runs the tool with the pump running; false when it cannot be started.
    bool RunTool(const std::vector<std::string>& args, bool timed, int& status,
                 std::string& output);
    void Status(const std::string& text);
    [[noreturn]] void RaiseRasError(int code, const std::string& output);

    Platform& platform_;
    std::string service_;
    std::string handle_;  // the connection this component holds; empty for none
    bool connected_ = false;
    bool dialedByUs_ = false;
    bool cancel_ = false;
    int lastError_ = 0;
    TTimeCounter counter_;
};

// The text for a dial-up state, when the tool gives none of its own.
std::string RasStatusText(std::string_view state);

}  // namespace kivo
