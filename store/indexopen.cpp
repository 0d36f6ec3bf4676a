#include "store/indexopen.h"

#include "base/files.h"
#include "store/KivoIndex.h"
#include "store/indexfile.h"
#include "store/populate.h"

namespace kivo {

void OpenMailboxIndex(TFrmIndex& window, TStoreFeedback& feedback, bool compressFirst) {
    window.ClearEntries();
    window.DeletedCount = 0;
    window.NeedsCompress = false;
    window.MessageCounter = 0;
    if (window.MailboxName.empty()) return;
    const TMailboxFiles files = window.Files();
    std::error_code ec;
    if (!std::filesystem::exists(files.Mbx, ec)) AppendLocked(files.Mbx, "");
    window.Saved = true;
    window.Basis = {};
    bool loaded = false;
    if (std::filesystem::exists(files.Idx, ec)) {
        try {
            LoadIndex(window);
            loaded = true;
        } catch (const EIndexFileInvalid&) {
            window.ClearEntries();
            window.DeletedCount = 0;
        }
    }
    if (!loaded) ReindexMailbox(window, feedback, compressFirst);
    // Tags are not stored: an active Show filter tags the entries again.
    if (window.FilterActive()) window.ReapplyFilter();
    if (window.RowCount() > 0) window.SelectOnly(window.RowCount() - 1);
}

}  // namespace kivo
