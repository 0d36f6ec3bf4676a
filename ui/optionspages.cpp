// The pages of the options window: their controls, captions and layout.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/startupmailer.h"
#include "base/platform.h"
#include "ui/optionswindow.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

QString Plain(const QString& caption) {
    QString name = caption;
    name.remove('&');
    name = name.trimmed();
    if (name.endsWith(':')) name.chop(1);
    return name;
}

template <typename W>
W* Named(W* widget, const QString& name) {
    widget->setAccessibleName(Plain(name));
    return widget;
}

QCheckBox* Check(const QString& text, QWidget* parent) {
    return Named(new QCheckBox(text, parent), text);
}

QRadioButton* Radio(const QString& text, QWidget* parent) {
    return Named(new QRadioButton(text, parent), text);
}

QLineEdit* Edit(const QString& name, QWidget* parent) {
    return Named(new QLineEdit(parent), name);
}

// A caption that moves the focus to its field with its letter.
QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QGroupBox* Group(const QString& title, QWidget* parent) {
    auto* group = new QGroupBox(title.trimmed(), parent);
    group->setAccessibleName(Plain(title));
    return group;
}

QWidget* Page(QVBoxLayout*& layout, QWidget* parent) {
    auto* page = new QWidget(parent);
    layout = new QVBoxLayout(page);
    return page;
}

QLabel* Note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

