#include "ui/composerwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <fstream>

#include "app/KivoMain.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "compose/composerplace.h"
#include "compose/tip.h"
#include "ui/actions.h"
#include "ui/addressdrop.h"
#include "ui/chooseaddress.h"
#include "ui/qtext.h"
#include "ui/qtplatform.h"
#include "ui/windowplace.h"

namespace kivo::ui {

namespace {

constexpr const char* kToPrompt = "[ primary recipient ]";
constexpr const char* kSubjectPrompt = "[ subject line ]";
constexpr const char* kCcPrompt = "[ secondary recipient ]";
constexpr const char* kBccPrompt = "[ anonymous recipient ]";
constexpr const char* kSigPrompt = "[ empty signature ]";
constexpr const char* kPasteTooLargeTip =
    "Too much text for a message body.\nSave it as a file and attach that instead. (";

TComposerPaths PathsOf(const ProgramFolder& folder) {
    return {folder.SettingsFile(), folder.AccountsFile(), folder.AddressFile(), folder.MailFolder(),
            folder.SignatureFolder()};
}

QString Joined(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& line : lines) out << ToQ(line);
    return out.join('\n');
}

QPlainTextEdit* AddressField(const char* name, const char* prompt, const char* accessible) {
    auto* field = new QPlainTextEdit;
    field->setObjectName(name);
    field->setAccessibleName(accessible);
    field->setPlaceholderText(prompt);
    field->setTabChangesFocus(true);
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return field;
}

}  // namespace

ComposerWindow::ComposerWindow(TFrmMain& main, QtPlatform& platform, TComposerMode mode)
    : main_(main),
      platform_(platform),
      smtp_(platform),
      sender_(smtp_),
      scriptHost_(main.Transfer(), platform, main.Folder().AccountsFile()),
      filters_(ScriptPathsOf(main.Folder()), platform, scriptHost_),
      outbox_(main.Folder().MailFolder(), main.Folder().AccountsFile(), sender_, filters_),
      chooser_(std::make_unique<QtChooseAddress>(this)),
      composer_(PathsOf(main.Folder()), *this, outbox_, *chooser_) {
    setObjectName("composer");
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAcceptDrops(true);
    composer_.SetMode(mode);
    tipTimer_.setSingleShot(true);
    connect(&tipTimer_, &QTimer::timeout, this, [this] { composer_.TipExpired(); });

    BuildWidgets();
    editor_ = std::make_unique<RichEditor>(*body_);
    const TProgramSettings& p = main_.Settings().Program;
    messageFontSize_ = p.MessageFontSize > 0 ? p.MessageFontSize : kMessageFontSizeDefault;
    TCharFormat messageFont;
    messageFont.font = p.MessageFont;
    messageFont.size = messageFontSize_;
    messageFont.colour = p.MessageFontColor;
    style_ = std::make_unique<TComposerStyle>(composer_, *editor_, messageFont, p.MsgBackColor);
    styledMail_ =
        std::make_unique<TStyledMail>(*editor_, style_->State(), messageFontSize_, TempFolder());
    composer_.SetStyledBody(styledMail_.get());
    BuildMailActions();
    BuildStyleActions();
    BuildMenus();
    BuildToolbars();
    BuildStyleToolbar();
    ApplyProgramLook();

    const IniFile settings(main_.Folder().SettingsFile());
    style_->ApplyDefaults(TMessageStyle::Read(settings));
    mailBar_->setVisible(settings.ReadBool("Position", "Toolbar1", true));
    styleBar_->setVisible(settings.ReadBool("Position", "Toolbar2", true));
    composer_.FirstActivation();
    if (composer_.Styled()) styleBar_->setVisible(true);
    ShowCore();
}

ComposerWindow::~ComposerWindow() = default;

QAction* ComposerWindow::Action(const QString& name) const {
    const auto found = actions_.find(name);
    return found == actions_.end() ? nullptr : found->second;
}

QAction* ComposerWindow::AddAction(const QString& name, const QString& text,
                                   const QKeySequence& key, const QString& hint) {
    return AddNamedAction(this, actions_, name, text, key, hint);
}

