// `kivo reply|reply-all|forward|bounce MAILBOX NUMBER`: a composer filled from a stored
// message as the main window's commands fill it; the text on standard input is typed at the
// top of the body. After the message is queued or sent, the stored message's index entry
// gets its letter (W, F or B).

#include <ostream>

#include "app/KivoMain.h"
#include "app/cli/composecli.h"
#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "compose/reply.h"
#include "store/mbxfile.h"

namespace kivo::cli {

namespace {

int ReplyCommand(Context& ctx, Args args, TReplyKind kind) {
    const std::vector<std::string>& positional = args.Positional();
    if (positional.size() != 2)
        throw UsageError("needs a mailbox, a number and one of --queue and --send");
    const TComposeAction action = ActionOf(args);
    const std::optional<std::string> to = args.Value("--to");
    const int number = NumbersOf(std::span(positional).subspan(1)).One();

    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    OpenMailbox(main, positional[0]);
    TFrmIndex& index = main.MainIndex();
    const int row = index.RowOfNumber(number);
    if (row < 0)
        throw std::runtime_error("no message " + positional[1] + " in " + index.MailboxName);
    std::vector<std::string> lines;
    ExtractMsg(number, index.Files().Mbx, lines);
    const std::vector<std::string> typed = SplitLines(ReadStandardInput());

    const TComposerMode mode = kind == TReplyKind::Forward  ? cmForward
                               : kind == TReplyKind::Bounce ? cmBounce
                                                            : cmReply;
    const int status = RunComposer(ctx, mode, action, [&](TfrmSend& composer) {
        // A drop on the address list names the recipient of a forward or bounce; --to does
        // the same here, and adds a recipient to a reply.
        const bool dropped = kind == TReplyKind::Forward || kind == TReplyKind::Bounce;
        if (!FillFromMessage(composer, kind, ReplyLines(lines), ctx.folder.AccountsFile(),
                             ctx.folder.SettingsFile(), dropped ? to : std::nullopt))
            throw std::runtime_error("the message has no header lines");
        if (to && !dropped) composer.AddToLine(*to);
        composer.LeaveTo();
        composer.Body().insert(composer.Body().begin(), typed.begin(), typed.end());
    });
    index.UpdateIndexIcons(row, ReplyStatusLetter(kind)[0]);
    return SaveAfterCommand(ctx, main) ? status : 1;
}

}  // namespace

int ReplyCommand(Context& ctx, Args args) {
    return ReplyCommand(ctx, args, TReplyKind::Reply);
}
int ReplyAllCommand(Context& ctx, Args args) {
    return ReplyCommand(ctx, args, TReplyKind::ReplyToAll);
}
int ForwardCommand(Context& ctx, Args args) {
    return ReplyCommand(ctx, args, TReplyKind::Forward);
}
int BounceCommand(Context& ctx, Args args) {
    return ReplyCommand(ctx, args, TReplyKind::Bounce);
}

}  // namespace kivo::cli
