#include "net/serverprobe.h"

#include <exception>
#include <vector>

#include "base/bytes.h"

namespace kivo {

namespace {

// A socket client that speaks only the protocol's opening: greeting, upgrade, QUIT.
class TProbeSocket : public TagSocket {
  public:
    TProbeSocket(Platform& platform, const TProbeRequest& request)
        : TagSocket(platform), request_(request) {
        Server = request.server;
        TimeOut = request.timeOut;
        Resolver = request.resolver;
        DefaultPort = Pop() ? (Implicit() ? 995 : 110) : (Implicit() ? 465 : 587);
    }

    int ReplyCode(std::string_view line) const override {
        if (!Pop()) return TagSocket::ReplyCode(line);
        if (line.starts_with("+OK")) return 1;
        if (line.starts_with("-ERR")) return -1;
        return 0;
    }

    void Run() {
        Connect();
        OpenConnection();
        if (Implicit()) StartTls("");
        if (Pop()) {
            if (ReadReply() != 1) throw EServerError(lastReply_);
            if (request_.security == TSecurity::upgrade) {
                SendLine("STLS");
                if (ReadReply() != 1) throw EServerError("STLS refused: " + lastReply_);
                StartTls("");
            }
        } else {
            if (ReadReply() / 100 != 2) throw EServerError(lastReply_);
            if (request_.security == TSecurity::upgrade) Upgrade();
        }
        // A polite end; the probe has its answer whatever the server says to it.
        try {
            SendLine("QUIT");
            ReadReply();
        } catch (const std::exception&) {
        }
        Disconnect();
    }

  private:
    bool Pop() const { return request_.protocol == TMailProtocol::pop3; }
    bool Implicit() const { return request_.security == TSecurity::implicit; }

    void Upgrade() {
        const std::string name = LocalHostName().empty() ? "localhost" : LocalHostName();
        SendLine("EHLO " + name);
        std::vector<std::string> lines;
        if (ReadReply(&lines) / 100 != 2) throw EServerError("EHLO refused: " + lastReply_);
        bool offered = false;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string> words =
                SplitWords(lines[i].size() > 4 ? lines[i].substr(4) : std::string());
            offered = offered || (!words.empty() && EqualsNoCase(words[0], "STARTTLS"));
        }
        if (!offered) throw EServerError("The server does not offer STARTTLS");
        SendLine("STARTTLS");
        if (ReadReply() / 100 != 2) throw EServerError("STARTTLS refused: " + lastReply_);
        StartTls("");
    }

    const TProbeRequest& request_;
};

}  // namespace

TProbeResult ProbeServer(Platform& platform, const TProbeRequest& request) {
    TProbeSocket socket(platform, request);
    try {
        socket.Run();
        return {true, {}};
    } catch (const std::exception& e) {
        socket.Disconnect();
        return {false, e.what()};
    }
}

}  // namespace kivo