QWidget* OptionsWindow::BuildSettingsPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    layout->addWidget(
        new QLabel("To make Kivo your default mailer, please\n"
                   "click on the button below. This will allow Kivo to launch\n"
                   "when you click on a mail link in your web browser.",
                   page));
    mailerButton_ = Named(new QPushButton(page), "Make Kivo Default Mailer");
    connect(mailerButton_, &QPushButton::clicked, this, [this] {
        core_.MakeDefaultMailer(mailer_);
        mailerButton_->setText(ToQ(core_.Fields().MailerButton));
    });
    layout->addWidget(mailerButton_, 0, Qt::AlignLeft);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildProgramPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    auto* form = new QGridLayout;
    attachPath_ = Edit("Attachments Folder", page);
    auto* browse = Named(new QToolButton(page), "Choose the attachments folder");
    browse->setText("...");
    connect(browse, &QToolButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, "Attachments Folder", attachPath_->text());
        if (!folder.isEmpty()) attachPath_->setText(folder + "/");
    });
    form->addWidget(Caption("&Attachments Folder:", attachPath_, page), 0, 0);
    form->addWidget(attachPath_, 0, 1);
    form->addWidget(browse, 0, 2);
    smtp_ = Edit("Default SMTP server", page);
    form->addWidget(Caption("Default SM&TP server:", smtp_, page), 1, 0);
    form->addWidget(smtp_, 1, 1, 1, 2);
    form->addWidget(new QLabel("Used if SMTP is not specified in the Accounts settings", page), 2,
                    1, 1, 2);
    layout->addLayout(form);
    fastRead_ = Check("Fast message &reading", page);
    layout->addWidget(fastRead_);

    QGroupBox* dial = Group(" Dial Up ", page);
    auto* dialForm = new QGridLayout(dial);
    ras_ = Named(new QComboBox(dial), "Service");
    dialForm->addWidget(Caption("&Service:", ras_, dial), 0, 0);
    dialForm->addWidget(ras_, 0, 1);
    dialUpPass_ = Edit("Dial-up password", dial);
    dialUpPass_->setEchoMode(QLineEdit::Password);
    dialForm->addWidget(Caption("&Password:", dialUpPass_, dial), 1, 0);
    dialForm->addWidget(dialUpPass_, 1, 1);
    autoDial_ = Check("Automatically dial when needed", dial);
    autoHangup_ = Check("Automatically hang up after finished", dial);
    dialForm->addWidget(autoDial_, 2, 0, 1, 2);
    dialForm->addWidget(autoHangup_, 3, 0, 1, 2);
    dialForm->setColumnStretch(1, 1);
    connect(autoDial_, &QCheckBox::toggled, this, &OptionsWindow::UpdateEnabled);
    layout->addWidget(dial);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildMiscPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    hideForm_ = Check("&Hide application on close", page);
    showHints_ = Check("Show &tool tips", page);
    privacy_ = Check("Show the &privacy sheet", page);
    for (QWidget* w : {hideForm_, showHints_, privacy_}) layout->addWidget(w);
    auto* form = new QGridLayout;
    privacyPass_ = Edit("Privacy sheet password", page);
    privacyPassAgain_ = Edit("Privacy sheet password again", page);
    privacyPass_->setEchoMode(QLineEdit::Password);
    privacyPassAgain_->setEchoMode(QLineEdit::Password);
    form->addWidget(Caption("Privacy sheet pa&ssword:", privacyPass_, page), 0, 0);
    form->addWidget(privacyPass_, 0, 1);
    form->addWidget(Caption("...&and again:", privacyPassAgain_, page), 1, 0);
    form->addWidget(privacyPassAgain_, 1, 1);
    layout->addLayout(form);

    auto* every = new QHBoxLayout;
    autoCheck_ = Check("&Check for new mail every", page);
    autoCheckTime_ = Edit("Minutes between checks", page);
    autoCheckTime_->setMaximumWidth(60);
    connect(autoCheck_, &QCheckBox::toggled, this, &OptionsWindow::UpdateEnabled);
    every->addWidget(autoCheck_);
    every->addWidget(autoCheckTime_);
    every->addWidget(new QLabel("minutes", page));
    every->addStretch();
    layout->addLayout(every);

    auto* sound = new QHBoxLayout;
    userSound_ = Check("&Use custom sound alert", page);
    soundFile_ = Edit("Sound file", page);
    auto* choose = Named(new QPushButton("Ch&oose...", page), "Choose...");
    auto* play = Named(new QPushButton("P&lay", page), "Play");
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString file = ChooseSoundFile();
        if (!file.isEmpty()) soundFile_->setText(file);
    });
    connect(play, &QPushButton::clicked, this, [this] {
        const std::string file = FromQ(soundFile_->text());
        if (!file.empty() && std::filesystem::exists(file)) platform_.PlaySound(file);
    });
    sound->addWidget(userSound_);
    sound->addWidget(soundFile_, 1);
    sound->addWidget(choose);
    sound->addWidget(play);
    layout->addLayout(sound);
    layout->addWidget(Note("Enable or disable sound alerts in Accounts Setup.", page));
    sendOnCheck_ = Check("Send queued &messages when checking mail", page);
    layout->addWidget(sendOnCheck_);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildLookupPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    layout->addWidget(
        Note("A recipient typed without \"@\" is looked up in the address book: "
             "first by first name or nickname, then by last name, then by the "
             "part of the address before \"@\". The first of these that finds "
             "anything gives the choices.",
             page));
    const std::array<std::pair<const char*, const char*>, 3> boxes = {{
        {"Find a match for first name in address book",
         "\"john\" finds the contacts whose first name or nickname is John."},
        {"Find a match for last name", "\"smith\" finds the contacts whose last name is Smith."},
        {"Find a matching e-mail address",
         "\"jsmith\" finds jsmith@example.com; \"jo\" also finds the first names that begin "
         "with Jo."},
    }};
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        lookup_[k] = Check(boxes[k].first, page);
        layout->addWidget(lookup_[k]);
        auto* note = Note(boxes[k].second, page);
        note->setContentsMargins(24, 0, 0, 8);
        layout->addWidget(note);
    }
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildDefaultsPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    TSettingsFields& f = core_.Fields();
    QGroupBox* group = Group(" When sending a message,  use these settings: ", page);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Custom:", group), 0, 0);
    const std::array<std::pair<const char*, std::uint32_t*>, 3> colours = {{
        {"Background colour:", &f.Style.backCol},
        {"Main font colour:", &f.Style.mainCol},
        {"Signature font colour:", &f.Style.sigCol},
    }};
    for (std::size_t k = 0; k < colours.size(); ++k) {
        const int row = static_cast<int>(k) + 1;
        customColour_[k] = Check(colours[k].first, group);
        customColourButton_[k] =
            ColourField(Plain(colours[k].first) + " button", *colours[k].second, group);
        grid->addWidget(customColour_[k], row, 0);
        grid->addWidget(customColourButton_[k], row, 1);
    }
    const std::array<const char*, 2> fontCaptions = {"Use the following font for the message body:",
                                                     "Use the following font for the signature:"};
    const std::array<const char*, 2> prefixes = {"Body", "Signature"};
    int row = 4;
    for (std::size_t k = 0; k < 2; ++k) {
        FontRow& r = defaultFont_[k];
        const QString prefix = prefixes[k];
        r.use = Check(fontCaptions[k], group);
        grid->addWidget(r.use, row++, 0, 1, 3);
        auto* line = new QHBoxLayout;
        r.face = Named(new QFontComboBox(group), prefix + " font");
        r.level = Named(new QComboBox(group), prefix + " font size");
        r.level->addItems(
            {"Very small", "Small", "Medium", "Large", "Larger", "Very large", "Largest"});
        line->addSpacing(20);
        line->addWidget(r.face, 1);
        line->addWidget(r.level);
        const std::array<const char*, 3> styles = {"B", "I", "U"};
        const std::array<const char*, 3> names = {" bold", " italic", " underline"};
        for (std::size_t s = 0; s < 3; ++s) {
            r.style[s] = Named(new QToolButton(group), prefix + names[s]);
            r.style[s]->setText(styles[s]);
            r.style[s]->setCheckable(true);
            QFont font = r.style[s]->font();
            font.setBold(s == 0);
            font.setItalic(s == 1);
            font.setUnderline(s == 2);
            r.style[s]->setFont(font);
            line->addWidget(r.style[s]);
        }
        grid->addLayout(line, row++, 0, 1, 3);
    }
    grid->setColumnStretch(2, 1);
    layout->addWidget(group);

    auto* choices = new QHBoxLayout;
    QGroupBox* sig = Group("Signature:", page);
    auto* sigLayout = new QVBoxLayout(sig);
    const std::array<const char*, 3> sigTexts = {"Always on", "Always off", "Last used"};
    for (std::size_t k = 0; k < 3; ++k) {
        signature_[k] = Radio(sigTexts[k], sig);
        sigLayout->addWidget(signature_[k]);
    }
    QGroupBox* format = Group("Default message format:", page);
    auto* formatLayout = new QGridLayout(format);
    formatAlways_ = Radio("Always:", format);
    format_ = Named(new QComboBox(format), "Message format");
    format_->addItems({"Just Plain", "Plain and Styled", "Just Styled"});
    formatLast_ = Radio("Last used", format);
    formatLayout->addWidget(formatAlways_, 0, 0);
    formatLayout->addWidget(format_, 0, 1);
    formatLayout->addWidget(formatLast_, 1, 0);
    choices->addWidget(sig);
    choices->addWidget(format, 1);
    layout->addLayout(choices);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildDragAndDropPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    QGroupBox* contact = Group(" Dropping a contact's name on mailboxes will... ", page);
    auto* c = new QVBoxLayout(contact);
    autoScript_ = Check("Auto create a smart script that will", contact);
    autoCopy_ = Radio("Copy mail from that contact to new mailbox", contact);
    autoMove_ = Radio("Move mail from that contact to new mailbox", contact);
    runOnLabel_ = new QLabel("Also, make sure the newly created script is run on", contact);
    autoIn_ = Check("All incoming mail", contact);
    autoOut_ = Check("All outgoing mail", contact);
    c->addWidget(autoScript_);
    // The four choices sit under the box that enables them.
    auto* choices = new QVBoxLayout;
    choices->setContentsMargins(20, 0, 0, 0);
    for (QWidget* w :
         std::initializer_list<QWidget*>{autoCopy_, autoMove_, runOnLabel_, autoIn_, autoOut_}) {
        choices->addWidget(w);
    }
    c->addLayout(choices);
    connect(autoScript_, &QCheckBox::toggled, this, &OptionsWindow::UpdateEnabled);
    layout->addWidget(contact);
    QGroupBox* message = Group(" Dropping a message on your contact list will... ", page);
    auto* m = new QVBoxLayout(message);
    forward_ = Radio("Forward the message to the recipient", message);
    bounce_ = Radio("Bounce the message to the recipient", message);
    m->addWidget(forward_);
    m->addWidget(bounce_);
    layout->addWidget(message);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildAppearancePage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    layout->addWidget(new QLabel(ToQ(kNoParametersText), page));
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildFontsPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    auto fontGroup = [&](const QString& title, const QString& what, QFontComboBox*& face,
                         QComboBox*& size, QLabel*& sample, TColourSlot slot) {
        QGroupBox* group = Group(title, page);
        auto* grid = new QGridLayout(group);
        face = Named(new QFontComboBox(group), what + " face");
        size = Named(new QComboBox(group), what + " size");
        size->setEditable(true);
        for (int points : kFontSizes) size->addItem(QString::number(points));
        sample = new QLabel("AaBbYyZz", group);
        sample->setAccessibleName(what + " sample");
        sample->setFrameShape(QFrame::StyledPanel);
        sample->setAlignment(Qt::AlignCenter);
        sample->setMinimumHeight(48);
        sample->setAutoFillBackground(true);
        grid->addWidget(Caption("&Face", face, group), 0, 0);
        grid->addWidget(face, 1, 0);
        grid->addWidget(Caption("&Size", size, group), 0, 1);
        grid->addWidget(size, 1, 1);
        grid->addWidget(sample, 2, 0, 1, 2);
        grid->addWidget(SlotButton("Colour...", slot, group), 3, 1);
        grid->setColumnStretch(0, 1);
        connect(face, &QFontComboBox::currentFontChanged, this, &OptionsWindow::UpdateSamples);
        connect(size, &QComboBox::currentTextChanged, this, &OptionsWindow::UpdateSamples);
        layout->addWidget(group);
    };
    fontGroup("Index list font ", "Index list font", indexFace_, indexSize_, indexSample_,
              TColourSlot::IndexText);
    fontGroup(" E-mail message font ", "Message font", messageFace_, messageSize_, messageSample_,
              TColourSlot::MessageText);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildColoursPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    auto* presets = new QHBoxLayout;
    preset_ = Named(new QComboBox(page), "Presets");
    preset_->addItem(ToQ(kNoPresetText));
    for (const TColourPreset& p : kColourPresets) preset_->addItem(ToQ(p.name));
    connect(preset_, &QComboBox::activated, this, [this](int index) {
        if (loading_) return;
        core_.SelectPreset(index - 1);
        UpdateSamples();
    });
    presets->addWidget(Caption("Presets:", preset_, page));
    presets->addWidget(preset_, 1);
    layout->addLayout(presets);

    QGroupBox* message = Group("Message Colours: ", page);
    auto* m = new QHBoxLayout(message);
    htmlSample_ = new QLabel(message);
    htmlSample_->setAccessibleName("Message sample");
    htmlSample_->setTextFormat(Qt::RichText);
    htmlSample_->setWordWrap(true);
    htmlSample_->setAutoFillBackground(true);
    htmlSample_->setFrameShape(QFrame::StyledPanel);
    htmlSample_->setMargin(6);
    htmlSample_->setMinimumHeight(70);
    m->addWidget(htmlSample_, 1);
    auto* mButtons = new QVBoxLayout;
    mButtons->addWidget(SlotButton("&Text...", TColourSlot::MessageText, message));
    mButtons->addWidget(SlotButton("&Back...", TColourSlot::MessageBack, message));
    mButtons->addWidget(SlotButton("&Links...", TColourSlot::MessageLink, message));
    m->addLayout(mButtons);
    layout->addWidget(message);

    QGroupBox* index = Group("Index Colours: ", page);
    auto* i = new QGridLayout(index);
    auto sampleList = [&](const QString& name) {
        auto* list = new QListWidget(index);
        list->setAccessibleName(name);
        list->setFocusPolicy(Qt::NoFocus);
        list->setSelectionMode(QAbstractItemView::NoSelection);
        list->setMaximumHeight(64);
        list->addItems({"Budget for March", "Tagged message", "Lunch on Friday"});
        return list;
    };
    indexSample1_ = sampleList("Index sample");
    indexSample2_ = sampleList("Tagged sample");
    i->addWidget(indexSample1_, 0, 0);
    i->addWidget(indexSample2_, 1, 0);
    auto* b1 = new QVBoxLayout;
    b1->addWidget(SlotButton("&Index Text...", TColourSlot::IndexText, index));
    b1->addWidget(SlotButton("I&ndex Back...", TColourSlot::IndexBack, index));
    auto* b2 = new QVBoxLayout;
    b2->addWidget(SlotButton("T&ag Text...", TColourSlot::TagText, index));
    b2->addWidget(SlotButton("Ta&g Back...", TColourSlot::TagBack, index));
    i->addLayout(b1, 0, 1);
    i->addLayout(b2, 1, 1);
    i->setColumnStretch(0, 1);
    layout->addWidget(index);
    layout->addStretch();
    return page;
}

