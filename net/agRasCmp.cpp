#include "net/agRasCmp.h"

#include <algorithm>

#include "base/bytes.h"
#include "base/platform.h"
#include "net/childprocess.h"

namespace kivo {

namespace {

constexpr std::size_t kMaxEntries = 25;
constexpr std::size_t kMaxConnections = 15;
// Queries of the tool answer at once; one that hangs must not hold the program for long.
constexpr int kQuerySeconds = 10;
constexpr int kPollSliceMs = 20;

// Splits one line of the tool's terse output at the colons it did not escape.
std::vector<std::string> TerseFields(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size())
            fields.back() += line[++i];
        else if (line[i] == ':')
            fields.emplace_back();
        else
            fields.back() += line[i];
    }
    return fields;
}

}  // namespace

std::string RasStatusText(std::string_view state) {
    static constexpr std::pair<std::string_view, std::string_view> kTexts[] = {
        {"OpenPort", "Initializing..."},
        {"PortOpened", "Dialing..."},
        {"ConnectDevice", "Dialing..."},
        {"DeviceConnected", "Dialing..."},
        {"AllDevicesConnected", "Dialing..."},
        {"Authenticate", "Verifying user name and password"},
        {"StartAuthentication", "Verifying user name and password"},
        {"Authenticated", "User name and password verified"},
        {"LogonNetwork", "Logging on to Network"},
        {"Connected", "Successfully connected"},
    };
    for (auto [name, text] : kTexts)
        if (name == state) return std::string(text);
    return {};
}

TagRas::TagRas(Platform& platform) : platform_(platform) {}

bool TagRas::Available() const {
    return TChildProcess::OnPath(Tool);
}

bool TagRas::RunTool(const std::vector<std::string>& args, bool timed, int& status,
                     std::string& output) {
    std::vector<std::string> argv{Tool};
    argv.insert(argv.end(), args.begin(), args.end());
    TChildProcess child;
    if (!child.Start(argv)) return false;
    counter_.Start(timed ? TimeOut : kQuerySeconds);
    while (!child.Poll(kPollSliceMs)) {
        platform_.Pump();
        if (timed && cancel_) {
            child.Kill();
            counter_.Stop();
            throw ECanceledError(kCanceledText);
        }
        if (counter_.Expired()) {
            child.Kill();
            counter_.Stop();
            counter_.ResetExpired();
            if (timed) throw ETimedOutError(kTimedOutText);
            return false;
        }
    }
    counter_.Stop();
    status = child.ExitStatus();
    output = child.Output();
    return true;
}

std::vector<std::string> TagRas::Entries() {
    std::vector<std::string> names;
    int status = -1;
    std::string output;
    if (!Available() ||
        !RunTool({"-t", "-f", "NAME,TYPE", "connection", "show"}, false, status, output) ||
        status != 0)
        return names;
    for (const auto& line : SplitLines(output)) {
        auto fields = TerseFields(line);
        if (fields[0].empty() || (fields.size() > 1 && fields[1] == "loopback")) continue;
        names.push_back(fields[0]);
        if (names.size() == kMaxEntries) break;
    }
    return names;
}

std::vector<std::string> TagRas::Connections() {
    std::vector<std::string> names;
    int status = -1;
    std::string output;
    if (!Available() ||
        !RunTool({"-t", "-f", "NAME,STATE", "connection", "show", "--active"}, false, status,
                 output) ||
        status != 0)
        return names;
    auto lines = SplitLines(output);
    for (std::size_t i = 0; i < lines.size() && i < kMaxConnections; ++i) {
        auto fields = TerseFields(lines[i]);
        // Only a connection that finished coming up has its address.
        if (!fields[0].empty() && fields.size() > 1 && fields[1] == "activated")
            names.push_back(fields[0]);
    }
    return names;
}

void TagRas::SetService(std::string_view name) {
    if (name.empty()) {
        service_.clear();
        return;
    }
    auto entries = Entries();
    if (entries.empty()) {
        platform_.ShowMessage("TagRas component was unable to detect\nRAS on your system.");
        return;
    }
    if (connected_) {
        platform_.ShowMessage("This property can be set only before\nestablishing the connection");
        return;
    }
    if (std::find(entries.begin(), entries.end(), name) == entries.end()) {
        platform_.ShowMessage("Invalid service name");
        service_.clear();
        return;
    }
    service_ = std::string(name);
}

void TagRas::Status(const std::string& text) {
    if (OnStatusChange) OnStatusChange(*this, text);
}

void TagRas::RaiseRasError(int code, const std::string& output) {
    lastError_ = code;
    std::string text = Trim(SplitLines(output).empty() ? "" : SplitLines(output).front());
    if (text.empty()) text = "RAS error no " + std::to_string(code);
    throw ERASError(code, text);
}

void TagRas::Dial() {
    if (service_.empty()) {
        connected_ = true;
        dialedByUs_ = false;
        return;
    }
    auto active = Connections();
    auto existing = std::find(active.begin(), active.end(), service_);
    if (existing == active.end() && !ForceService && !active.empty()) existing = active.begin();
    if (existing != active.end()) {
        // Up already (ours from an earlier dial, or another program's): adopt it as it is.
        if (handle_ != *existing) dialedByUs_ = false;
        handle_ = *existing;
        connected_ = true;
        return;
    }
    if (!Available()) RaiseRasError(-1, "");
    dialedByUs_ = true;
    cancel_ = false;
    counter_.ResetExpired();
    lastError_ = 0;
    Status(RasStatusText("OpenPort"));
    Status(RasStatusText("ConnectDevice"));
    int status = -1;
    std::string output;
    bool started = RunTool({"--wait", std::to_string(TimeOut), "connection", "up", "id", service_},
                           true, status, output);
    if (!started) {
        HangUp();
        RaiseRasError(-1, "");
    }
    if (status != 0) {
        handle_ = service_;
        HangUp();
        RaiseRasError(status, output);
    }
    handle_ = service_;
    connected_ = true;
    Status(RasStatusText("Connected"));
}

void TagRas::HangUp() {
    if (dialedByUs_ && !handle_.empty() && Available()) {
        int status = -1;
        std::string output;
        RunTool({"connection", "down", "id", handle_}, false, status, output);
        dialedByUs_ = false;
        if (OnDisconnected) OnDisconnected(*this);
    }
    connected_ = false;
    handle_.clear();
}

void TagRas::Disconnect() {
    HangUp();
    cancel_ = true;
}

}  // namespace kivo
