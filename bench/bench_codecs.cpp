// bench_codecs MODE FILE: runs one codec over FILE in 1 MB chunks and writes the result to
// standard output, the way coreutils' base64 and Python's binascii do in the bench task.
// MODE: b64enc (76-character lines), b64dec, qpenc, qpdec.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mail/base64.h"
#include "mail/quotedprintable.h"

namespace {

constexpr std::size_t kChunk = 1 << 20;

void Write(std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

// Calls take(piece) for FILE in chunks; lines=true cuts the chunks at line ends and hands
// out single lines without their LF.
template <typename Take>
bool ForEachPiece(const char* path, bool lines, Take take) {
    std::FILE* in = std::fopen(path, "rb");
    if (!in) return false;
    std::string buffer;
    std::vector<char> block(kChunk);
    std::size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), in)) > 0) {
        if (!lines) {
            take(std::string_view(block.data(), n));
            continue;
        }
        buffer.append(block.data(), n);
        std::size_t start = 0, lf;
        while ((lf = buffer.find('\n', start)) != std::string::npos) {
            take(std::string_view(buffer).substr(start, lf - start));
            start = lf + 1;
        }
        buffer.erase(0, start);
    }
    if (lines && !buffer.empty()) take(std::string_view(buffer));
    std::fclose(in);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_codecs b64enc|b64dec|qpenc|qpdec FILE\n");
        return 2;
    }
    const std::string_view mode = argv[1];
    const char* path = argv[2];
    std::string out;
    bool ok = false;
    if (mode == "b64enc") {
        kivo::Base64LineEncoder encoder("\n");
        ok = ForEachPiece(path, false, [&](std::string_view chunk) {
            encoder.Encode(chunk, out);
            Write(out);
        });
        encoder.Finish(out);
    } else if (mode == "b64dec") {
        kivo::Base64Decoder decoder(kivo::Base64Errors::kSkip);
        ok = ForEachPiece(path, false, [&](std::string_view chunk) {
            decoder.Decode(chunk, out);
            Write(out);
        });
        decoder.Finish(out);
    } else if (mode == "qpenc") {
        kivo::QuotedPrintableEncoder encoder(false);
        std::vector<std::string> lines;
        auto flush = [&] {
            for (const auto& line : lines) {
                out += line;
                out += '\n';
            }
            lines.clear();
            Write(out);
        };
        ok = ForEachPiece(path, false, [&](std::string_view chunk) {
            encoder.Encode(chunk, lines);
            flush();
        });
        encoder.Finish(lines);
        flush();
    } else if (mode == "qpdec") {
        ok = ForEachPiece(path, true, [&](std::string_view line) {
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            kivo::DecodeQuotedPrintableLine(line, out);
            if (out.size() >= kChunk) Write(out);
        });
    } else {
        std::fprintf(stderr, "bench_codecs: unknown mode %s\n", argv[1]);
        return 2;
    }
    Write(out);
    if (!ok) {
        std::fprintf(stderr, "bench_codecs: cannot read %s\n", path);
        return 1;
    }
    return 0;
}
