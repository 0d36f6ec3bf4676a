// kivo show's forms of a message and kivo print --text: what a reader, the message view and
// the printer make of the stored lines, on the terminal in UTF-8.

#include <ostream>

#include "app/cli/showcli.h"
#include "app/cli/storecli.h"
#include "base/bytes.h"
#include "base/displaytext.h"
#include "compose/reply.h"
#include "mail/storedtext.h"
#include "store/mbxfile.h"
#include "view/FPrint.h"
#include "view/htmltext.h"
#include "view/messagepage.h"
#include "view/msghtml.h"
#include "view/writemessage.h"

namespace kivo::cli {

namespace {

void WriteLines(Context& ctx, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) ctx.out << TerminalText(line) << '\n';
}

std::vector<std::string> ReaderHeaders(const std::vector<std::string>& headers) {
    std::vector<std::string> lines;
    for (const std::string& line : headers) {
        if (!IsSeparator(line)) lines.push_back(line);
    }
    return lines;
}

// The body as a reader wants it: the shown part (the HTML of an alternative), HTML as text,
// then the attachment lines.
std::vector<std::string> ReaderBody(const TShownLines& shown) {
    std::vector<std::string> body = StoredBodyText(shown.headers, shown.body);
    const std::vector<std::string> attachments = TakeAttachmentLines(body);
    TShownText text = ShownText(shown.headers, body);
    std::vector<std::string> lines = text.html ? HtmlToText(text.lines) : std::move(text.lines);
    for (const std::string& path : attachments) lines.push_back("Attachment: " + path);
    return lines;
}

}  // namespace

TShowOptions ParseShowOptions(Args args) {
    TShowOptions options;
    const bool html = args.Has("--html"), safe = args.Has("--html-safe"),
               rawView = args.Has("--raw-view"), headers = args.Has("--headers"),
               body = args.Has("--body"), raw = args.Has("--raw");
    if (html + safe + rawView + body + raw > 1)
        throw UsageError("give one of --html, --html-safe, --raw-view, --body, --raw");
    if (raw && headers) throw UsageError("--raw prints the message exactly as stored");
    if (body && headers) throw UsageError("give --headers or --body, or neither for both");
    if (html || safe || rawView) {
        options.form = html ? TShowForm::Html : safe ? TShowForm::HtmlSafe : TShowForm::RawView;
        options.withHeaders = headers;
    } else if (raw) {
        options.form = TShowForm::Raw;
    } else if (headers) {
        options.form = TShowForm::Headers;
    } else if (body) {
        options.form = TShowForm::Body;
    }
    return options;
}

void WriteShown(Context& ctx, const TShownLines& shown, const TShowOptions& options) {
    switch (options.form) {
        case TShowForm::Html:
        case TShowForm::RawView: {
            std::vector<std::string> body = StoredBodyText(shown.headers, shown.body);
            TakeAttachmentLines(body);
            WriteLines(ctx, MessageHtml(shown.headers, body, options.withHeaders,
                                        options.form == TShowForm::RawView));
            return;
        }
        case TShowForm::HtmlSafe: {
            // The view's own page, without the program's colours and fonts.
            std::vector<std::string> body = StoredBodyText(shown.headers, shown.body);
            TakeAttachmentLines(body);
            bool html = false;
            const std::vector<std::string> lines =
                MessageHtml(shown.headers, body, options.withHeaders, false, &html);
            WriteLines(ctx, SplitLines(BlockRemoteReferences(MessagePageHtml(lines, html, ""))));
            return;
        }
        case TShowForm::Headers:
            WriteLines(ctx, ReaderHeaders(shown.headers));
            return;
        case TShowForm::Body:
            WriteLines(ctx, ReaderBody(shown));
            return;
        case TShowForm::Raw:  // the caller writes the stored lines themselves
        case TShowForm::Reader:
            WriteLines(ctx, ReaderHeaders(shown.headers));
            ctx.out << '\n';
            WriteLines(ctx, ReaderBody(shown));
            return;
    }
}

int PrintCommand(Context& ctx, Args args) {
    if (args.size() != 2) throw UsageError("needs a mailbox and a number");
    if (!args.Has("--text"))
        throw UsageError("printing on paper needs the windows; --text prints the page's text");
    const int number = NumbersOf(std::span(args.Positional()).subspan(1)).One();
    StorePlatform platform(ctx.platform, false);
    StoreView view;
    TFrmMain main(ctx.folder, platform, view);
    main.CompressOnOpen = false;
    main.CompressOnClose = false;
    OpenMailbox(main, args[0]);
    TFrmIndex& index = main.MainIndex();
    if (index.RowOfNumber(number) < 0)
        throw std::runtime_error("no message " + args[1] + " in " + index.MailboxName);
    const TFrmPrint print = PrintDocumentOf(index, number);
    ctx.out << TerminalText(print.Heading()) << '\n';
    WriteLines(ctx, print.MessageLines());
    SaveAfterCommand(ctx, main);
    return 0;
}

}  // namespace kivo::cli