QWidget* OptionsWindow::BuildShadingPage() {
    QVBoxLayout* layout;
    QWidget* page = Page(layout, this);
    shadeCols_ = Check("&Shade index columns", page);
    layout->addWidget(shadeCols_);
    auto* colours = new QHBoxLayout;
    colours->addWidget(new QLabel("Colour:", page));
    for (int k = 0; k < 6; ++k) {
        auto* b = Named(new QToolButton(page), QString("Shade colour %1").arg(k + 1));
        b->setText(QString::number(k + 1));
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setMinimumSize(32, 28);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        connect(b, &QToolButton::clicked, this, [this, k] {
            core_.SelectSwatch(k + 1);
            UpdateSamples();
        });
        swatch_[static_cast<std::size_t>(k)] = b;
        colours->addWidget(b);
    }
    auto* custom = Named(new QPushButton("&Custom", page), "Custom");
    connect(custom, &QPushButton::clicked, this, [this] {
        if (auto c = ChooseColour(ColourOf(core_.Fields().CustomSwatch, palette()))) {
            core_.CustomColour(ColourValue(*c));
            UpdateSamples();
        }
    });
    colours->addWidget(custom);
    colours->addStretch();
    layout->addLayout(colours);

    horShade_ = Radio("Shade &horizontally", page);
    auto* every = new QHBoxLayout;
    horLines_ = Edit("Messages per band", page);
    horLines_->setMaximumWidth(60);
    every->addSpacing(20);
    every->addWidget(Caption("Every", horLines_, page));
    every->addWidget(horLines_);
    every->addWidget(new QLabel("messages", page));
    every->addStretch();
    vertShade_ = Radio("Shade &vertically, following columns:", page);
    layout->addWidget(horShade_);
    layout->addLayout(every);
    layout->addWidget(vertShade_);
    auto* columns = new QGridLayout;
    const std::array<const char*, 6> names = {"Subject", "From", "Date", "Size", "To", "Priority"};
    for (std::size_t k = 0; k < names.size(); ++k) {
        vertColumns_[k] = Check(names[k], page);
        columns->addWidget(vertColumns_[k], static_cast<int>(k) / 3, static_cast<int>(k) % 3);
    }
    columns->setContentsMargins(20, 0, 0, 0);
    layout->addLayout(columns);
    grid_ = Check("Show index &grid", page);
    layout->addWidget(grid_);
    layout->addStretch();
    return page;
}

}  // namespace kivo::ui
