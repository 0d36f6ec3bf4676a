#include "ui/richeditor.h"

#include <QFileInfo>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QUrl>

#include "ui/qtext.h"

namespace kivo::ui {

namespace {

// Styled text from the clipboard is parsed as HTML; beyond this size that takes minutes, so
// such a paste brings its plain text.
constexpr qsizetype kHtmlPasteMax = 1 << 20;
// More text than mail servers take in a message (most refuse 10 to 50 MB), and more than
// the editor lays out in reasonable time: such a paste is refused instead of freezing the
// window for minutes.
constexpr qsizetype kPasteMax = 8 << 20;
// A pixel of the editor's indents in twips, at the 96 dots per inch the composer assumes.
constexpr int kTwipsPerPixel = 15;

TAlignment AlignmentOf(Qt::Alignment alignment) {
    if (alignment & Qt::AlignHCenter) return TAlignment::Center;
    if (alignment & Qt::AlignRight) return TAlignment::Right;
    return TAlignment::Left;
}

TRtfRun RunOf(const QTextCharFormat& format, const QFont& defaultFont) {
    const QFont font = format.font().resolve(defaultFont);
    TRtfRun run;
    run.font = FromQ(font.family());
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : defaultFont.pointSizeF();
    run.points = points > 0 ? static_cast<int>(points + 0.5) : 10;
    if (format.foreground().style() != Qt::NoBrush)
        run.colour = ColourValue(format.foreground().color());
    run.bold = font.bold();
    run.italic = font.italic();
    run.underline = font.underline();
    return run;
}

}  // namespace

QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        files << url.toLocalFile();
    }
    return files;
}

BodyEdit::BodyEdit(QWidget* parent) : QTextEdit(parent) {}

bool BodyEdit::canInsertFromMimeData(const QMimeData* source) const {
    return !DroppedFiles(source).isEmpty() || QTextEdit::canInsertFromMimeData(source);
}

void BodyEdit::insertFromMimeData(const QMimeData* source) {
    const QStringList files = DroppedFiles(source);
    if (!files.isEmpty() && FilesDropped) {
        FilesDropped(files);
        return;
    }
    if (source->hasText() && source->text().size() > kPasteMax) {
        if (TooLarge) TooLarge(source->text().toUtf8().size());
        return;
    }
    if (source->hasHtml() && source->html().size() > kHtmlPasteMax && source->hasText()) {
        textCursor().insertText(source->text());
        ensureCursorVisible();
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

std::vector<TRtfParagraph> RtfParagraphs(const QTextDocument& document) {
    std::vector<TRtfParagraph> paragraphs;
    const QFont defaultFont = document.defaultFont();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        TRtfParagraph paragraph;
        paragraph.alignment = AlignmentOf(block.blockFormat().alignment());
        paragraph.bulleted = block.textList() != nullptr;
        paragraph.firstIndent = static_cast<int>(block.blockFormat().textIndent()) * kTwipsPerPixel;
        paragraphs.push_back(paragraph);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const TRtfRun format = RunOf(fragment.charFormat(), defaultFont);
            // A line break typed with Shift+Enter starts a paragraph of the same format.
            const QStringList lines = fragment.text().split(QChar::LineSeparator);
            for (qsizetype k = 0; k < lines.size(); ++k) {
                if (k > 0) {
                    TRtfParagraph next = paragraphs.back();
                    next.runs.clear();
                    paragraphs.push_back(next);
                }
                QString text = lines[k];
                text.remove(QChar::ObjectReplacementCharacter);
                if (text.isEmpty()) continue;
                TRtfRun run = format;
                run.text = FromQ(text);
                paragraphs.back().runs.push_back(std::move(run));
            }
        }
    }
    return paragraphs;
}

std::string RichEditor::Rtf() const {
    const QTextDocument& document = *edit_.document();
    return WriteRichEditRtf(RtfParagraphs(document), FromQ(document.defaultFont().family()));
}

TCharFormat RichEditor::SelectionFormat() const {
    const QTextCharFormat format = edit_.currentCharFormat();
    const TRtfRun run = RunOf(format, edit_.document()->defaultFont());
    TCharFormat out;
    out.font = run.font;
    out.size = run.points;
    out.colour = run.colour ? *run.colour : kWindowTextColour;
    out.bold = run.bold;
    out.italic = run.italic;
    out.underline = run.underline;
    return out;
}

