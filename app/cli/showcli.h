#pragma once
// What `kivo show` prints of a message, chosen by its options, and `kivo print --text`.

#include <string>
#include <vector>

#include "app/cli/cli.h"
#include "store/msgops.h"

namespace kivo::cli {

enum class TShowForm {
    Reader,    // headers and body as a reader wants them: no separator line, HTML as text
    Headers,   // the header lines only
    Body,      // the body only, as the reader form shows it
    Raw,       // exactly as stored
    Html,      // the message view's HTML lines, the message's HTML as sent
    HtmlSafe,  // the page the view loads: active content stripped, remote references blocked
    RawView,   // the raw view's HTML lines
};

struct TShowOptions {
    TShowForm form = TShowForm::Reader;
    bool withHeaders = false;  // the view's show-headers state for Html and RawView
};

// Reads the options of `kivo show`; throws UsageError for a combination that means nothing.
TShowOptions ParseShowOptions(Args args);

// Writes the shown message (its lines as the mailbox holds them) in the chosen form; the Raw
// form is the caller's, from the stored lines (written as the Reader form here).
void WriteShown(Context& ctx, const TShownLines& shown, const TShowOptions& options);

}  // namespace kivo::cli
