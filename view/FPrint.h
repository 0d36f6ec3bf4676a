#pragma once
// Printing a message (`TFrmPrint`, the unseen "Print Preview" window): the message as plain
// text with a one-line bold, underlined heading naming the sender and the subject, printed in
// Arial 10 with half-inch margins as the job "E-mail message". This class builds the
// document; a TPrinter puts it on paper (QPrinter in the windows). It never asks anything.

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

inline constexpr std::string_view kPrintCaption = "Print Preview";
inline constexpr std::string_view kPrintJobTitle = "E-mail message";
inline constexpr std::string_view kPrintFont = "Arial";
inline constexpr int kPrintFontSize = 10;    // points, the body
inline constexpr int kPrintHeadingSize = 8;  // points, bold and underlined
inline constexpr double kPrintMarginInch = 0.5;

class TFrmPrint;
class TFrmIndex;

// Puts a document on the system's printer.
class TPrinter {
  public:
    virtual ~TPrinter() = default;
    // One print job titled kPrintJobTitle, within the margins, fonts as above.
    virtual void PrintDocument(const TFrmPrint& document) = 0;
};

class TFrmPrint {
  public:
    // Fills the document from a message's lines as the raw-message fetch gives them (an
    // HTML or alternative message already reduced to text): the header lines are split off,
    // the rest, from the empty line that ended them, is the text.
    void Fill(std::vector<std::string> lines);
    // Writes the heading: "Message from " + the From value (its first 30 characters and
    // "..." when longer) + ", " + the first 40 characters of the Subject value.
    void InsertHeader();
    // Hands the document to the printer.
    void Print(TPrinter& printer) const { printer.PrintDocument(*this); }

    const std::vector<std::string>& HeaderLines() const { return headers_; }
    // The body text, one entry per line, in UTF-8.
    const std::vector<std::string>& MessageLines() const { return lines_; }
    // Empty until InsertHeader.
    const std::string& Heading() const { return heading_; }
    // The whole document as text: the heading line, then the body lines.
    std::string Text() const;

  private:
    std::vector<std::string> headers_;
    std::vector<std::string> lines_;
    std::string heading_;
};

// Prints a message from its stored lines: fetched as the reply commands read it, filled,
// headed and printed.
void PrintMessage(const std::vector<std::string>& storedLines, TPrinter& printer);

// The document of message `number` of a window's mailbox, filled and headed; read under the
// mailbox's lock (EMailboxChanged when the window's index no longer numbers the file).
TFrmPrint PrintDocumentOf(const TFrmIndex& window, int number);

}  // namespace kivo
