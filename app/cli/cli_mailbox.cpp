// kivo mailbox tree/new/mkdir/rename/delete/move: the mailbox tree's operations on the mail
// folder, with its refusals printed as the tips the window shows.

#include <filesystem>
#include <ostream>

#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "base/terminaltext.h"
#include "store/KivoMailboxes.h"

namespace kivo::cli {

namespace {

// The tree of the mail folder, with the mailbox opened at start as the open one. Like the
// window at exit, it leaves the tree's description in "mboxdesc.ini".
struct TreeRig {
    StorePlatform platform;
    StoreView view;
    TFrmMain main;
    TFrmMailboxes tree;
    std::filesystem::path description;

    TreeRig(Context& ctx, bool yes)
        : platform(ctx.platform, yes),
          main(ctx.folder, platform, view),
          tree(ctx.folder.MailFolder(), main, platform, main.Feedback()),
          description(ctx.folder.root / "mboxdesc.ini") {
        main.MainIndex().MailboxName = MailboxName(OpenedAtStart(ctx));
        tree.Init();
    }
    ~TreeRig() {
        try {
            tree.Init();
            tree.WriteDescription(description);
        } catch (const std::exception&) {
            // The description is never read back; a failure to write it loses nothing.
        }
    }
    TreeRig(const TreeRig&) = delete;
    TreeRig& operator=(const TreeRig&) = delete;
    TMailboxNode* Node(std::string_view path) {
        TMailboxNode* node = tree.FindNode(MailboxName(path));
        if (!node) throw std::runtime_error("no mailbox or folder " + std::string(path));
        return node;
    }
};

// Prints the notices; a refusal ends the command with status 1.
int Report(Context& ctx, const std::string& refusal, const StorePlatform& platform) {
    for (const std::string& text : platform.notices) ctx.err << text << '\n';
    return refusal.empty() ? 0 : 1;
}

// NAME [--in FOLDER]
int NewNode(Context& ctx, Args args, bool folder) {
    if (args.size() > 1) throw UsageError("unexpected " + args[1]);
    if (args.empty() || args[0].empty()) throw UsageError("needs a name");
    const std::string name = args[0];
    const std::string in = args.Value("--in").value_or("");
    TreeRig rig(ctx, false);
    std::string relPath = name;
    if (!in.empty()) {
        TMailboxNode* parent = rig.Node(in);
        if (!parent->IsFolder()) throw std::runtime_error(in + " is not a folder");
        rig.tree.Select(parent);
        relPath = rig.tree.GetRelPath(parent) + "/" + name;
    }
    if (!IsValidName(name)) {
        ctx.err << kInvalidNameTip << '\n';
        return 1;
    }
    const std::filesystem::path mail = ctx.folder.MailFolder();
    const char* what = folder ? "folder" : "mailbox";
    // Asked for by name, a node is made with that name or not at all: a unique variant
    // would leave the caller with a path it did not ask for.
    std::error_code ec;
    if (rig.tree.FindNode(MailboxName(relPath)) || std::filesystem::exists(mail / relPath, ec) ||
        std::filesystem::exists(mail / (relPath + ".mbx"), ec)) {
        ctx.err << relPath << " already exists\n";
        return 1;
    }
    TMailboxNode* node = folder ? rig.tree.NewFolder() : rig.tree.NewMailbox();
    const std::filesystem::path made = mail / rig.tree.GetRelPath(node);
    const std::filesystem::path madeFile = folder ? made : std::filesystem::path(made.string() + ".mbx");
    const bool created = folder ? std::filesystem::is_directory(madeFile, ec)
                                : std::filesystem::is_regular_file(madeFile, ec);
    const std::string tip = created ? rig.tree.Rename(node, name) : std::string();
    for (const std::string& text : rig.platform.notices) ctx.err << text << '\n';
    if (!created || !tip.empty()) {
        // The node made under its first name stays empty: it goes again.
        if (created) std::filesystem::remove(madeFile, ec);
        ctx.err << "No " << what << " was created: cannot create " << (mail / relPath).string()
                << '\n';
        return 1;
    }
    ctx.out << rig.tree.GetRelPath(node) << '\n';
    return 0;
}

}  // namespace

int MailboxTreeCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("takes no arguments");
    TreeRig rig(ctx, false);
    for (const std::string& line : SplitLines(rig.tree.DescriptionText()))
        ctx.out << VisibleControls(line) << '\n';
    return 0;
}

int MailboxNewCommand(Context& ctx, Args args) {
    return NewNode(ctx, args, false);
}
int MailboxMkdirCommand(Context& ctx, Args args) {
    return NewNode(ctx, args, true);
}

int MailboxRenameCommand(Context& ctx, Args args) {
    if (args.size() != 2) throw UsageError("needs a path and a new name");
    TreeRig rig(ctx, false);
    TMailboxNode* node = rig.Node(args[0]);
    const std::string tip = rig.tree.Rename(node, args[1]);
    // "Name already exists!" still renames, to the unique variant.
    const bool refused = !tip.empty() && tip != "Name already exists!";
    Report(ctx, {}, rig.platform);
    if (!refused) ctx.out << rig.tree.GetRelPath(node) << '\n';
    return refused ? 1 : 0;
}

int MailboxDeleteCommand(Context& ctx, Args args) {
    if (args.size() > 1) throw UsageError("unexpected " + args[1]);
    if (args.empty() || args[0].empty()) throw UsageError("needs a path");
    const std::string path = args[0];
    const bool yes = args.Has("--yes");
    const bool toTrash = !args.Has("--no-trash");
    TreeRig rig(ctx, yes);
    rig.tree.Select(rig.Node(path));
    const std::string refusal = rig.tree.DeleteSelected(toTrash);
    Report(ctx, refusal, rig.platform);
    if (!refusal.empty()) return 1;
    rig.tree.Init();
    if (rig.tree.FindNode(MailboxName(path))) {
        for (const std::string& q : rig.platform.questions) ctx.err << q << '\n';
        ctx.err << path << " was not deleted" << (yes ? "" : " (--yes deletes it)") << '\n';
        return 1;
    }
    return 0;
}

int MailboxMoveCommand(Context& ctx, Args args) {
    const std::optional<std::string> onto = args.Value("--onto");
    if (args.size() != 1 || !onto) throw UsageError("needs PATH --onto NODEPATH");
    TreeRig rig(ctx, false);
    const std::string refusal = rig.tree.MoveNode(rig.Node(args[0]), rig.Node(*onto));
    return Report(ctx, refusal, rig.platform);
}

}  // namespace kivo::cli
