#include "view/FPrint.h"

#include "base/displaytext.h"
#include "compose/reply.h"
#include "mail/storedtext.h"
#include "store/mbxfile.h"
#include "store/msgops.h"
#include "view/htmltext.h"
#include "view/labels.h"

namespace kivo {

void TFrmPrint::Fill(std::vector<std::string> lines) {
    ExtractHeaders(headers_, lines);
    lines_.clear();
    lines_.reserve(lines.size());
    for (const std::string& line : lines) lines_.push_back(DisplayText(line));
    heading_.clear();
}

void TFrmPrint::InsertHeader() {
    std::string from = LabelText("From:", headers_);
    if (Utf8Length(from) > 30) from = Utf8Prefix(from, 30) + "...";
    const std::string subject = Utf8Prefix(LabelText("Subject:", headers_), 40);
    heading_ = "Message from " + from + ", " + subject;
}

std::string TFrmPrint::Text() const {
    std::string text = heading_;
    text += '\n';
    for (const std::string& line : lines_) {
        text += line;
        text += '\n';
    }
    return text;
}

namespace {

// The message as the reply commands read it, but an HTML body is read as the reader shows it
// as text: its style sheets and scripts are not printed, blocks start lines, every entity is
// its character.
std::vector<std::string> PrintLines(std::vector<std::string> stored) {
    {
        // A body kept in its transfer encoding (Out, Sent) is printed as text.
        std::vector<std::string> headers;
        ExtractHeaders(headers, stored);
        if (!stored.empty()) {
            stored.erase(stored.begin());  // the header end
            stored = StoredBodyText(headers, std::move(stored));
            stored.insert(stored.begin(), "");
        }
        stored.insert(stored.begin(), headers.begin(), headers.end());
    }
    bool html = false;
    std::vector<std::string> lines = ReplyLinesHtml(std::move(stored), html);
    if (!html) return lines;
    std::vector<std::string> headers;
    ExtractHeaders(headers, lines);
    std::vector<std::string> body = HtmlToText(lines);
    headers.emplace_back();
    headers.insert(headers.end(), body.begin(), body.end());
    return headers;
}

}  // namespace

void PrintMessage(const std::vector<std::string>& storedLines, TPrinter& printer) {
    TFrmPrint print;
    print.Fill(PrintLines(storedLines));
    print.InsertHeader();
    print.Print(printer);
}

TFrmPrint PrintDocumentOf(const TFrmIndex& window, int number) {
    const TShownLines shown = ExtractForView(window, number);
    std::vector<std::string> lines = shown.headers;
    lines.emplace_back();
    lines.insert(lines.end(), shown.body.begin(), shown.body.end());
    TFrmPrint print;
    print.Fill(PrintLines(std::move(lines)));
    print.InsertHeader();
    return print;
}

}  // namespace kivo
