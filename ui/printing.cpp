#include "ui/printing.h"

#include <QAbstractTextDocumentLayout>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

#include "app/KivoMain.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

void SetUpPrinter(QPrinter& printer) {
    printer.setDocName(ToQ(kPrintJobTitle));
    const double m = kPrintMarginInch;
    printer.setPageMargins(QMarginsF(m, m, m, m), QPageLayout::Inch);
}

// A printer that keeps the document it was given, for the preview to draw again.
class KeepingPrinter : public TPrinter {
  public:
    void PrintDocument(const TFrmPrint& document) override { kept = document; }
    TFrmPrint kept;
};

QString ProposedPdfName() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    return QDir(folder).filePath(ToQ(kPrintJobTitle) + ".pdf");
}

}  // namespace

void FillTextDocument(QTextDocument& doc, const TFrmPrint& document) {
    QFont body(ToQ(kPrintFont));
    body.setPointSize(kPrintFontSize);
    doc.setDefaultFont(body);
    QTextOption option = doc.defaultTextOption();
    // A long address or a line of dashes breaks where it must instead of leaving the page.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc.setDefaultTextOption(option);
    QTextCharFormat heading;
    heading.setFont(body);
    heading.setFontPointSize(kPrintHeadingSize);
    heading.setFontWeight(QFont::Bold);
    heading.setFontUnderline(true);
    QTextCharFormat text;
    text.setFont(body);
    QTextCursor cursor(&doc);
    cursor.insertText(ToQ(document.Heading()), heading);
    for (const std::string& line : document.MessageLines()) {
        cursor.insertBlock(QTextBlockFormat(), text);
        cursor.insertText(ToQ(line), text);
    }
}

void QtPrinter::PrintDocument(const TFrmPrint& document) {
    SetUpPrinter(printer_);
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&printer_);
    FillTextDocument(doc, document);
    // Paginated on the page within the margins, so the printer's margins are the only ones.
    QTextFrameFormat frame = doc.rootFrame()->frameFormat();
    frame.setMargin(0);
    doc.rootFrame()->setFrameFormat(frame);
    doc.setPageSize(printer_.pageLayout().paintRectPixels(printer_.resolution()).size());
    doc.print(&printer_);
}

bool PrinterInstalled() {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool PrintSelectedMessage(TFrmMain& main, QWidget* parent) {
    if (main.MainIndex().SelectedRows().empty()) return false;
    if (PrinterInstalled()) {
        QPrinter printer(QPrinter::HighResolution);
        QtPrinter target(printer);
        return main.Print1Click(target);
    }
    // No printer: the document is made first, so the file is asked for only when there is
    // something to put into it.
    KeepingPrinter keeping;
    if (!main.Print1Click(keeping)) return false;
    QFileDialog dialog(parent, "Print to PDF file");
    dialog.setObjectName("pdfFileDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter("PDF file (*.pdf)");
    dialog.setDefaultSuffix("pdf");
    dialog.selectFile(ProposedPdfName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dialog.selectedFiles().front());
    QtPrinter(printer).PrintDocument(keeping.kept);
    return printer.printerState() != QPrinter::Error;
}

bool PreviewSelectedMessage(TFrmMain& main, QWidget* parent) {
    KeepingPrinter keeping;
    if (!main.Print1Click(keeping)) return false;
    QPrinter printer(QPrinter::HighResolution);
    if (!PrinterInstalled()) printer.setOutputFormat(QPrinter::PdfFormat);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName("printPreview");
    preview.setWindowTitle(ToQ(kPrintCaption));
    preview.setAccessibleName(ToQ(kPrintCaption));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&](QPrinter* p) { QtPrinter(*p).PrintDocument(keeping.kept); });
    preview.resize(800, 700);
    preview.exec();
    return true;
}

}  // namespace kivo::ui
