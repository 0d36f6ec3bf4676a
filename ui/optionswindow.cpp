#include "ui/optionswindow.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/qtext.h"

namespace kivo::ui {

namespace {

QIcon Swatch(const QColor& colour) {
    QPixmap pix(14, 14);
    pix.fill(colour);
    QPainter p(&pix);
    p.setPen(Qt::black);
    p.drawRect(0, 0, 13, 13);
    return QIcon(pix);
}

int PageIndex(TSettingsPage page) {
    return static_cast<int>(page);
}

}  // namespace

OptionsWindow::OptionsWindow(TSettings& settings, std::filesystem::path settingsFile,
                             const std::vector<std::string>& rasEntries, TSettingsPage page,
                             Platform& platform, TDefaultMailer& mailer, QWidget* parent)
    : QDialog(parent),
      core_(settings, std::move(settingsFile), *this),
      platform_(platform),
      mailer_(mailer) {
    core_.FormShow(rasEntries, page);
    setObjectName("optionsWindow");
    setWindowTitle("Mail Settings");
    setAccessibleName("Mail Settings");
    ChooseColour = [this](const QColor& start) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(start, this);
        if (!c.isValid()) return std::nullopt;
        return c;
    };
    ChooseSoundFile = [this] {
        return QFileDialog::getOpenFileName(this, "Choose a sound file", {}, "Wave files (*.wav)");
    };

    tree_ = new QTreeWidget(this);
    tree_->setObjectName("optionsTree");
    tree_->setAccessibleName("Pages");
    tree_->setHeaderHidden(true);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    std::array<QTreeWidgetItem*, 3> parents{};
    for (const TSettingsPageNode& node : kSettingsPages) {
        auto* item = node.depth == 0
                         ? new QTreeWidgetItem(tree_)
                         : new QTreeWidgetItem(parents[static_cast<std::size_t>(node.depth - 1)]);
        item->setText(0, ToQ(node.caption));
        item->setData(0, Qt::UserRole, PageIndex(node.page));
        parents[static_cast<std::size_t>(node.depth)] = item;
    }
    tree_->expandAll();
    tree_->setItemsExpandable(false);
    tree_->setRootIsDecorated(false);
    tree_->setMinimumWidth(150);

    pages_ = new QStackedWidget(this);
    pages_->setObjectName("optionsPages");
    for (QWidget* page :
         {BuildSettingsPage(), BuildProgramPage(), BuildMiscPage(), BuildLookupPage(),
          BuildDefaultsPage(), BuildDragAndDropPage(), BuildAppearancePage(), BuildFontsPage(),
          BuildColoursPage(), BuildShadingPage()}) {
        pages_->addWidget(page);
    }
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        const auto page = static_cast<TSettingsPage>(item->data(0, Qt::UserRole).toInt());
        core_.ShowPage(page);
        pages_->setCurrentIndex(PageIndex(page));
    });

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok_->setAccessibleName("OK");
    ok_->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cance&l", QDialogButtonBox::RejectRole);
    cancel->setAccessibleName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* body = new QHBoxLayout;
    body->addWidget(tree_);
    body->addWidget(pages_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);

    Load();
    ShowPage(core_.Page());
    resize(640, 500);
}

QPushButton* OptionsWindow::SlotButton(const QString& text, TColourSlot slot, QWidget* parent) {
    QString name = text;
    name.remove('&').remove("...");
    auto* button = new QPushButton(text, parent);
    button->setAccessibleName(name.trimmed() + " colour");
    connect(button, &QPushButton::clicked, this, [this, slot] {
        if (auto c = ChooseColour(ColourOf(core_.Fields().Colour(slot), palette()))) {
            core_.SetColour(slot, ColourValue(*c));
            UpdateSamples();
        }
    });
    return button;
}

QPushButton* OptionsWindow::ColourField(const QString& name, std::uint32_t& colour,
                                        QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setAccessibleName(name);
    button->setMinimumWidth(60);
    connect(button, &QPushButton::clicked, this, [this, button, &colour] {
        if (auto c = ChooseColour(ColourOf(colour, palette()))) {
            colour = ColourValue(*c);
            button->setIcon(Swatch(*c));
        }
    });
    return button;
}

