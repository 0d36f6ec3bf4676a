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
    const std::vector<std::string> to = args.Values("--to");
    const std::vector<std::string> cc = args.Values("--cc");
    const std::vector<std::string> bcc = args.Values("--bcc");
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
        // Each --to is one more line of To, as a drop on the address list gives a forward or
        // a bounce its recipient and as the user types more recipients into a reply.
        if (!FillFromMessage(composer, kind, ReplyLines(lines), ctx.folder.AccountsFile(),
                             ctx.folder.SettingsFile()))
            throw std::runtime_error("the message has no header lines");
        for (const std::string& line : to) composer.AddToLine(line);
        for (const std::string& line : cc) composer.AddCcLine(line);
        for (const std::string& line : bcc) composer.AddBccLine(line);
        composer.LeaveTo();
        composer.LeaveCc();
        composer.LeaveBcc();
        composer.Body().insert(composer.Body().begin(), typed.begin(), typed.end());
    });
    index.UpdateIndexIcons(row, ReplyStatusLetter(kind)[0]);
    SaveAfterCommand(ctx, main);
    return status;
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
