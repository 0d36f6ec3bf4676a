#include "view/FPrint.h"

#include "base/displaytext.h"
#include "compose/reply.h"
#include "store/mbxfile.h"
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

void PrintMessage(const std::vector<std::string>& storedLines, TPrinter& printer) {
    TFrmPrint print;
    print.Fill(ReplyLines(storedLines));
    print.InsertHeader();
    print.Print(printer);
}

}  // namespace kivo