void ComposerWindow::BuildWidgets() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* header = new QGridLayout;
    header->setHorizontalSpacing(6);
    header->setVerticalSpacing(3);
    to_ = AddressField("toField", kToPrompt, "To");
    cc_ = AddressField("ccField", kCcPrompt, "Cc");
    bcc_ = AddressField("bccField", kBccPrompt, "Bcc");
    subject_ = new QLineEdit;
    subject_->setObjectName("subjectField");
    subject_->setAccessibleName("Subject");
    subject_->setPlaceholderText(kSubjectPrompt);
    const std::pair<QPlainTextEdit*, const char*> rows[] = {
        {to_, "&To:"}, {cc_, "&Cc:"}, {bcc_, "&Bcc:"}};
    int row = 0;
    for (const auto& [field, label] : rows) {
        auto* button = new QPushButton(label);
        button->setObjectName(field->objectName() + "Button");
        button->setAccessibleName(field->accessibleName() + " addresses");
        button->setToolTip("Focus the field; the mini address list fills it");
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, field] {
            field->setFocus();
            if (LinkAddressList) LinkAddressList(this);
        });
        header->addWidget(button, row, 0);
        header->addWidget(field, row, 1, 1, 3);
        field->installEventFilter(this);
        field->viewport()->installEventFilter(this);
        AcceptAddressDrops(field);
        connect(field, &QPlainTextEdit::textChanged, this,
                [this, field] { FitAddressField(field); });
        FitAddressField(field);
        ++row;
    }
    auto* subjectLabel = new QLabel("&Subject:");
    subjectLabel->setBuddy(subject_);
    subjectLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    header->addWidget(subjectLabel, row, 0);
    header->addWidget(subject_, row, 1);
    // The account decides the sender: it sits in the header, beside the subject.
    auto* accountLabel = new QLabel("Acc&ount:");
    accounts_ = new QComboBox;
    accounts_->setObjectName("accountList");
    accounts_->setAccessibleName("Account");
    accounts_->setToolTip("The account the message is sent from");
    accounts_->setMinimumContentsLength(10);
    accountLabel->setBuddy(accounts_);
    connect(accounts_, &QComboBox::activated, this, [this](int index) {
        composer_.SaveSignature();
        composer_.SetAccount(FromQ(accounts_->itemText(index)));
        ShowSignature();
    });
    header->addWidget(accountLabel, row, 2);
    header->addWidget(accounts_, row, 3);
    header->setColumnStretch(1, 1);
    subject_->installEventFilter(this);
    connect(subject_, &QLineEdit::textEdited, this, [this](const QString& text) {
        composer_.SetSubject(FromQ(text));
        UpdateCaption();
    });
    layout->addLayout(header);

    body_ = new BodyEdit;
    body_->setObjectName("body");
    body_->setAccessibleName("Message body");
    body_->installEventFilter(this);
    body_->FilesDropped = [this](const QStringList& files) { AttachFiles(files); };
    body_->TooLarge = [this](qsizetype bytes) {
        ShowTip(kPasteTooLargeTip + std::to_string(bytes >> 20) + " MB)");
    };
    connect(body_, &QTextEdit::textChanged, this, [this] {
        if (!filling_) composer_.SetCloseQuietly(false);
    });
    connect(body_, &QTextEdit::cursorPositionChanged, this, [this] {
        style_->SelectionChanged();
        ShowStyleButtons();
    });

    sigBox_ = new QWidget;
    auto* sigLayout = new QVBoxLayout(sigBox_);
    sigLayout->setContentsMargins(0, 0, 0, 0);
    sigLayout->setSpacing(2);
    auto* sigBar = new QHBoxLayout;
    sigList_ = new QComboBox;
    sigList_->setObjectName("signatureList");
    sigList_->setAccessibleName("Signature");
    sigList_->setEditable(true);
    sigList_->setInsertPolicy(QComboBox::NoInsert);
    sigList_->setMinimumContentsLength(14);
    connect(sigList_, &QComboBox::activated, this, [this](int index) {
        composer_.SaveSignature();
        composer_.SelectSignature(FromQ(sigList_->itemText(index)));
        ShowSignature();
    });
    sigBar->addWidget(new QLabel("Signature:"));
    sigBar->addWidget(sigList_);
    const std::tuple<const char*, const char*, const char*> sigButtons[] = {
        {"<", "previousSignature", "Previous signature"},
        {">", "nextSignature", "Next signature"},
        {"Save Sig", "saveSignature", "Save the signature under the name shown"},
        {"Organize", "organizeSignatures", "Open the signatures folder"}};
    for (const auto& [text, name, hint] : sigButtons) {
        auto* button = new QPushButton(text);
        button->setObjectName(name);
        button->setAccessibleName(hint);
        button->setToolTip(hint);
        button->setAutoDefault(false);
        sigBar->addWidget(button);
        const std::string which = name;
        connect(button, &QPushButton::clicked, this, [this, which] {
            if (which == "previousSignature") composer_.PreviousSignature();
            if (which == "nextSignature") composer_.NextSignature();
            if (which == "saveSignature") composer_.SaveSig(FromQ(sigList_->currentText()));
            if (which == "organizeSignatures") {
                std::filesystem::create_directories(main_.Folder().SignatureFolder());
                platform_.ShellOpen(main_.Folder().SignatureFolder().string());
            }
            ShowSignature();
        });
    }
    sigBar->addStretch(1);
    sigLayout->addLayout(sigBar);
    sigPane_ = new QPlainTextEdit;
    sigPane_->setObjectName("signaturePane");
    sigPane_->setAccessibleName("Signature text");
    sigPane_->setPlaceholderText(kSigPrompt);
    sigPane_->installEventFilter(this);
    sigPane_->viewport()->installEventFilter(this);
    connect(sigPane_, &QPlainTextEdit::textChanged, this, [this] {
        if (!filling_) composer_.SetCloseQuietly(false);
        FitSignaturePane();
    });
    sigLayout->addWidget(sigPane_);

    splitter_ = new QSplitter(Qt::Vertical);
    splitter_->setObjectName("bodySplitter");
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(body_);
    splitter_->addWidget(sigBox_);
    splitter_->setStretchFactor(0, 1);
    layout->addWidget(splitter_, 1);

    attachList_ = new QListWidget;
    attachList_->setObjectName("attachmentList");
    attachList_->setAccessibleName("Attachments");
    attachList_->setFlow(QListView::LeftToRight);
    attachList_->setWrapping(true);
    attachList_->setMaximumHeight(44);
    attachList_->hide();
    layout->addWidget(attachList_);
    setCentralWidget(central);
}

