#include <ostream>

#include "app/cli/orphanscli.h"
#include "app/settings.h"
#include "base/inifile.h"
#include "base/terminaltext.h"
#include "store/orphanattachments.h"
#include "transfer/transferlock.h"

namespace kivo::cli {

void RepairOrphanAttachments(Context& ctx, bool yes) {
    const fs::path attach =
        LoadIni(IniFile(ctx.folder.SettingsFile()), ctx.folder.root).Mail.AttachPath;
    std::error_code ec;
    // Without an attachment folder the files went into the program folder, among others.
    if (!fs::is_directory(attach, ec) || fs::equivalent(attach, ctx.folder.root, ec)) return;
    // A running check has written files for mail it has not stored yet.
    const fs::path lockFile = TTransferLock::FileIn(ctx.folder.root, TTransferKind::Check);
    const std::optional<TTransferLock> lock =
        TTransferLock::Take(lockFile, std::chrono::milliseconds(0));
    if (!lock) {
        ctx.out << "Attachment files not looked at: "
                << TTransferLock::BusyText(lockFile, TTransferKind::Check) << '\n';
        return;
    }
    const std::vector<fs::path> orphans = OrphanAttachments(attach, ctx.folder.MailFolder());
    if (orphans.empty()) return;
    for (const fs::path& file : orphans)
        ctx.out << "Attachment file no message points to: " << FieldText(file.string()) << '\n';
    const std::string count = std::to_string(orphans.size()) +
                              (orphans.size() == 1 ? " attachment file" : " attachment files");
    ctx.out << std::flush;
    if (!yes && !ctx.platform.AskYesNo("Remove " + count + " no message points to?")) {
        ctx.out << count << " kept\n";
        return;
    }
    std::size_t removed = 0;
    for (const fs::path& file : orphans) removed += fs::remove(file, ec);
    ctx.out << removed << (removed == 1 ? " attachment file" : " attachment files") << " removed\n";
}

}  // namespace kivo::cli
