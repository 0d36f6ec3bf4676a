#include "app/cli/cli.h"
#include "app/firstrun.h"
#include "app/settings.h"
#include "base/files.h"
#include "base/inifile.h"
#include "view/helppages.h"

namespace kivo::cli {

// Prepares the program folder as start-up does and writes kivo.ini as the program does at
// exit, so every setting is there to see with its value. The program folder itself is made
// when only it is missing.
int InitCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("unexpected argument '" + args.front() + "'");
    const fs::path& root = ctx.folder.root;
    std::error_code ec;
    const bool hadRoot = fs::is_directory(root, ec);
    if (!hadRoot) ctx.folder.CreateOrThrow();
    TFirstRunFiles content;
    TStartFolders start = PrepareProgramFolder(ctx.folder, content);
    RefreshHelpPages(ctx.folder.HelpFolder());
    IniFile ini(ctx.folder.SettingsFile());
    SaveIni(start.Settings, ini);
    ini.UpdateFile(FileAccess::Private);

    if (!hadRoot) ctx.out << "created " << root.string() << '\n';
    for (const fs::path& made : start.Created) ctx.out << "created " << made.string() << '\n';
    ctx.out << "settings " << ctx.folder.SettingsFile().string() << '\n';
    return 0;
}

}  // namespace kivo::cli