void OptionsWindow::ShowPage(TSettingsPage page) {
    core_.ShowPage(page);
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == PageIndex(page)) tree_->setCurrentItem(*it);
    }
    pages_->setCurrentIndex(PageIndex(page));
}

void OptionsWindow::Load() {
    loading_ = true;
    const TSettingsFields& f = core_.Fields();
    mailerButton_->setText(ToQ(f.MailerButton));
    attachPath_->setText(ToQ(f.AttachPath));
    smtp_->setText(ToQ(f.SMTP));
    fastRead_->setChecked(f.FastRead);
    ras_->clear();
    for (const std::string& entry : f.RasEntries) ras_->addItem(ToQ(entry));
    ras_->setCurrentIndex(ras_->findText(ToQ(f.RAS)));
    ras_->setEnabled(!f.RasEntries.empty());
    dialUpPass_->setText(ToQ(f.DialUpPass));
    autoDial_->setChecked(f.AutoDial);
    autoHangup_->setChecked(f.AutoHangup);

    hideForm_->setChecked(f.HideForm);
    showHints_->setChecked(f.ShowHints);
    privacy_->setChecked(f.Privacy);
    privacyPass_->setText(ToQ(f.PrivacyPass));
    privacyPassAgain_->setText(ToQ(f.PrivacyPassAgain));
    autoCheck_->setChecked(f.AutoCheck);
    autoCheckTime_->setText(ToQ(f.AutoCheckTime));
    userSound_->setChecked(f.UserSound);
    soundFile_->setText(ToQ(f.SoundFile));
    sendOnCheck_->setChecked(f.SendOnCheck);

    lookup_[0]->setChecked(f.LookupFirst);
    lookup_[1]->setChecked(f.LookupLast);
    lookup_[2]->setChecked(f.LookupEmail);

    const TMessageStyle& s = f.Style;
    const std::array<std::pair<bool, std::uint32_t>, 3> colours = {
        {{s.backColour, s.backCol}, {s.mainColour, s.mainCol}, {s.sigColour, s.sigCol}}};
    for (std::size_t k = 0; k < 3; ++k) {
        customColour_[k]->setChecked(colours[k].first);
        customColourButton_[k]->setIcon(Swatch(ColourOf(colours[k].second, palette())));
    }
    const std::array<std::tuple<bool, std::string, int, int>, 2> fonts = {
        {{s.fontBody, s.mainFont, s.mainSize, s.mainStyle},
         {s.fontSig, s.sigFont, s.sigSize, s.sigStyle}}};
    for (std::size_t k = 0; k < 2; ++k) {
        const auto& [use, face, level, style] = fonts[k];
        defaultFont_[k].use->setChecked(use);
        defaultFont_[k].face->setCurrentFont(QFont(ToQ(face)));
        defaultFont_[k].level->setCurrentIndex(std::clamp(level, 0, 6));
        for (std::size_t b = 0; b < 3; ++b) {
            defaultFont_[k].style[b]->setChecked((style & (1 << b)) != 0);
        }
    }
    signature_[static_cast<std::size_t>(f.Signature)]->setChecked(true);
    (f.Format.LastUsed ? formatLast_ : formatAlways_)->setChecked(true);
    format_->setCurrentIndex(f.Format.Format);

    autoScript_->setChecked(f.DragAndDrop.AutoScript);
    (f.DragAndDrop.AutoCopy ? autoCopy_ : autoMove_)->setChecked(true);
    autoIn_->setChecked(f.DragAndDrop.AutoIn);
    autoOut_->setChecked(f.DragAndDrop.AutoOut);
    (f.DragAndDrop.Forward ? forward_ : bounce_)->setChecked(true);

    indexFace_->setCurrentFont(QFont(ToQ(f.IndexFont)));
    indexSize_->setCurrentText(ToQ(f.IndexFontSize));
    messageFace_->setCurrentFont(QFont(ToQ(f.MessageFont)));
    messageSize_->setCurrentText(ToQ(f.MessageFontSize));

    for (QFontComboBox* box :
         {defaultFont_[0].face, defaultFont_[1].face, indexFace_, messageFace_}) {
        shownFaces_[box] = box->currentFont().family();
    }
    shadeCols_->setChecked(f.ShadeCols);
    (f.HorShade ? horShade_ : vertShade_)->setChecked(true);
    horLines_->setText(ToQ(f.HorLines));
    for (std::size_t k = 0; k < 6; ++k) vertColumns_[k]->setChecked(f.VertShade[k]);
    grid_->setChecked(f.Grid);
    loading_ = false;
    UpdateEnabled();
    UpdateSamples();
}