void ComposerWindow::BuildMailActions() {
    QAction* send =
        AddAction("send", "&Send message", QKeySequence("Ctrl+E"), "Send message now (CTRL+E)");
    // Ctrl+Enter sends too, as in other mail programs; the menu shows Ctrl+E, the first.
    send->setShortcuts({QKeySequence("Ctrl+E"), QKeySequence(Qt::CTRL | Qt::Key_Return),
                        QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(send, &QAction::triggered, this, &ComposerWindow::SendMessage);
    connect(AddAction("queue", "&Queue message", QKeySequence("Ctrl+Q"),
                      "Queue message in the Out mailbox (CTRL+Q)"),
            &QAction::triggered, this, &ComposerWindow::QueueMessage);
    connect(AddAction("attach", "&Attach file", QKeySequence("Ctrl+T"), "Attach file (CTRL+T)"),
            &QAction::triggered, this, [this] {
                const QString file =
                    QFileDialog::getOpenFileName(this, "Attach File", {}, "All files (*)");
                if (!file.isEmpty()) AttachFiles({file});
            });
    QAction* sig =
        AddAction("signature", "&Use signature", QKeySequence("Ctrl+G"), "Use signature (CTRL+G)");
    sig->setCheckable(true);
    connect(sig, &QAction::toggled, this, [this](bool on) {
        composer_.SetSignatureOn(on);
        sigPane_->setEnabled(on);
    });
    QAction* plain = AddAction("plain", "&Plain", {}, "Send a plain text body");
    QAction* styled = AddAction("styled", "St&yled", {}, "Send a styled (HTML) body");
    plain->setCheckable(true);
    styled->setCheckable(true);
    connect(plain, &QAction::triggered, this, [this](bool on) {
        composer_.SetFormat(on, composer_.Styled() || !on);
        ShowFormat();
    });
    connect(styled, &QAction::triggered, this, [this](bool on) {
        composer_.SetFormat(composer_.Plain() || !on, on);
        ShowFormat();
    });

    connect(AddAction("open", "&Open...", QKeySequence("Ctrl+O")), &QAction::triggered, this,
            &ComposerWindow::OpenTextFile);
    connect(AddAction("save", "&Save...", QKeySequence("Ctrl+S")), &QAction::triggered, this,
            &ComposerWindow::SaveTextFile);
    connect(AddAction("saveStyle", "Save as &Default Message Style"), &QAction::triggered, this,
            &ComposerWindow::SaveDefaultStyle);
    QAction* closeWindow = AddAction("close", "&Close");
    // Esc closes as the close button does: typed text is guarded by the same question.
    closeWindow->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    connect(closeWindow, &QAction::triggered, this, [this] { close(); });

    const std::tuple<const char*, const char*, QKeySequence, const char*> edits[] = {
        {"undo", "&Undo", QKeySequence::Undo, "undo"},
        {"cut", "Cu&t", QKeySequence::Cut, "cut"},
        {"copy", "&Copy", QKeySequence::Copy, "copy"},
        {"paste", "&Paste", QKeySequence::Paste, "paste"},
        {"delete", "&Delete", {}, "delete"},
        {"selectAll", "Select &All", QKeySequence::SelectAll, "selectAll"}};
    for (const auto& [name, text, key, slot] : edits) {
        QAction* action = AddAction(name, text, key);
        // The fields handle their own keys; the menu item acts on the field with the focus.
        action->setShortcutContext(Qt::WidgetShortcut);
        const char* which = slot;
        connect(action, &QAction::triggered, this, [this, which] { EditCommand(which); });
    }

    QAction* sigPane = AddAction("showSignaturePane", "Show &Signature Pane");
    sigPane->setCheckable(true);
    sigPane->setChecked(true);
    connect(sigPane, &QAction::toggled, this, [this](bool on) {
        if (!on) sigPaneHeight_ = sigBox_->height();
        sigBox_->setVisible(on);
        if (on && sigPaneHeight_ > 0)
            splitter_->setSizes({splitter_->height() - sigPaneHeight_, sigPaneHeight_});
    });
    QAction* mailBar = AddAction("showMailToolbar", "Show &Mail Toolbar");
    QAction* styleBar = AddAction("showStyleToolbar", "Show &Style Toolbar");
    mailBar->setCheckable(true);
    styleBar->setCheckable(true);

    auto* priorities = new QActionGroup(this);
    const std::pair<const char*, TPriority> levels[] = {
        {"&Low", ptLow}, {"&Normal", ptNormal}, {"&High", ptHigh}};
    for (const auto& [text, priority] : levels) {
        QAction* action = AddAction(QString("priority") + QString(text).remove('&'), text);
        action->setCheckable(true);
        action->setChecked(priority == ptNormal);
        priorities->addAction(action);
        const TPriority p = priority;
        connect(action, &QAction::triggered, this, [this, p] { composer_.SetPriority(p); });
    }
}

void ComposerWindow::BuildMenus() {
    auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
        AddToMenu(menu, actions_, names);
    };
    QMenuBar* bar = menuBar();
    bar->setAccessibleName("Menu");
    add(bar->addMenu("&File"), {"open", "save", "", "saveStyle", "", "close"});
    add(bar->addMenu("&Edit"), {"undo", "", "cut", "copy", "paste", "delete", "", "selectAll"});
    add(bar->addMenu("&View"), {"showSignaturePane", "showMailToolbar", "showStyleToolbar"});
    QMenu* message = bar->addMenu("&Message");
    add(message, {"send", "queue", "", "attach", "signature", "", "plain", "styled"});
    add(message->addMenu("&Priority"), {"priorityLow", "priorityNormal", "priorityHigh"});
    add(bar->addMenu("F&ormat"),
        {"bold", "italic", "underline", "", "alignLeft", "alignCenter", "alignRight", "", "indent",
         "unindent", "bullets", "", "fontColour", "backgroundColour", "", "clearFormatting"});
}

void ComposerWindow::BuildToolbars() {
    mailBar_ = addToolBar("Mail");
    mailBar_->setObjectName("mailToolbar");
    mailBar_->setAccessibleName("Mail toolbar");
    mailBar_->setMovable(false);
    mailBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QStyle* style = QApplication::style();
    const std::tuple<const char*, const char*, QStyle::StandardPixmap> buttons[] = {
        {"send", "Send", QStyle::SP_ArrowForward},
        {"queue", "Queue", QStyle::SP_DialogSaveButton},
        {"attach", "Attach", QStyle::SP_FileLinkIcon},
        {"signature", "Sig", QStyle::SP_FileDialogContentsView},
        {"plain", "Plain", QStyle::SP_FileIcon},
        {"styled", "Styled", QStyle::SP_FileDialogDetailedView}};
    for (const auto& [name, label, pixmap] : buttons) {
        QAction* action = Action(name);
        action->setIcon(style->standardIcon(pixmap));
        action->setIconText(label);
        mailBar_->addAction(action);
        if (QWidget* w = mailBar_->widgetForAction(action)) {
            w->setObjectName(QString(name) + "Button");
            w->setAccessibleName(action->toolTip());
        }
    }
    QAction* mailShown = Action("showMailToolbar");
    connect(mailShown, &QAction::toggled, mailBar_, &QToolBar::setVisible);
    connect(mailBar_, &QToolBar::visibilityChanged, mailShown, &QAction::setChecked);
}

void ComposerWindow::ApplyProgramLook() {
    const TProgramSettings& p = main_.Settings().Program;
    const QPalette palette = QApplication::palette();
    QFont font(ToQ(p.MessageFont), messageFontSize_);
    if (!QFontInfo(font).exactMatch() && QFontInfo(font).family() != font.family()) {
        font.setFamily(QApplication::font().family());
    }
    TCharFormat message;
    message.font = FromQ(font.family());
    message.size = messageFontSize_;
    message.colour = p.MessageFontColor;
    editor_->SetDefaultFormat(message);
    editor_->SetBackground(p.MsgBackColor);
    sigPane_->setFont(font);
    QPalette fields = to_->palette();
    fields.setColor(QPalette::Base, ColourOf(p.MsgBackColor, palette));
    fields.setColor(QPalette::Text, ColourOf(p.MessageFontColor, palette));
    for (QWidget* w : std::initializer_list<QWidget*>{to_, cc_, bcc_, subject_, sigPane_})
        w->setPalette(fields);
}

// --- the core's state on the screen ---

void ComposerWindow::ShowCore() {
    filling_ = true;
    const auto field = [](const TComposerField& f) { return f.prompt ? QString() : ToQ(f.text); };
    to_->setPlainText(field(composer_.To()));
    cc_->setPlainText(field(composer_.Cc()));
    bcc_->setPlainText(field(composer_.Bcc()));
    subject_->setText(field(composer_.Subject()));
    // The body keeps the message font: its text goes in as typed text would.
    QTextCursor cursor(body_->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(Joined(composer_.Body()));
    accounts_->clear();
    for (const std::string& account : composer_.Accounts()) accounts_->addItem(ToQ(account));
    accounts_->setCurrentText(ToQ(composer_.Account()));
    Action("signature")->setChecked(composer_.SignatureOn());
    sigPane_->setEnabled(composer_.SignatureOn());
    filling_ = false;
    ShowSignature();
    ShowAttachments();
    ShowFormat();
    UpdateCaption();
}

void ComposerWindow::ShowSignature() {
    filling_ = true;
    sigList_->clear();
    for (const std::string& name : composer_.SignatureNames()) sigList_->addItem(ToQ(name));
    const int at = sigList_->findText(ToQ(composer_.SignatureName()));
    sigList_->setCurrentIndex(at);
    if (at < 0) sigList_->setEditText({});
    sigPane_->setPlainText(Joined(composer_.SignatureLines()));
    sigPane_->moveCursor(QTextCursor::Start);
    filling_ = false;
}

void ComposerWindow::FitSignaturePane() {
    // As tall as its lines and one more, six lines at most; the body takes the rest.
    const int lines = std::min(sigPane_->document()->blockCount() + 1, 6);
    const int pane = lines * sigPane_->fontMetrics().lineSpacing() + 2 * sigPane_->frameWidth() + 8;
    sigPane_->setFixedHeight(pane);
    const int box = sigBox_->sizeHint().height();
    const int total = splitter_->height() > 0 ? splitter_->height() : height();
    splitter_->setSizes({std::max(40, total - box), box});
}

void ComposerWindow::ShowAttachments() {
    attachList_->clear();
    QFileIconProvider icons;
    for (const std::string& path : composer_.Attachments()) {
        const QFileInfo info(ToQ(path));
        auto* item = new QListWidgetItem(info.fileName(), attachList_);
        item->setToolTip(ToQ(path));
        item->setIcon(info.exists()
                          ? icons.icon(info)
                          : QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    }
    attachList_->setVisible(!composer_.Attachments().empty());
}

void ComposerWindow::ShowFormat() {
    Action("plain")->setChecked(composer_.Plain());
    Action("styled")->setChecked(composer_.Styled());
    styleBar_->setVisible(composer_.Styled() || Action("showStyleToolbar")->isChecked());
}

void ComposerWindow::UpdateCaption() {
    setWindowTitle(ToQ(composer_.Caption()));
}

void ComposerWindow::Open() {
    ShowCore();
    IniFile settings(main_.Folder().SettingsFile());
    QRect screen(0, 0, 1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->availableGeometry();
    SeedOtherPlace(settings, screen);
    const TComposerRect place = PlaceComposer(settings, screen.width(), screen.height());
    try {
        settings.UpdateFile();
    } catch (const std::exception& e) {
        main_.Transfer().ErrorLevel(2, std::string("Cannot save the settings: ") + e.what());
    }
    resize(place.width, place.height);
    move(screen.left() + place.left, screen.top() + place.top);
    show();
    FitSignaturePane();
    raise();
    activateWindow();
    FocusFirst();
    composer_.SetCloseQuietly(true);
}

void ComposerWindow::FocusFirst() {
    const auto focusBody = [this] {
        body_->setFocus();
        body_->moveCursor(composer_.Mode() == cmReply ? QTextCursor::Start : QTextCursor::End);
    };
    const bool toEmpty = composer_.To().prompt;
    switch (composer_.Mode()) {
        case cmReply:
            focusBody();
            break;
        case cmBounce:
            to_->setFocus();
            break;
        case cmForward:
            if (toEmpty) {
                to_->setFocus();
            } else {
                focusBody();
            }
            break;
        case cmNew:
        case cmScript:
            if (toEmpty) {
                to_->setFocus();
            } else if (composer_.Subject().prompt) {
                subject_->setFocus();
            } else {
                focusBody();
            }
            break;
    }
    UpdateCaption();
}

// --- fields ---

void ComposerWindow::FitAddressField(QPlainTextEdit* field) {
    const int line = field->fontMetrics().lineSpacing();
    const int frame = 2 * field->frameWidth() + 8;
    // A field of several lines grows by two lines while it has the focus.
    const bool grow = field->hasFocus() && field->document()->blockCount() > 1;
    field->setFixedHeight(frame + line * (grow ? 3 : 1));
}

void ComposerWindow::LeaveAddressField(QPlainTextEdit* field) {
    const std::string text = FromQ(field->toPlainText());
    if (field == to_) {
        composer_.SetTo(text);
        composer_.LeaveTo();
    } else if (field == cc_) {
        composer_.SetCc(text);
        composer_.LeaveCc();
    } else {
        composer_.SetBcc(text);
        composer_.LeaveBcc();
    }
    const TComposerField& value = field == to_   ? composer_.To()
                                  : field == cc_ ? composer_.Cc()
                                                 : composer_.Bcc();
    filling_ = true;
    const QString shown = value.prompt ? QString() : ToQ(value.text);
    if (field->toPlainText() != shown) field->setPlainText(shown);
    filling_ = false;
    FitAddressField(field);
    UpdateCaption();
}

void ComposerWindow::LeaveSubject() {
    composer_.SetSubject(FromQ(subject_->text()));
    if (composer_.Subject().prompt) subject_->clear();
    UpdateCaption();
}

void ComposerWindow::EnterSignature() {
    style_->SignatureEntered();
    // While edited the pane shows the template, placeholders and all.
    filling_ = true;
    if (!composer_.SignatureLines().empty())
        sigPane_->setPlainText(ToQ(composer_.SignatureTemplate()));
    filling_ = false;
}

void ComposerWindow::LeaveSignature() {
    style_->SignatureLeft();
    composer_.SetSignatureTemplate(FromQ(sigPane_->toPlainText()));
    filling_ = true;
    sigPane_->setPlainText(Joined(composer_.SignatureLines()));
    filling_ = false;
}

void ComposerWindow::SyncForSending() {
    QWidget* focused = QApplication::focusWidget();
    if (focused == to_ || focused == cc_ || focused == bcc_)
        LeaveAddressField(static_cast<QPlainTextEdit*>(focused));
    if (focused == sigPane_) LeaveSignature();
    if (focused == subject_) LeaveSubject();
    const bool quietly = composer_.CloseQuietly();
    composer_.SetBodyText(FromQ(body_->toPlainText()));
    composer_.SetCloseQuietly(quietly);
}

bool ComposerWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Files dropped on a text field are attachments, not text; dropped text stays text.
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = DroppedFiles(drop->mimeData());
        if (files.isEmpty()) return QMainWindow::eventFilter(watched, event);
        drop->acceptProposedAction();
        if (type == QEvent::Drop) AttachFiles(files);
        return true;
    }
    if (type == QEvent::FocusOut) {
        if (watched == to_ || watched == cc_ || watched == bcc_)
            LeaveAddressField(static_cast<QPlainTextEdit*>(watched));
        if (watched == subject_) LeaveSubject();
        if (watched == sigPane_) LeaveSignature();
    } else if (type == QEvent::FocusIn) {
        if (watched == to_ || watched == cc_ || watched == bcc_) {
            FitAddressField(static_cast<QPlainTextEdit*>(watched));
        }
        if (watched == body_) style_->BodyEntered();
        if (watched == sigPane_) EnterSignature();
    } else if (type == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backtab) {
        // Shift+Tab leaves the body for Bcc, and the signature for the body.
        if (watched == body_) {
            bcc_->setFocus(Qt::BacktabFocusReason);
            return true;
        }
        if (watched == sigPane_) {
            body_->setFocus(Qt::BacktabFocusReason);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void ComposerWindow::EditCommand(const char* slot) {
    QWidget* target = QApplication::focusWidget();
    if (target != to_ && target != cc_ && target != bcc_ && target != subject_ && target != body_ &&
        target != sigPane_)
        return;
    if (std::string_view(slot) == "delete") {
        if (auto* line = qobject_cast<QLineEdit*>(target)) {
            line->del();
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(target)) {
            plain->textCursor().removeSelectedText();
        } else {
            body_->textCursor().removeSelectedText();
        }
        return;
    }
    QMetaObject::invokeMethod(target, slot);
}

// --- attachments and files ---

void ComposerWindow::AttachFiles(const QStringList& files) {
    std::vector<std::string> paths;
    for (const QString& file : files) paths.push_back(FromQ(file));
    composer_.DropFiles(paths);
    ShowAttachments();
}

void ComposerWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void ComposerWindow::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    AttachFiles(files);
}

void ComposerWindow::OpenTextFile() {
    const QString file =
        QFileDialog::getOpenFileName(this, "Open text file", {}, "Text file (*.txt)");
    if (file.isEmpty()) return;
    std::ifstream in(file.toStdString(), std::ios::binary);
    if (!in) {
        QMessageBox::warning(this, "Kivo", "Cannot open " + file);
        return;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    body_->setPlainText(ToQ(text));
    composer_.SetCloseQuietly(false);
}

void ComposerWindow::SaveTextFile() {
    QFileDialog dialog(this, "Save mail message", {}, "Text file (*.txt)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("txt");
    dialog.selectFile("MailMessage");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    try {
        WriteFileAtomic(dialog.selectedFiles().front().toStdString(), FromQ(body_->toPlainText()));
    } catch (const std::exception& e) {
        QMessageBox::warning(this, "Kivo", ToQ(e.what()));
    }
}

// --- queue, send, close ---

void ComposerWindow::QueueMessage() {
    if (sending_) return;
    SyncForSending();
    try {
        if (!composer_.Queue()) return;
    } catch (const std::exception& e) {
        QMessageBox::critical(this, "Kivo", "Cannot queue the message: " + ToQ(e.what()));
        return;
    }
    FilesWritten();
    Finish();
}

void ComposerWindow::SendMessage() {
    if (sending_) return;
    SyncForSending();
    sending_ = true;
    setEnabled(false);
    TMainFeedback& feedback = main_.Transfer();
    feedback.SetBusy(true);
    feedback.RouteCancel([this] { smtp_.Cancel(); });
    TSendOutcome outcome = TSendOutcome::NotReady;
    try {
        outcome = composer_.SendNow();
    } catch (const std::exception& e) {
        // Filing the copy failed: the message is still here to be queued or sent again.
        feedback.ErrorLevel(2, std::string("Cannot store the message: ") + e.what());
        QMessageBox::critical(this, "Kivo", "Cannot store the message: " + ToQ(e.what()));
    }
    feedback.RouteCancel({});
    feedback.SetBusy(false);
    feedback.Progress(0);
    if (feedback.LastLevel() != 2) feedback.StatusText(0, "");
    sending_ = false;
    setEnabled(true);
    if (outcome == TSendOutcome::NotReady) {
        Show();
        return;
    }
    FilesWritten();
    Finish();
}

void ComposerWindow::FilesWritten() {
    if (MessageFiled) MessageFiled();
}

void ComposerWindow::Discard() {
    finished_ = true;
    if (Closed) Closed(this);
}

void ComposerWindow::Finish() {
    finished_ = true;
    close();
}

bool ComposerWindow::Close() {
    return close();
}

void ComposerWindow::Show() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void ComposerWindow::closeEvent(QCloseEvent* event) {
    if (sending_) {
        event->ignore();
        return;
    }
    if (!finished_ && !composer_.RequestClose()) {
        Show();
        event->ignore();
        return;
    }
    composer_.SaveSignature();
    try {
        IniFile settings(main_.Folder().SettingsFile());
        TComposerChoices choices;
        choices.place = {x(), y(), width(), height()};
        // Sending hides the window before closing it, and a hidden window's toolbars are not
        // "visible": the user's own choice is whether a bar was hidden.
        choices.mailToolbar = !mailBar_->isHidden();
        choices.styleToolbar = !styleBar_->isHidden();
        choices.plain = composer_.Plain();
        choices.styled = composer_.Styled();
        choices.signatureOn = composer_.SignatureOn();
        SaveComposerOnClose(settings, choices);
        settings.UpdateFile();
    } catch (const std::exception& e) {
        main_.Transfer().ErrorLevel(2, std::string("Cannot save the settings: ") + e.what());
    }
    platform_.RemoveTip();
    if (UnlinkAddressList) UnlinkAddressList(this);
    event->accept();
    if (Closed) Closed(this);
}

// --- TComposerView ---

void ComposerWindow::ShowTip(const std::string& text) {
    platform_.ShowTip(text);
    tipTimer_.start(kComposerTipMs);
}

void ComposerWindow::StatusText(const std::string& text) {
    main_.Transfer().StatusText(0, text);
}

void ComposerWindow::ErrorLevel(int level, const std::string& text) {
    main_.Transfer().ErrorLevel(level, text);
}

void ComposerWindow::Progress(int percent) {
    main_.Transfer().Progress(percent);
}

}  // namespace kivo::ui
