// Benchmark driver for the network clients against a real server:
//   bench_net pop3 HOST:PORT USER PASSWORD OUT.mbx   fetch every message (left on the server),
//                                                    appending each to an mbox file
//   bench_net smtp HOST:PORT FROM TO FOLDER          send every file of FOLDER over one
//                                                    connection, bytes as they are
//   bench_net smtp-encode HOST:PORT FROM TO FOLDER   the same through the message classes:
//                                                    decode each file, encode it, send it
// Each prints one line of counts, so a run can be checked against its peers.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/platform.h"
#include "mail/msmsg.h"
#include "net/mspop3.h"
#include "net/mssmtp.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
    std::cerr << "usage: bench_net pop3 HOST:PORT USER PASSWORD OUT.mbx | "
                 "smtp|smtp-encode HOST:PORT FROM TO FOLDER\n";
    return 2;
}

int Fetch(const std::string& server, const std::string& user, const std::string& password,
          const std::string& out) {
    kivo::HeadlessPlatform platform;
    kivo::TmsRemotePOP pop(platform);
    pop.Server = server;
    pop.UserName = user;
    pop.Password = password;
    pop.KeepConnected = true;
    std::ofstream mbox(out, std::ios::binary | std::ios::trunc);
    long long bytes = 0;
    pop.OnUserMessageSave = [&](kivo::TagSocket&, int, std::string& contents) {
        // Without the closing "." line, as a mail store keeps it.
        std::string_view message(contents);
        if (message.ends_with(".\r\n")) message.remove_suffix(3);
        mbox << "From bench Thu Jan  1 00:00:00 1970\r\n" << message << "\r\n";
        bytes += static_cast<long long>(message.size());
    };
    auto start = std::chrono::steady_clock::now();
    pop.UpdateInfo();
    auto listed = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < pop.Info.Count(); ++i) pop.MarkForRetrieval(i);
    pop.TransferData();
    mbox.flush();
    auto done = std::chrono::steady_clock::now();
    using Seconds = std::chrono::duration<double>;
    // The two phases on standard error: where the time goes.
    std::cerr << "sizes and headers " << Seconds(listed - start).count() << " s, transfer "
              << Seconds(done - listed).count() << " s\n";
    std::cout << pop.Info.Count() << " messages, " << bytes << " bytes\n";
    return mbox ? 0 : 1;
}

int Send(const std::string& server, const std::string& from, const std::string& to,
         const std::string& folder, bool encode) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    kivo::HeadlessPlatform platform;
    kivo::TmsSMTP smtp(platform);
    smtp.Server = server;
    smtp.Open();
    long long bytes = 0;
    for (const auto& file : files) {
        std::string raw = kivo::ReadFileBytes(file);
        bytes += static_cast<long long>(raw.size());
        if (encode) {
            kivo::TmsMessage message;
            message.LoadFromBytes(raw);
            message.Sender().SetAddress(from);
            message.Recipients() = {};
            message.CC() = {};
            message.BCC() = {};
            message.Recipients().AddAddress(to, "");
            smtp.MailMessage = &message;
            smtp.Send();
        } else {
            smtp.SendEnvelope(from, {to}, raw);
        }
    }
    smtp.Close();
    std::cout << files.size() << " messages, " << bytes << " bytes\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "pop3" && argc == 6) return Fetch(argv[2], argv[3], argv[4], argv[5]);
        if ((mode == "smtp" || mode == "smtp-encode") && argc == 6)
            return Send(argv[2], argv[3], argv[4], argv[5], mode == "smtp-encode");
    } catch (const std::exception& e) {
        std::cerr << "bench_net: " << e.what() << "\n";
        return 1;
    }
    return Usage();
}