void OptionsWindow::Store() {
    TSettingsFields& f = core_.Fields();
    f.AttachPath = FromQ(attachPath_->text());
    f.SMTP = FromQ(smtp_->text());
    f.FastRead = fastRead_->isChecked();
    if (ras_->currentIndex() >= 0) f.RAS = FromQ(ras_->currentText());
    f.DialUpPass = FromQ(dialUpPass_->text());
    f.AutoDial = autoDial_->isChecked();
    f.AutoHangup = autoHangup_->isChecked();

    f.HideForm = hideForm_->isChecked();
    f.ShowHints = showHints_->isChecked();
    f.Privacy = privacy_->isChecked();
    f.PrivacyPass = FromQ(privacyPass_->text());
    f.PrivacyPassAgain = FromQ(privacyPassAgain_->text());
    f.AutoCheck = autoCheck_->isChecked();
    f.AutoCheckTime = FromQ(autoCheckTime_->text());
    f.UserSound = userSound_->isChecked();
    f.SoundFile = FromQ(soundFile_->text());
    f.SendOnCheck = sendOnCheck_->isChecked();

    f.LookupFirst = lookup_[0]->isChecked();
    f.LookupLast = lookup_[1]->isChecked();
    f.LookupEmail = lookup_[2]->isChecked();

    TMessageStyle& s = f.Style;
    s.backColour = customColour_[0]->isChecked();
    s.mainColour = customColour_[1]->isChecked();
    s.sigColour = customColour_[2]->isChecked();
    const auto styleBits = [](const FontRow& r) {
        int bits = 0;
        for (std::size_t b = 0; b < 3; ++b) {
            if (r.style[b]->isChecked()) bits |= 1 << b;
        }
        return bits;
    };
    s.fontBody = defaultFont_[0].use->isChecked();
    s.mainFont = FromQ(FaceOf(defaultFont_[0].face, s.mainFont));
    s.mainSize = defaultFont_[0].level->currentIndex();
    s.mainStyle = styleBits(defaultFont_[0]);
    s.fontSig = defaultFont_[1].use->isChecked();
    s.sigFont = FromQ(FaceOf(defaultFont_[1].face, s.sigFont));
    s.sigSize = defaultFont_[1].level->currentIndex();
    s.sigStyle = styleBits(defaultFont_[1]);
    for (std::size_t k = 0; k < 3; ++k) {
        if (signature_[k]->isChecked()) f.Signature = static_cast<TSignatureDefault>(k);
    }
    f.Format = {formatLast_->isChecked(), format_->currentIndex()};

    f.DragAndDrop = {autoScript_->isChecked(), autoCopy_->isChecked(), autoIn_->isChecked(),
                     autoOut_->isChecked(), forward_->isChecked()};

    f.IndexFont = FromQ(FaceOf(indexFace_, f.IndexFont));
    f.IndexFontSize = FromQ(indexSize_->currentText());
    f.MessageFont = FromQ(FaceOf(messageFace_, f.MessageFont));
    f.MessageFontSize = FromQ(messageSize_->currentText());

    f.ShadeCols = shadeCols_->isChecked();
    f.HorShade = horShade_->isChecked();
    f.HorLines = FromQ(horLines_->text());
    for (std::size_t k = 0; k < 6; ++k) f.VertShade[k] = vertColumns_[k]->isChecked();
    f.Grid = grid_->isChecked();
}

QString OptionsWindow::FaceOf(QFontComboBox* box, const std::string& stored) const {
    const QString face = box->currentFont().family();
    const auto shown = shownFaces_.find(box);
    return shown != shownFaces_.end() && shown->second == face ? ToQ(stored) : face;
}

