// kivo find: Find across the mailboxes into a results mailbox, which is then opened as the
// dialog does.

#include <ostream>

#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "search/FFind.h"
#include "store/KivoMailboxes.h"

namespace kivo::cli {

int FindCommand(Context& ctx, Args args) {
    if (args.size() > 1) throw UsageError("unexpected " + args[1]);
    const std::string text = args.empty() ? std::string() : args[0];
    if (TrimView(text).empty()) throw UsageError("needs a text to find");
    const std::string exclude = args.Value("--exclude").value_or("");
    const std::string current = args.Value("--current-folder").value_or("");
    const std::optional<std::string> into = args.Value("--into");
    const bool matchCase = args.Has("--match-case");
    const bool excludeMatchCase = args.Has("--exclude-match-case");

    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    // Find reads the mailboxes: it never renumbers the one it opens to start from.
    main.CompressOnOpen = false;
    main.CompressOnClose = false;
    TFrmMailboxes tree(ctx.folder.MailFolder(), main, platform, main.Feedback());
    // The open mailbox decides the current folder.
    OpenMailbox(main, current.empty() ? OpenedAtStart(ctx) : current);
    tree.Init();
    TFindView findView;
    TFrmFind find(ctx.folder.MailFolder(), main, tree, platform, findView);
    find.Show();
    if (!current.empty()) {
        if (find.CurrentFolder().empty()) {
            throw std::runtime_error(current + " is not inside a folder");
        }
        find.OnlyCurrentFolder = true;
    }
    find.FindText = text;
    find.IgnoreCase = !matchCase;
    find.ExcludeText = exclude;
    find.ExcludeIgnoreCase = !excludeMatchCase;
    if (into) find.Destination = *into;
    find.FindClick();
    SaveAfterCommand(ctx, main, !find.Error().empty());
    if (!find.Error().empty()) throw std::runtime_error(find.Error());
    ctx.out << find.Destination << '\t' << find.Copied() << '\n';
    return 0;
}

}  // namespace kivo::cli
