// kivo find: Find across the mailboxes into a results mailbox, which is then opened as the
// dialog does.

#include <ostream>

#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "search/FFind.h"
#include "store/KivoMailboxes.h"

namespace kivo::cli {

int FindCommand(Context& ctx, Args args) {
    std::string text, exclude, current, into;
    bool haveText = false, matchCase = false, excludeMatchCase = false, haveInto = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--exclude" && hasValue) {
            exclude = args[++i];
        } else if (a == "--match-case") {
            matchCase = true;
        } else if (a == "--exclude-match-case") {
            excludeMatchCase = true;
        } else if (a == "--current-folder" && hasValue) {
            current = args[++i];
        } else if (a == "--into" && hasValue) {
            into = args[++i];
            haveInto = true;
        } else if (a.starts_with("--") || haveText) {
            throw UsageError("unexpected " + a);
        } else {
            text = a;
            haveText = true;
        }
    }
    if (TrimView(text).empty()) throw UsageError("needs a text to find");

    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
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
    if (haveInto) find.Destination = into;
    find.FindClick();
    SaveAfterCommand(ctx, main);
    if (!find.Error().empty()) throw std::runtime_error(find.Error());
    ctx.out << find.Destination << '\t' << find.Copied() << '\n';
    return 0;
}

}  // namespace kivo::cli
