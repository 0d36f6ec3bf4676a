#pragma once
// Printing in the windows: the print document (TFrmPrint) laid out on a QPrinter, the heading
// bold and underlined in Arial 8 and the text in Arial 10 within half-inch margins, as the job
// "E-mail message". "&Print" goes to the system's printer without asking; where no printer is
// installed the page goes into a PDF file the user names. The preview shows the same pages
// and prints them through the print dialog.

#include <QString>

#include "view/FPrint.h"

class QPrinter;
class QTextDocument;
class QWidget;

namespace kivo {
class TFrmMain;
}

namespace kivo::ui {

// Puts documents on one QPrinter.
class QtPrinter : public TPrinter {
  public:
    explicit QtPrinter(QPrinter& printer) : printer_(printer) {}
    void PrintDocument(const TFrmPrint& document) override;

  private:
    QPrinter& printer_;
};

// The document's heading and text as rich text in the print fonts.
void FillTextDocument(QTextDocument& doc, const TFrmPrint& document);

// True when the system knows a printer to print on.
bool PrinterInstalled();

// "&Print" for the main window's selected message. Without a printer the PDF file is asked
// for with a save dialog (object name "pdfFileDialog"). False when nothing was printed; a
// message that cannot be read is thrown.
bool PrintSelectedMessage(TFrmMain& main, QWidget* parent);

// "Print Pre&view...": the pages of the selected message in the "Print Preview" window,
// from which the print dialog prints them. False when no message is selected.
bool PreviewSelectedMessage(TFrmMain& main, QWidget* parent);

}  // namespace kivo::ui
