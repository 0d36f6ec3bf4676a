#include "compose/richtext.h"

#include "base/bytes.h"
#include "compose/htmlstrip.h"
#include "compose/rtf2html.h"

namespace kivo {

std::string TRtfText::PlainText() const {
    std::vector<std::string> lines = SplitLines(rtf2html::Convert(rtf_));
    // The HTML starts with a line break: its first line is no paragraph.
    if (!lines.empty() && lines.front().empty()) lines.erase(lines.begin());
    // A leading empty line marks the end of the (absent) header lines for the stripper.
    lines.insert(lines.begin(), "");
    StripHtml(lines);
    lines.erase(lines.begin());
    return JoinLinesCrLf(lines);
}

void TRtfText::CheckReadable() const {
    if (!TrimView(rtf_).starts_with("{\\rtf"))
        throw ERtfUnreadable("it is not RTF (it does not begin with \"{\\rtf\")");
    std::string text;
    try {
        text = PlainText();
    } catch (const EListError& e) {
        throw ERtfUnreadable(std::string("its font or colour table is incomplete: ") + e.what());
    }
    if (TrimView(text).empty()) throw ERtfUnreadable("no text was found in it");
}

}  // namespace kivo
