#pragma once
// The composer's body: a QTextEdit that takes pasted and dropped text without stalling on a
// huge clipboard and hands dropped files to the composer, and the TRichEditor the style
// commands and the styled mail work on, which saves the document as the rich-edit RTF that
// rtf2html reads.

#include <QTextEdit>
#include <functional>

#include "compose/richtext.h"
#include "compose/rtfwriter.h"

namespace kivo::ui {

// Local files named by a drop's URLs; empty when it names anything else.
QStringList DroppedFiles(const QMimeData* data);

class BodyEdit : public QTextEdit {
    Q_OBJECT
  public:
    explicit BodyEdit(QWidget* parent = nullptr);
    // Files dropped on the body become attachments.
    std::function<void(const QStringList&)> FilesDropped;
    // Pasted or dropped text too large for a message body (its size in bytes): nothing is
    // inserted; the clipboard keeps it.
    std::function<void(qsizetype)> TooLarge;

  protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

// The document's paragraphs and runs as the RTF writer takes them; text the default
// character format leaves unset is in `defaultFont`.
std::vector<TRtfParagraph> RtfParagraphs(const QTextDocument& document);

class RichEditor : public TRichEditor {
  public:
    explicit RichEditor(QTextEdit& edit) : edit_(edit) {}

    std::string Rtf() const override;
    TCharFormat SelectionFormat() const override;
    void SetSelectionBold(bool on) override;
    void SetSelectionItalic(bool on) override;
    void SetSelectionUnderline(bool on) override;
    void SetSelectionFont(const std::string& name) override;
    void SetSelectionSize(int points) override;
    void SetSelectionColour(std::uint32_t colour) override;
    void SetAlignment(TAlignment alignment) override;
    int FirstIndent() const override;
    void SetFirstIndent(int indent) override;
    bool Bulleted() const override;
    void SetBulleted(bool on) override;
    void SetDefaultFormat(const TCharFormat& format) override;
    void SetBackground(std::uint32_t colour) override;
    void ReloadPlain(const TCharFormat& format, std::uint32_t background) override;

  private:
    void Merge(const QTextCharFormat& format);

    QTextEdit& edit_;
};

}  // namespace kivo::ui
