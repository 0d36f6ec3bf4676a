// The composer's style side: the style toolbar, the "F&ormat" menu's commands and "Save as
// Default Message Style", each handed to the composer's TComposerStyle.

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <array>

#include "app/KivoMain.h"
#include "base/inifile.h"
#include "ui/composerwindow.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

constexpr const char* kSizeNames[] = {"Very small", "Small",      "Medium", "Large",
                                      "Larger",     "Very large", "Largest"};

// A letter drawn in the style it stands for, as the toolbar's bold, italic and underline
// buttons show it.
QIcon LetterIcon(const QString& letter, bool bold, bool italic, bool underline,
                 const QColor& bar = {}) {
    QPixmap pix(20, 20);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    QFont font = QApplication::font();
    font.setPixelSize(15);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    p.setFont(font);
    p.setPen(QApplication::palette().color(QPalette::ButtonText));
    p.drawText(QRect(0, 0, 20, bar.isValid() ? 16 : 20), Qt::AlignCenter, letter);
    if (bar.isValid()) p.fillRect(QRect(2, 16, 16, 4), bar);
    return QIcon(pix);
}

// Lines standing for a paragraph's alignment, indent or bullets.
QIcon LinesIcon(const char* kind) {
    QPixmap pix(20, 20);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setPen(QPen(QApplication::palette().color(QPalette::ButtonText), 2));
    const std::string k = kind;
    for (int row = 0; row < 4; ++row) {
        const int y = 4 + row * 4;
        const int width = row % 2 ? 10 : 16;
        int left = 2;
        if (k == "center") left = 10 - width / 2;
        if (k == "right") left = 18 - width;
        if (k == "indent" || k == "unindent") left = row == 0 ? (k == "indent" ? 8 : 2) : 2;
        if (k == "bullets") {
            p.drawPoint(3, y);
            p.drawLine(7, y, 18, y);
            continue;
        }
        p.drawLine(left, y, std::min(18, left + width), y);
    }
    return QIcon(pix);
}

}  // namespace

void ComposerWindow::BuildStyleActions() {
    const auto styleButton = [this](const char* name, const char* text, const QKeySequence& key,
                                    const char* hint, const QIcon& icon) {
        QAction* action = AddAction(name, text, key, hint);
        action->setIcon(icon);
        return action;
    };
    QAction* bold = styleButton("bold", "&Bold", QKeySequence("Ctrl+B"), "Bold",
                                LetterIcon("B", true, false, false));
    QAction* italic = styleButton("italic", "&Italic", QKeySequence("Ctrl+I"), "Italic",
                                  LetterIcon("I", false, true, false));
    QAction* underline = styleButton("underline", "&Underline", QKeySequence("Ctrl+U"), "Underline",
                                     LetterIcon("U", false, false, true));
    for (QAction* action : {bold, italic, underline}) action->setCheckable(true);
    connect(bold, &QAction::triggered, this, [this](bool down) {
        style_->Bold(down);
        ShowFormat();
    });
    connect(italic, &QAction::triggered, this, [this](bool down) {
        style_->Italic(down);
        ShowFormat();
    });
    connect(underline, &QAction::triggered, this, [this](bool down) {
        style_->Underline(down);
        ShowFormat();
    });

    const std::tuple<const char*, const char*, const char*, TAlignment> aligns[] = {
        {"alignLeft", "&Left", "Left justify", TAlignment::Left},
        {"alignCenter", "&Center", "Center justify", TAlignment::Center},
        {"alignRight", "&Right", "Right justify", TAlignment::Right}};
    for (const auto& [name, text, hint, alignment] : aligns) {
        const TAlignment a = alignment;
        const char* icon = a == TAlignment::Center  ? "center"
                           : a == TAlignment::Right ? "right"
                                                    : "left";
        connect(styleButton(name, text, {}, hint, LinesIcon(icon)), &QAction::triggered, this,
                [this, a] {
                    style_->Justify(a);
                    ShowFormat();
                });
    }
    connect(styleButton("indent", "I&ndent", {}, "Indent paragraph", LinesIcon("indent")),
            &QAction::triggered, this, [this] {
                style_->Indent();
                ShowFormat();
            });
    connect(styleButton("unindent", "Un&indent", {}, "Unindent paragraph", LinesIcon("unindent")),
            &QAction::triggered, this, [this] {
                style_->Unindent();
                ShowFormat();
            });
    QAction* bullets =
        styleButton("bullets", "B&ullets", {}, "Toggle bullets", LinesIcon("bullets"));
    bullets->setCheckable(true);
    connect(bullets, &QAction::triggered, this, [this] {
        style_->ToggleBullets();
        ShowFormat();
        ShowStyleButtons();
    });
    connect(styleButton("fontColour", "Font &Colour...", {}, "Font colour",
                        LetterIcon("A", false, false, false, Qt::red)),
            &QAction::triggered, this, &ComposerWindow::ChooseFontColour);
    connect(styleButton("backgroundColour", "Back&ground Colour...", {}, "Background colour",
                        LetterIcon("", false, false, false, Qt::yellow)),
            &QAction::triggered, this, &ComposerWindow::ChooseBackground);
    connect(AddAction("clearFormatting", "&Clear All Formatting", {}, "Clear all formatting"),
            &QAction::triggered, this, [this] {
                style_->ClearAllFormatting();
                ShowFormat();
                ShowStyleButtons();
            });
}