void OptionsWindow::UpdateEnabled() {
    autoHangup_->setEnabled(autoDial_->isChecked());
    autoCheckTime_->setEnabled(autoCheck_->isChecked());
    const bool script = autoScript_->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{autoCopy_, autoMove_, runOnLabel_, autoIn_, autoOut_}) {
        w->setEnabled(script);
    }
}

void OptionsWindow::UpdateSamples() {
    if (loading_) return;
    const TSettingsFields& f = core_.Fields();
    const QPalette base = palette();
    const QColor text = ColourOf(f.MessageFontColor, base);
    const QColor back = ColourOf(f.MsgBackColor, base);
    const QColor link = ColourOf(f.MsgLinkColor, base);
    const QColor indexText = ColourOf(f.IndexFontColor, base);
    const QColor indexBack = ColourOf(f.IndexColor, base);

    const auto paint = [](QWidget* w, const QColor& fore, const QColor& backColour) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, backColour);
        p.setColor(QPalette::Base, backColour);
        p.setColor(QPalette::WindowText, fore);
        p.setColor(QPalette::Text, fore);
        w->setPalette(p);
    };
    const auto sizeOf = [](QComboBox* box, int fallback) {
        const std::optional<int> points = WholeNumber(FromQ(box->currentText()));
        return points && *points > 0 && *points < 200 ? *points : fallback;
    };
    QFont messageFont = messageFace_->currentFont();
    messageFont.setPointSize(sizeOf(messageSize_, 10));
    QFont indexFont = indexFace_->currentFont();
    indexFont.setPointSize(sizeOf(indexSize_, 9));

    paint(messageSample_, text, back);
    messageSample_->setFont(messageFont);
    paint(indexSample_, indexText, indexBack);
    indexSample_->setFont(indexFont);

    paint(htmlSample_, text, back);
    htmlSample_->setFont(messageFont);
    htmlSample_->setText(
        QString("<span style=\"color:%1\">%2</span>")
            .arg(text.name(), ToQ(kSampleHtml))
            .replace("<a href=\"#0\">",
                     QString("<a href=\"#0\" style=\"color:%1\">").arg(link.name())));
    for (QListWidget* list : {indexSample1_, indexSample2_}) {
        paint(list, indexText, indexBack);
        list->setFont(indexFont);
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem* item = list->item(row);
            const bool tagged = list == indexSample2_;
            item->setForeground(tagged ? ColourOf(f.TagFont, base) : indexText);
            item->setBackground(tagged ? ColourOf(f.TagColor, base) : indexBack);
        }
    }
    preset_->setCurrentIndex(f.Preset + 1);

    for (std::size_t k = 0; k < 6; ++k) {
        const std::uint32_t colour = k < kShadeSwatches.size() ? kShadeSwatches[k] : f.CustomSwatch;
        swatch_[k]->setIcon(Swatch(ColourOf(colour, base)));
        swatch_[k]->setChecked(f.Swatch == static_cast<int>(k) + 1);
    }
}

void OptionsWindow::accept() {
    Store();
    try {
        if (!core_.BtnOKClick()) return;
    } catch (const std::exception& e) {
        // The settings are in effect; only the file could not be written.
        QMessageBox::warning(this, "Kivo", ToQ(e.what()));
    }
    QDialog::accept();
}

void OptionsWindow::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1 && event->modifiers() == Qt::NoModifier &&
        core_.SwatchKey(text[0].toLatin1(), horLines_->hasFocus())) {
        UpdateSamples();
        return;
    }
    QDialog::keyPressEvent(event);
}

void OptionsWindow::Warning(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, "Kivo", ToQ(text), QMessageBox::Ok, this);
    box.setAccessibleName("Kivo warning");
    box.exec();
}

void OptionsWindow::Error(std::string_view text, TSettingsPage page) {
    ShowPage(page);
    QMessageBox box(QMessageBox::Critical, "Kivo", ToQ(text), QMessageBox::Ok, this);
    box.setAccessibleName("Kivo error");
    box.exec();
    QLineEdit* field = page == TSettingsPage::Misc ? autoCheckTime_ : horLines_;
    field->setFocus();
    field->selectAll();
}

}  // namespace kivo::ui
