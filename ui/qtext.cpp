#include "ui/qtext.h"

#include <QStringDecoder>

namespace kivo::ui {

QString ToQ(std::string_view text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString result = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError()) return result;
    QStringDecoder cp1252("windows-1252");
    if (cp1252.isValid()) {
        return cp1252.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQ(const QString& text) {
    return text.toUtf8().toStdString();
}

QColor ColourOf(std::uint32_t colour, const QPalette& palette) {
    if (colour & 0x80000000u) {
        // The system colour indexes the program uses; others fall back to the window's.
        switch (colour & 0xFFu) {
            case 5:  // window background
                return palette.color(QPalette::Base);
            case 8:  // window text
                return palette.color(QPalette::Text);
            case 15:  // button face
                return palette.color(QPalette::Button);
            case 13:  // highlight
                return palette.color(QPalette::Highlight);
            case 14:
                return palette.color(QPalette::HighlightedText);
            default:
                return palette.color(QPalette::Window);
        }
    }
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

std::uint32_t ColourValue(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}

}  // namespace kivo::ui
