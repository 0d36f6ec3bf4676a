// bench_decode decode|encode MBOX: decodes every message of a mailbox file with the message
// library (LoadFromBytes, every part into memory), as the check-mail pipeline and the viewer
// do. "encode" then writes every decoded message again (SaveToStream) and times only that.
// Prints one line of counts and seconds.

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "mail/msmsg.h"
#include "store/mbxscanner.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The message without its mailbox separator line.
std::string_view WithoutSeparator(std::string_view text) {
    std::size_t lf = text.find('\n');
    return lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc == 3 ? argv[1] : "";
    if (mode != "decode" && mode != "encode") {
        std::fprintf(stderr, "usage: bench_decode decode|encode MBOX\n");
        return 2;
    }
    kivo::MbxScanner scanner(argv[2]);
    if (!scanner.IsOpen()) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    std::size_t messages = 0, bytes = 0, parts = 0, decoded = 0, encodedBytes = 0;
    Clock::duration encodeTime{};
    kivo::TmsMessage message;
    const Clock::time_point start = Clock::now();
    while (scanner.Next()) {
        std::string_view raw = WithoutSeparator(scanner.Text());
        message.Clear();
        message.LoadFromBytes(raw);
        ++messages;
        bytes += raw.size();
        parts += message.Attachments().Count();
        for (const kivo::TmsAttItem& item : message.Attachments()) decoded += item.Data().size();
        if (mode == "encode") {
            const Clock::time_point t0 = Clock::now();
            encodedBytes += message.SaveToString().size();
            encodeTime += Clock::now() - t0;
        }
    }
    const double total = Seconds(Clock::now() - start);
    std::printf("%s messages=%zu bytes=%zu attachments=%zu attachment_bytes=%zu "
                "decode_seconds=%.3f encoded_bytes=%zu encode_seconds=%.3f\n",
                argv[1], messages, bytes, parts, decoded, total - Seconds(encodeTime), encodedBytes,
                Seconds(encodeTime));
    return 0;
}