void ComposerWindow::BuildStyleToolbar() {
    addToolBarBreak();
    styleBar_ = addToolBar("Style");
    styleBar_->setObjectName("styleToolbar");
    styleBar_->setAccessibleName("Style toolbar");
    styleBar_->setMovable(false);
    styleBar_->setIconSize(QSize(18, 18));
    fonts_ = new QFontComboBox;
    fonts_->setObjectName("fontList");
    fonts_->setAccessibleName("Choose font");
    fonts_->setToolTip("Choose font");
    fonts_->setMaximumWidth(150);
    fonts_->setCurrentFont(QFont(ToQ(style_->State().sigFont.font)));
    connect(fonts_, &QFontComboBox::textActivated, this, [this](const QString& family) {
        style_->FontName(FromQ(family));
        ShowFormat();
        body_->setFocus();
    });
    styleBar_->addWidget(fonts_);
    sizes_ = new QComboBox;
    sizes_->setObjectName("sizeList");
    sizes_->setAccessibleName("Choose font size");
    sizes_->setToolTip("Choose font size");
    for (const char* name : kSizeNames) sizes_->addItem(name);
    sizes_->setCurrentIndex(kSizeLevelMedium);
    connect(sizes_, &QComboBox::activated, this, [this](int level) {
        style_->FontSizeLevel(level);
        ShowFormat();
        body_->setFocus();
    });
    styleBar_->addWidget(sizes_);
    styleBar_->addSeparator();
    for (const char* name :
         {"bold", "italic", "underline", "", "alignLeft", "alignCenter", "alignRight", "", "indent",
          "unindent", "bullets", "", "fontColour", "backgroundColour"}) {
        QAction* action = Action(name);
        styleBar_->addAction(action);
        if (QWidget* w = styleBar_->widgetForAction(action)) {
            w->setObjectName(QString(name) + "Button");
            w->setAccessibleName(action->toolTip());
        }
    }
    // The font colour button: a click asks for any colour, its arrow offers the palette.
    if (auto* button =
            qobject_cast<QToolButton*>(styleBar_->widgetForAction(Action("fontColour")))) {
        button->setMenu(FontColourPalette());
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    QAction* shown = Action("showStyleToolbar");
    connect(shown, &QAction::toggled, styleBar_, &QToolBar::setVisible);
    connect(styleBar_, &QToolBar::visibilityChanged, shown, &QAction::setChecked);
}

void ComposerWindow::ShowStyleButtons() {
    Action("bold")->setChecked(style_->BoldDown());
    Action("italic")->setChecked(style_->ItalicDown());
    Action("underline")->setChecked(style_->UnderlineDown());
    Action("bullets")->setChecked(style_->BulletsDown());
}

QMenu* ComposerWindow::FontColourPalette() {
    // Four rows of five: greys, then dark, full and light tones of the common hues.
    static constexpr std::array<QRgb, 20> kColours = {
        0x000000, 0x404040, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x800000, 0x808000,
        0x008000, 0x000080, 0x800080, 0xFF0000, 0xFF8000, 0x00A000, 0x0000FF,
        0xFF00FF, 0xFF8080, 0xFFFF80, 0x80FF80, 0x80C0FF, 0xFF80FF};
    auto* menu = new QMenu(this);
    menu->setObjectName("fontColourPalette");
    auto* grid = new QWidget(menu);
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(2);
    layout->setContentsMargins(4, 4, 4, 4);
    for (std::size_t k = 0; k < kColours.size(); ++k) {
        const QColor colour(kColours[k]);
        auto* swatch = new QToolButton(grid);
        swatch->setObjectName(QString("swatch%1").arg(k));
        swatch->setAccessibleName(colour.name());
        swatch->setToolTip(colour.name());
        swatch->setFixedSize(20, 20);
        swatch->setStyleSheet(
            QString("background:%1;border:1px solid palette(mid)").arg(colour.name()));
        connect(swatch, &QToolButton::clicked, this, [this, menu, colour] {
            menu->close();
            ApplyFontColour(colour);
        });
        layout->addWidget(swatch, static_cast<int>(k / 5), static_cast<int>(k % 5));
    }
    auto* palette = new QWidgetAction(menu);
    palette->setDefaultWidget(grid);
    menu->addAction(palette);
    menu->addAction("&Other...", this, &ComposerWindow::ChooseFontColour);
    return menu;
}

void ComposerWindow::ChooseFontColour() {
    const QColor colour = QColorDialog::getColor(body_->textColor(), this, "Font colour");
    if (colour.isValid()) ApplyFontColour(colour);
}

void ComposerWindow::ApplyFontColour(const QColor& colour) {
    style_->FontColour(ColourValue(colour));
    ShowFormat();
}

void ComposerWindow::ChooseBackground() {
    const QColor colour =
        QColorDialog::getColor(body_->palette().color(QPalette::Base), this, "Background colour");
    if (!colour.isValid()) return;
    style_->BackgroundColour(ColourValue(colour));
    // The signature pane takes the body's background.
    QPalette palette = sigPane_->palette();
    palette.setColor(QPalette::Base, colour);
    sigPane_->setPalette(palette);
    ShowFormat();
}

void ComposerWindow::SaveDefaultStyle() {
    try {
        IniFile settings(main_.Folder().SettingsFile());
        style_->SaveAsDefault(settings);
        settings.UpdateFile();
    } catch (const std::exception& e) {
        ShowTip(std::string("Cannot save the message style: ") + e.what());
    }
}

}  // namespace kivo::ui
