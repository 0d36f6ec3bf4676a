// Benchmark driver for the mail store and Find:
//   bench_store index FILE.mbx            rebuild the index of a mailbox (PopulateAll)
//   bench_store compress FILE.mbx         compress it with its deleted list (".d" beside it)
//   bench_store find WORD FOLDER RESULTS  Find WORD in every mailbox of FOLDER into RESULTS
// Each prints one line of counts, so a run can be checked against its peers.

#include <filesystem>
#include <iostream>
#include <string>

#include "base/platform.h"
#include "search/mailsearch.h"
#include "store/KivoIndex.h"
#include "store/compress.h"
#include "store/populate.h"
#include "store/storefeedback.h"

namespace fs = std::filesystem;

namespace {

fs::path Base(const fs::path& mbx) {
    return mbx.parent_path() / mbx.stem();
}

int Usage() {
    std::cerr << "usage: bench_store index FILE.mbx | compress FILE.mbx | "
                 "find WORD FOLDER RESULTS\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "index" && argc == 3) {
        kivo::TFrmIndex window;
        const fs::path base = Base(argv[2]);
        window.Folder = base.parent_path();
        window.MailboxName = base.filename().string();
        kivo::PopulateAll(window);
        std::cout << "entries=" << window.ItemCount() << " messages=" << window.MessageCounter
                  << " deleted=" << window.DeletedCount << '\n';
        return 0;
    }
    if (mode == "compress" && argc == 3) {
        kivo::CompressMailbox(Base(argv[2]), false, kivo::NoFeedback());
        std::cout << "bytes=" << fs::file_size(argv[2]) << '\n';
        return 0;
    }
    if (mode == "find" && argc == 5) {
        kivo::HeadlessPlatform platform;
        kivo::TSearchProgress progress;
        const fs::path results = argv[4];
        std::error_code ec;
        fs::remove(results.string() + ".mbx", ec);
        kivo::TMailSearch search(argv[3], {argv[2], true, "", true}, platform, progress);
        search.IterateMailboxes(argv[3], results);
        std::cout << "copied=" << search.Copied() << '\n';
        return 0;
    }
    return Usage();
}