void RichEditor::Merge(const QTextCharFormat& format) {
    edit_.mergeCurrentCharFormat(format);
}

void RichEditor::SetSelectionBold(bool on) {
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    Merge(format);
}

void RichEditor::SetSelectionItalic(bool on) {
    QTextCharFormat format;
    format.setFontItalic(on);
    Merge(format);
}

void RichEditor::SetSelectionUnderline(bool on) {
    QTextCharFormat format;
    format.setFontUnderline(on);
    Merge(format);
}

void RichEditor::SetSelectionFont(const std::string& name) {
    QTextCharFormat format;
    format.setFontFamilies({ToQ(name)});
    Merge(format);
}

void RichEditor::SetSelectionSize(int points) {
    QTextCharFormat format;
    format.setFontPointSize(points);
    Merge(format);
}

void RichEditor::SetSelectionColour(std::uint32_t colour) {
    QTextCharFormat format;
    // The window-text colour is the text's own: no colour of its own is stored for it.
    if (IsSystemColour(colour)) {
        QTextCursor cursor = edit_.textCursor();
        QTextCharFormat cleared = edit_.currentCharFormat();
        cleared.clearForeground();
        if (cursor.hasSelection()) {
            cursor.setCharFormat(cleared);
        }
        edit_.setCurrentCharFormat(cleared);
        return;
    }
    format.setForeground(ColourOf(colour, edit_.palette()));
    Merge(format);
}

void RichEditor::SetAlignment(TAlignment alignment) {
    edit_.setAlignment(alignment == TAlignment::Center  ? Qt::AlignHCenter
                       : alignment == TAlignment::Right ? Qt::AlignRight
                                                        : Qt::AlignLeft);
}

int RichEditor::FirstIndent() const {
    return static_cast<int>(edit_.textCursor().blockFormat().textIndent());
}

void RichEditor::SetFirstIndent(int indent) {
    QTextBlockFormat format;
    format.setTextIndent(indent);
    edit_.textCursor().mergeBlockFormat(format);
}

bool RichEditor::Bulleted() const {
    return edit_.textCursor().currentList() != nullptr;
}

void RichEditor::SetBulleted(bool on) {
    QTextCursor cursor = edit_.textCursor();
    if (on) {
        if (!cursor.currentList()) cursor.createList(QTextListFormat::ListDisc);
        return;
    }
    // Every paragraph the selection touches leaves its list.
    QTextDocument* document = edit_.document();
    QTextBlock block = document->findBlock(cursor.selectionStart());
    const QTextBlock last = document->findBlock(cursor.selectionEnd());
    cursor.beginEditBlock();
    while (block.isValid()) {
        if (QTextList* list = block.textList()) {
            list->remove(block);
            QTextCursor at(block);
            QTextBlockFormat format = block.blockFormat();
            format.setIndent(0);
            at.setBlockFormat(format);
        }
        if (block == last) break;
        block = block.next();
    }
    cursor.endEditBlock();
}

void RichEditor::SetDefaultFormat(const TCharFormat& format) {
    QFont font(ToQ(format.font));
    font.setPointSize(std::max(1, format.size));
    font.setBold(format.bold);
    font.setItalic(format.italic);
    font.setUnderline(format.underline);
    edit_.document()->setDefaultFont(font);
    QTextCharFormat chars;
    chars.setFont(font);
    if (!IsSystemColour(format.colour))
        chars.setForeground(ColourOf(format.colour, edit_.palette()));
    QTextCursor all(edit_.document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(chars);
    edit_.mergeCurrentCharFormat(chars);
}

void RichEditor::SetBackground(std::uint32_t colour) {
    QPalette palette = edit_.palette();
    palette.setColor(QPalette::Base, ColourOf(colour, QPalette()));
    edit_.setPalette(palette);
}

void RichEditor::ReloadPlain(const TCharFormat& format, std::uint32_t background) {
    const QString text = edit_.toPlainText();
    edit_.clear();
    edit_.setCurrentCharFormat(QTextCharFormat());
    edit_.setPlainText(text);
    SetDefaultFormat(format);
    SetBackground(background);
    QTextCursor end = edit_.textCursor();
    end.movePosition(QTextCursor::End);
    edit_.setTextCursor(end);
}

}  // namespace kivo::ui
