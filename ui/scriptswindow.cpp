#include "ui/scriptswindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/inifile.h"
#include "script/scripthelp.h"
#include "script/scriptvalues.h"
#include "transfer/smtpsender.h"
#include "ui/qtext.h"

namespace kivo::ui {

namespace {

constexpr int kDefaultWidth = 476;
constexpr int kDefaultHeight = 400;

// A drop-down list that fills itself afresh each time it opens.
class RefillingCombo : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> BeforePopup;
    void showPopup() override {
        if (BeforePopup) BeforePopup();
        QComboBox::showPopup();
    }
};

// A caption whose mnemonic gives the keyboard to its field; the field is named after it.
QLabel* Caption(const QString& text, QWidget* field, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    QString name = QString(text).remove('&').trimmed();
    if (name.endsWith(':')) name.chop(1);
    field->setAccessibleName(name);
    return label;
}

QStringList ToQList(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& n : names) list << ToQ(n);
    return list;
}

// Byte offsets of the core's text and character positions of Qt's.
int CharPos(std::string_view text, std::size_t bytes) {
    return static_cast<int>(ToQ(text.substr(0, std::min(bytes, text.size()))).size());
}

}  // namespace

ScriptsWindow::ScriptsWindow(const TScriptPaths& paths, Platform& platform, TAutoCheckTimer& timer,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      paths_(paths),
      platform_(platform),
      timer_(timer),
      scripts_(paths, platform, *this),
      core_(scripts_, platform, *this) {
    setObjectName("scriptsWindow");
    setWindowTitle("Filters and Scripts");
    setAccessibleName("Filters and Scripts");

    pages_ = new QTabWidget(this);
    pages_->setObjectName("scriptPages");
    pages_->setAccessibleName("Pages");
    pages_->addTab(BuildSettingsPage(), "Settings");
    pages_->addTab(BuildSetupPage(), "Setup");
    pages_->addTab(BuildScriptPage(), "Script");
    pages_->addTab(BuildButtonsPage(), "Buttons");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(BuildProgressPanel(), 1);
    bottom->addStretch(0);
    QPushButton* close = AddButton("close", "C&lose", this);
    connect(close, &QPushButton::clicked, this, [this] { Act([this] { core_.Close(); }); });
    bottom->addWidget(close, 0, Qt::AlignBottom);
    layout->addLayout(bottom);
    RestorePosition();
}

ScriptsWindow::~ScriptsWindow() = default;

QPushButton* ScriptsWindow::AddButton(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    buttons_[name] = button;
    return button;
}

QPushButton* ScriptsWindow::Button(const QString& name) const {
    const auto found = buttons_.find(name);
    return found == buttons_.end() ? nullptr : found->second;
}

QListWidget* ScriptsWindow::FilterList(TFilterList list) const {
    return lists_[list == TFilterList::Incoming ? 0 : 1];
}

QComboBox* ScriptsWindow::AddChoice(TFilterList list) const {
    return addChoices_[list == TFilterList::Incoming ? 0 : 1];
}

// --- Settings page ---

QGroupBox* ScriptsWindow::BuildFilterGroup(TFilterList which) {
    const bool in = which == TFilterList::Incoming;
    const std::size_t k = in ? 0 : 1;
    auto* group = new QGroupBox(in ? "Run on incoming mail: " : "Run on outgoing mail: ");
    auto* list = new QListWidget(group);
    list->setObjectName(in ? "incomingList" : "outgoingList");
    list->setAccessibleName(in ? "Run on incoming mail" : "Run on outgoing mail");
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lists_[k] = list;
    const QString key = in ? "incoming" : "outgoing";
    QPushButton* setup = AddButton(key + "Setup", in ? "&Setup..." : "S&etup...", group);
    QPushButton* remove = AddButton(key + "Remove", in ? "&Remove" : "Re&move", group);
    auto* up = new QToolButton(group);
    up->setObjectName(key + "Up");
    up->setArrowType(Qt::UpArrow);
    up->setAccessibleName("Move up");
    up->setToolTip("Move the selected scripts up");
    auto* down = new QToolButton(group);
    down->setObjectName(key + "Down");
    down->setArrowType(Qt::DownArrow);
    down->setAccessibleName("Move down");
    down->setToolTip("Move the selected scripts down");
    QPushButton* add = AddButton(key + "Add", in ? "&Add:" : "A&dd:", group);
    auto* choice = new QComboBox(group);
    choice->setObjectName(key + "AddChoice");
    choice->setAccessibleName(in ? "Script to add to incoming" : "Script to add to outgoing");
    choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    choice->setMinimumContentsLength(12);
    addChoices_[k] = choice;

    auto* layout = new QGridLayout(group);
    layout->addWidget(list, 0, 0, 4, 2);
    layout->addWidget(setup, 0, 2, 1, 2);
    layout->addWidget(remove, 1, 2, 1, 2);
    layout->addWidget(up, 2, 2);
    layout->addWidget(down, 2, 3);
    layout->addWidget(add, 4, 0);
    layout->addWidget(choice, 4, 1, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(3, 1);

    connect(add, &QPushButton::clicked, this,
            [this, which, choice] { core_.Add(which, FromQ(choice->currentText())); });
    connect(remove, &QPushButton::clicked, this,
            [this, which] { core_.Remove(which, SelectedRows(which)); });
    connect(up, &QToolButton::clicked, this,
            [this, which] { SelectRows(which, core_.MoveUp(which, SelectedRows(which))); });
    connect(down, &QToolButton::clicked, this,
            [this, which] { SelectRows(which, core_.MoveDown(which, SelectedRows(which))); });
    const auto openSetup = [this, which, choice] {
        Act([&] { core_.SetupFromList(which, SelectedRows(which), FromQ(choice->currentText())); });
    };
    connect(setup, &QPushButton::clicked, this, openSetup);
    connect(list, &QListWidget::itemDoubleClicked, this, openSetup);
    return group;
}

QWidget* ScriptsWindow::BuildSettingsPage() {
    auto* page = new QWidget;
    page->setObjectName("settingsPage");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(BuildFilterGroup(TFilterList::Incoming), 1);
    layout->addWidget(BuildFilterGroup(TFilterList::Outgoing), 1);

    runChoice_ = new QComboBox(page);
    runChoice_->setObjectName("runChoice");
    runChoice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    runChoice_->setMinimumContentsLength(12);
    auto* run = new QHBoxLayout;
    run->addWidget(Caption("R&un", runChoice_, page));
    runChoice_->setAccessibleName("Run script");
    run->addWidget(runChoice_, 1);
    run->addWidget(new QLabel("script on selected messages", page));
    QPushButton* now = AddButton("now", "&Now", page);
    now->setToolTip("Run the script on the messages selected in the message list");
    connect(now, &QPushButton::clicked, this, &ScriptsWindow::RunNow);
    run->addWidget(now);
    layout->addLayout(run);

    QPushButton* configure =
        AddButton("configureAutoScript", "&Configure Auto Script creation...", page);
    connect(configure, &QPushButton::clicked, this,
            [this] { Act([this] { core_.ConfigureAutoScript(); }); });
    auto* row = new QHBoxLayout;
    row->addWidget(configure);
    row->addStretch(1);
    layout->addLayout(row);
    return page;
}

std::vector<int> ScriptsWindow::SelectedRows(TFilterList which) const {
    std::vector<int> rows;
    QListWidget* list = FilterList(which);
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected()) rows.push_back(row);
    }
    return rows;
}

void ScriptsWindow::SelectRows(TFilterList which, const std::vector<int>& rows) {
    QListWidget* list = FilterList(which);
    list->clearSelection();
    for (int row : rows) {
        if (QListWidgetItem* item = list->item(row)) item->setSelected(true);
    }
    if (!rows.empty()) {
        list->setCurrentRow(rows.front(), QItemSelectionModel::NoUpdate);
    }
}

void ScriptsWindow::RunNow() {
    const std::string script = FromQ(runChoice_->currentText());
    TFrmIndex* index = Index();
    if (script.empty() || !index) return;
    {
        const TAutoCheckSuspension hold(timer_);
        Act([&] { Guard([&] { core_.RunNow(script, *index); }); });
    }
    emit MessagesChanged();
}

// --- Setup page ---

QWidget* ScriptsWindow::BuildSetupPage() {
    auto* page = new QWidget;
    page->setObjectName("setupPage");
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    setupChoice_ = new QComboBox(page);
    setupChoice_->setObjectName("setupChoice");
    setupChoice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setupChoice_->setMinimumContentsLength(16);
    QLabel* caption = Caption("Script to setup:", setupChoice_, page);
    caption->setObjectName("setupFolderLabel");
    caption->setToolTip("Click to open the script folder");
    caption->setCursor(Qt::PointingHandCursor);
    caption->installEventFilter(this);
    top->addWidget(caption);
    top->addWidget(setupChoice_, 1);
    QPushButton* edit = AddButton("editScript", "&Edit Script...", page);
    connect(edit, &QPushButton::clicked, this, [this] { Act([this] { core_.EditScript(); }); });
    top->addWidget(edit);
    layout->addLayout(top);
    connect(setupChoice_, &QComboBox::activated, this, [this] {
        Act([this] { core_.ChooseSetupScript(FromQ(setupChoice_->currentText())); });
    });

    noSettings_ = new QLabel("This script has no user settings\nthat you can setup.", page);
    noSettings_->setObjectName("noSettings");
    noSettings_->setAlignment(Qt::AlignCenter);
    noSettings_->hide();
    layout->addWidget(noSettings_);

    auto* settings = new QHBoxLayout;
    dataColumn_ = new QWidget(page);
    auto* data = new QVBoxLayout(dataColumn_);
    data->setContentsMargins(0, 0, 0, 0);
    for (std::size_t k = 0; k < 4; ++k) {
        auto* field = new QLineEdit(dataColumn_);
        field->setObjectName(QString("dataSetting%1").arg(k + 1));
        auto* label = new QLabel(dataColumn_);
        label->setBuddy(field);
        label->setWordWrap(true);
        dataLabels_[k] = label;
        dataFields_[k] = field;
        data->addWidget(label);
        data->addWidget(field);
        connect(field, &QLineEdit::editingFinished, this, &ScriptsWindow::DataFieldLeft);
        label->hide();
        field->hide();
    }
    data->addStretch(1);
    fileColumn_ = new QWidget(page);
    auto* files = new QVBoxLayout(fileColumn_);
    files->setContentsMargins(0, 0, 0, 0);
    for (std::size_t k = 0; k < 4; ++k) {
        QPushButton* button = AddButton(QString("fileSetting%1").arg(k + 1), {}, fileColumn_);
        button->setToolTip("Open this file in the text editor");
        fileButtons_[k] = button;
        files->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, k] { Act([&] { core_.OpenUserFile(static_cast<int>(k)); }); });
        button->hide();
    }
    files->addStretch(1);
    fileColumn_->hide();
    settings->addWidget(dataColumn_, 2);
    settings->addWidget(fileColumn_, 1);
    layout->addLayout(settings, 1);
    return page;
}

void ScriptsWindow::DataFieldLeft() {
    std::array<std::string, 4> values;
    for (std::size_t k = 0; k < 4; ++k) values[k] = FromQ(dataFields_[k]->text());
    Act([&] { core_.DataSettingsEdited(values); });
}

// --- Script page ---

QWidget* ScriptsWindow::BuildScriptPage() {
    auto* page = new QWidget;
    page->setObjectName("scriptPage");
    auto* layout = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    scriptName_ = new QComboBox(page);
    scriptName_->setObjectName("scriptName");
    scriptName_->setEditable(true);
    scriptName_->setInsertPolicy(QComboBox::NoInsert);
    scriptName_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    scriptName_->setMinimumContentsLength(14);
    QLabel* caption = Caption("S&cript name:", scriptName_, page);
    caption->setObjectName("scriptFolderLabel");
    caption->setToolTip("Click to open the script folder");
    caption->setCursor(Qt::PointingHandCursor);
    caption->installEventFilter(this);
    top->addWidget(caption);
    top->addWidget(scriptName_, 1);
    QPushButton* save = AddButton("save", "&Save", page);
    save->setToolTip("Save the script (CTRL+S)");
    QPushButton* dry = AddButton("dryRun", "Dry &Run", page);
    dry->setToolTip("Run the editor's text without a message");
    QPushButton* del = AddButton("delete", "&Del", page);
    del->setToolTip("Delete the script");
    top->addWidget(save);
    top->addWidget(dry);
    top->addWidget(del);
    layout->addLayout(top);
    connect(scriptName_, &QComboBox::activated, this, [this] {
        bool chosen = false;
        Act([&] { chosen = core_.ChooseEditorScript(FromQ(scriptName_->currentText())); });
        if (!chosen) scriptName_->setEditText(shownScript_);
    });
    connect(save, &QPushButton::clicked, this, &ScriptsWindow::SaveScript);
    connect(dry, &QPushButton::clicked, this, &ScriptsWindow::DryRun);
    connect(del, &QPushButton::clicked, this,
            [this] { Act([this] { core_.Delete(FromQ(scriptName_->currentText())); }); });
    auto* saveKey = new QShortcut(QKeySequence("Ctrl+S"), page);
    saveKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveKey, &QShortcut::activated, this, &ScriptsWindow::SaveScript);

    scriptPages_ = new QTabWidget(page);
    scriptPages_->setObjectName("scriptSubPages");
    scriptPages_->setAccessibleName("Script pages");

    editor_ = new QPlainTextEdit;
    editor_->setObjectName("scriptEditor");
    editor_->setAccessibleName("Script text");
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setTabChangesFocus(false);
    editor_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editor_, &QPlainTextEdit::customContextMenuRequested, this,
            &ScriptsWindow::ShowEditorMenu);
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
        if (!loading_) core_.EditorModified();
    });
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), editor_);
    helpKey->setContext(Qt::WidgetShortcut);
    connect(helpKey, &QShortcut::activated, this, &ScriptsWindow::HelpAtCaret);
    scriptPages_->addTab(editor_, "Edit");

    auto* help = new QWidget;
    auto* helpLayout = new QHBoxLayout(help);
    helpIndex_ = new QTreeWidget(help);
    helpIndex_->setObjectName("helpIndex");
    helpIndex_->setHeaderHidden(true);
    auto* root = new QTreeWidgetItem(helpIndex_, {ToQ(ScriptHelpIndexRoot())});
    for (const std::string& entry : ScriptHelpIndexEntries()) {
        new QTreeWidgetItem(root, {ToQ(entry)});
    }
    root->setExpanded(true);
    helpText_ = new QPlainTextEdit(help);
    helpText_->setObjectName("helpText");
    helpText_->setReadOnly(true);
    helpText_->setPlainText(ToQ(ScriptHelpText()));
    auto* indexColumn = new QVBoxLayout;
    indexColumn->addWidget(Caption("Index:", helpIndex_, help));
    indexColumn->addWidget(helpIndex_);
    auto* textColumn = new QVBoxLayout;
    textColumn->addWidget(Caption("Quick Help:", helpText_, help));
    textColumn->addWidget(helpText_);
    helpLayout->addLayout(indexColumn, 1);
    helpLayout->addLayout(textColumn, 3);
    const auto chooseTopic = [this](QTreeWidgetItem* item) {
        if (item && item->parent()) core_.HelpIndex(FromQ(item->text(0)));
    };
    connect(helpIndex_, &QTreeWidget::currentItemChanged, this, chooseTopic);
    connect(helpIndex_, &QTreeWidget::itemClicked, this, chooseTopic);
    helpIndex_->setMaximumWidth(180);
    scriptPages_->addTab(help, "Help");

    debug_ = new QTableWidget(0, 2);
    debug_->setObjectName("debugTable");
    debug_->setAccessibleName("Debug");
    debug_->setHorizontalHeaderLabels({"Variable name:", "Variable value:"});
    debug_->horizontalHeader()->setStretchLastSection(true);
    debug_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    debug_->verticalHeader()->hide();
    debug_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    debug_->setSelectionBehavior(QAbstractItemView::SelectRows);
    debug_->setShowGrid(false);
    debug_->setWordWrap(false);
    debug_->setColumnWidth(0, 140);
    debug_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    debug_->verticalHeader()->setDefaultSectionSize(debug_->fontMetrics().height() + 4);
    scriptPages_->addTab(debug_, "Debug");

    auto* f1 = new QToolButton(page);
    f1->setObjectName("f1");
    f1->setText("F1");
    f1->setAccessibleName("Help on the word at the caret");
    f1->setToolTip("Help on the word at the caret (F1)");
    // The caret stays in the editor, where the word is.
    f1->setFocusPolicy(Qt::NoFocus);
    connect(f1, &QToolButton::clicked, this, &ScriptsWindow::HelpAtCaret);
    scriptPages_->setCornerWidget(f1, Qt::TopRightCorner);
    layout->addWidget(scriptPages_, 1);
    return page;
}

void ScriptsWindow::ShowEditorMenu(const QPoint& at) {
    QMenu menu(editor_);
    const bool selection = editor_->textCursor().hasSelection();
    menu.addAction("&Undo", editor_, &QPlainTextEdit::undo)
        ->setEnabled(editor_->document()->isUndoAvailable());
    menu.addSeparator();
    menu.addAction("Cu&t", editor_, &QPlainTextEdit::cut)->setEnabled(selection);
    menu.addAction("&Copy", editor_, &QPlainTextEdit::copy)->setEnabled(selection);
    menu.addAction("&Paste", editor_, &QPlainTextEdit::paste)->setEnabled(editor_->canPaste());
    menu.addAction("&Delete", editor_, [this] { editor_->textCursor().removeSelectedText(); })
        ->setEnabled(selection);
    menu.addSeparator();
    menu.addAction("Select &All", editor_, &QPlainTextEdit::selectAll);
    menu.addSeparator();
    menu.addAction("&Save", QKeySequence("Ctrl+S"), this, &ScriptsWindow::SaveScript);
    menu.addAction("&Help", QKeySequence(Qt::Key_F1), this, &ScriptsWindow::HelpAtCaret);
    menu.exec(editor_->mapToGlobal(at));
}

std::vector<std::string> ScriptsWindow::EditorLines() const {
    return ValueLines(FromQ(editor_->toPlainText()));
}

void ScriptsWindow::SaveScript() {
    Act([this] { core_.Save(FromQ(scriptName_->currentText()), EditorLines()); });
    shownScript_ = ToQ(core_.EditorScript());
}

void ScriptsWindow::DryRun() {
    const TAutoCheckSuspension hold(timer_);
    Act([this] { core_.DryRun(EditorLines()); });
    // The run's variables are what a dry run is for.
    scriptPages_->setCurrentIndex(static_cast<int>(TScriptSubPage::Debug));
}

void ScriptsWindow::HelpAtCaret() {
    const QString text = editor_->toPlainText();
    const std::string bytes = FromQ(text);
    const std::size_t caret = FromQ(text.left(editor_->textCursor().position())).size();
    Act([&] { core_.HelpAtCaret(bytes, caret); });
}

// --- Buttons page ---

QWidget* ScriptsWindow::BuildButtonsPage() {
    auto* page = new QWidget;
    page->setObjectName("buttonsPage");
    auto* layout = new QGridLayout(page);
    static constexpr std::array<const char*, 10> kDescriptions = {
        "&Description", "D&escription", "De&scription", "Des&cription", "Desc&ription",
        "Descr&iption", "Descri&ption", "Descrip&tion", "Descripti&on", "Descriptio&n"};
    for (std::size_t k = 0; k < 10; ++k) {
        const int row = static_cast<int>(k);
        auto* combo = new RefillingCombo(page);
        combo->setObjectName(QString("buttonScript%1").arg((k + 1) % 10));
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(14);
        combo->BeforePopup = [this, combo] { FillCombo(combo, core_.ScriptNames(), true); };
        auto* desc = new QLineEdit(page);
        desc->setObjectName(QString("buttonDesc%1").arg((k + 1) % 10));
        const QString button = QString("Button &%1").arg((k + 1) % 10);
        layout->addWidget(Caption(button, combo, page), row, 0);
        layout->addWidget(combo, row, 1);
        layout->addWidget(Caption(kDescriptions[k], desc, page), row, 2);
        desc->setAccessibleName(QString(button).remove('&') + " description");
        layout->addWidget(desc, row, 3);
        buttonScripts_[k] = combo;
        buttonDescs_[k] = desc;
        connect(combo, &QComboBox::activated, this,
                [this, row, combo] { core_.ChooseButtonScript(row, FromQ(combo->currentText())); });
        connect(desc, &QLineEdit::textEdited, this,
                [this, row](const QString& text) { core_.SetButtonDescription(row, FromQ(text)); });
    }
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    layout->setRowStretch(10, 1);
    return page;
}

// --- progress panel ---

QWidget* ScriptsWindow::BuildProgressPanel() {
    progressPanel_ = new QWidget(this);
    progressPanel_->setObjectName("runPanel");
    auto* layout = new QGridLayout(progressPanel_);
    layout->setContentsMargins(0, 0, 0, 0);
    runningName_ = new QLabel(progressPanel_);
    totalLines_ = new QLabel(progressPanel_);
    currentLine_ = new QLabel(progressPanel_);
    runProgress_ = new QProgressBar(progressPanel_);
    runProgress_->setObjectName("runProgress");
    runProgress_->setAccessibleName("Script progress");
    runProgress_->setTextVisible(false);
    runProgress_->setMaximumHeight(14);
    layout->addWidget(new QLabel("Running:", progressPanel_), 0, 0);
    layout->addWidget(runningName_, 0, 1, 1, 3);
    layout->addWidget(new QLabel("Total Lines:", progressPanel_), 1, 0);
    layout->addWidget(totalLines_, 1, 1);
    layout->addWidget(new QLabel("Currently:", progressPanel_), 1, 2);
    layout->addWidget(currentLine_, 1, 3);
    layout->addWidget(runProgress_, 1, 4);
    QPushButton* cancel = AddButton("cancel", "Cancel", progressPanel_);
    cancel->setToolTip("Stop the script after the current line (Esc)");
    connect(cancel, &QPushButton::clicked, this, [this] { scripts_.RequestAbort(); });
    layout->addWidget(cancel, 0, 4, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    layout->setColumnStretch(4, 2);
    // The panel keeps its room while hidden, so the window does not jump at each run.
    QSizePolicy policy = progressPanel_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    progressPanel_->setSizePolicy(policy);
    runningName_->setAccessibleName("Running");
    totalLines_->setAccessibleName("Total Lines");
    currentLine_->setAccessibleName("Currently");
    progressPanel_->hide();
    return progressPanel_;
}

void ScriptsWindow::RunShown(std::string_view scriptName, int lineCount) {
    runningName_->setText(ToQ(scriptName));
    totalLines_->setText(QString::number(lineCount));
    currentLine_->setText("1");
    runProgress_->setRange(0, std::max(1, lineCount));
    runProgress_->setValue(0);
    progressPanel_->show();
}

void ScriptsWindow::RunProgress(int line, int lineCount) {
    currentLine_->setText(QString::number(line + 1));
    runProgress_->setRange(0, std::max(1, lineCount));
    runProgress_->setValue(line + 1);
}

void ScriptsWindow::RunHidden() {
    progressPanel_->hide();
}

void ScriptsWindow::Beep() {
    QApplication::beep();
}

void ScriptsWindow::EditMessage(const TmsMessage& message) {
    if (Compose) {
        Compose(message);
    } else {
        platform_.ShowTip("The composer window is not part of this version yet");
    }
}

bool ScriptsWindow::SendMessage(TmsMessage& message, std::string_view server,
                                std::string_view account) {
    SendAtOnce(platform_, paths_.accountsFile, message, server, account,
               [this](std::string& text) { LogEntry(2, text); });
    return true;
}

// --- showing ---

void ScriptsWindow::Act(const std::function<void()>& action) {
    // A file that cannot be read or written ends the user's action with the system's text.
    try {
        action();
    } catch (const std::exception& e) {
        platform_.ShowMessage(e.what());
    }
}

void ScriptsWindow::Open(std::optional<TScriptsPage> page) {
    // A running script keeps its view; the pages are filled afresh between runs.
    if (!scripts_.Running()) Act([this] { core_.Show(); });
    Button("configureAutoScript")->setEnabled(static_cast<bool>(OpenDragAndDrop));
    if (page) ShowPage(*page);
    show();
    raise();
    activateWindow();
}

void ScriptsWindow::SetMessageFont(const QString& family, int size) {
    QFont font(family, std::max(6, size));
    if (!QFontInfo(font).exactMatch()) {
        font = QApplication::font();
        font.setPointSize(std::max(6, size));
    }
    helpText_->setFont(font);
    // Script lines line up in columns only in a fixed-pitch face.
    QFont fixed = font;
    if (!QFontInfo(fixed).fixedPitch()) {
        fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        fixed.setPointSize(std::max(6, size));
    }
    editor_->setFont(fixed);
    editor_->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(' ') * 4);
}

void ScriptsWindow::FillCombo(QComboBox* combo, const std::vector<std::string>& names,
                              bool emptyFirst) {
    const QString current = combo->currentText();
    const QSignalBlocker block(combo);
    combo->clear();
    if (emptyFirst) combo->addItem(QString());
    combo->addItems(ToQList(names));
    const int at = combo->findText(current, Qt::MatchFixedString);
    if (combo->isEditable()) {
        combo->setCurrentIndex(at);
        combo->setEditText(current);
    } else {
        combo->setCurrentIndex(at >= 0 ? at : (emptyFirst ? 0 : -1));
    }
}

void ScriptsWindow::ShowScriptNames(const std::vector<std::string>& names) {
    for (QComboBox* combo : {addChoices_[0], addChoices_[1], runChoice_, setupChoice_}) {
        FillCombo(combo, names, false);
    }
    FillCombo(scriptName_, names, false);
    for (QComboBox* combo : buttonScripts_) FillCombo(combo, names, true);
}

void ScriptsWindow::ShowFilterLists(const std::vector<std::string>& incoming,
                                    const std::vector<std::string>& outgoing) {
    lists_[0]->clear();
    lists_[0]->addItems(ToQList(incoming));
    lists_[1]->clear();
    lists_[1]->addItems(ToQList(outgoing));
}

void ScriptsWindow::ShowSetup(std::string_view script, const TUserSettings& settings) {
    {
        const QSignalBlocker block(setupChoice_);
        setupChoice_->setCurrentIndex(
            script.empty() ? -1 : setupChoice_->findText(ToQ(script), Qt::MatchFixedString));
    }
    noSettings_->setVisible(!script.empty() && settings.Empty());
    for (std::size_t k = 0; k < 4; ++k) {
        const TUserSetting& data = settings.data[k];
        dataLabels_[k]->setText(ToQ(data.description));
        dataFields_[k]->setText(ToQ(data.value));
        dataFields_[k]->setAccessibleName(ToQ(data.description));
        dataLabels_[k]->setVisible(data.present);
        dataFields_[k]->setVisible(data.present);
        const TUserSetting& file = settings.files[k];
        fileButtons_[k]->setText(ToQ(file.description));
        fileButtons_[k]->setAccessibleName(ToQ(file.description));
        fileButtons_[k]->setVisible(file.present);
    }
    fileColumn_->setVisible(settings.HasFiles());
}

void ScriptsWindow::ShowEditor(std::string_view script, const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines) text << ToQ(line);
    loading_ = true;
    editor_->setPlainText(text.join('\n'));
    loading_ = false;
    shownScript_ = ToQ(script);
    const QSignalBlocker block(scriptName_);
    scriptName_->setCurrentIndex(scriptName_->findText(shownScript_, Qt::MatchFixedString));
    scriptName_->setEditText(shownScript_);
}

void ScriptsWindow::ShowDebugWorking() {
    debug_->setRowCount(1);
    debug_->setItem(0, 0, new QTableWidgetItem("Working..."));
    debug_->setItem(0, 1, new QTableWidgetItem("Working..."));
}

void ScriptsWindow::ShowDebug(const TDebugColumns& columns) {
    const std::size_t rows = std::max(columns.names.size(), columns.values.size());
    debug_->setRowCount(static_cast<int>(rows));
    for (std::size_t k = 0; k < rows; ++k) {
        const int row = static_cast<int>(k);
        debug_->setItem(
            row, 0,
            new QTableWidgetItem(k < columns.names.size() ? ToQ(columns.names[k]) : QString()));
        debug_->setItem(
            row, 1,
            new QTableWidgetItem(k < columns.values.size() ? ToQ(columns.values[k]) : QString()));
    }
}

void ScriptsWindow::ShowButtons(const TButtonRows& rows) {
    for (std::size_t k = 0; k < rows.size(); ++k) {
        QComboBox* combo = buttonScripts_[k];
        const QSignalBlocker block(combo);
        const int at = combo->findText(ToQ(rows[k].script), Qt::MatchFixedString);
        combo->setCurrentIndex(std::max(0, at));
        buttonDescs_[k]->setText(ToQ(rows[k].description));
    }
}

void ScriptsWindow::ShowPage(TScriptsPage page) {
    pages_->setCurrentIndex(static_cast<int>(page));
}

void ScriptsWindow::ShowSubPage(TScriptSubPage page) {
    scriptPages_->setCurrentIndex(static_cast<int>(page));
}

void ScriptsWindow::SelectHelp(const THelpMatch& match) {
    const std::string_view help = ScriptHelpText();
    const int start = CharPos(help, match.offset);
    const int end = CharPos(help, match.offset + match.length);
    // From the end of the text the topic scrolls up to the top of the view.
    helpText_->verticalScrollBar()->setValue(helpText_->verticalScrollBar()->maximum());
    QTextCursor cursor = helpText_->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    helpText_->setTextCursor(cursor);
    helpText_->ensureCursorVisible();
}

void ScriptsWindow::OpenDragAndDropOptions() {
    if (OpenDragAndDrop) OpenDragAndDrop();
}

void ScriptsWindow::UserButtonsChanged() {
    emit ButtonsChanged();
}

void ScriptsWindow::HideWindow() {
    SavePosition();
    hide();
}

void ScriptsWindow::OpenScriptFolder() {
    platform_.ShellOpen(paths_.scriptFolder.string());
}

// --- place and size ---

void ScriptsWindow::RestorePosition() {
    const IniFile ini(paths_.settingsFile);
    QRect screen(0, 0, 1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->availableGeometry();
    const QSize least = minimumSizeHint();
    const int width = std::max(ini.ReadInteger("Scripts", "Width", kDefaultWidth), least.width());
    const int height =
        std::max(ini.ReadInteger("Scripts", "Height", kDefaultHeight), least.height());
    // At first the window sits in the screen's bottom right corner.
    const int left = ini.ReadInteger("Scripts", "Left", screen.right() - width);
    const int top = ini.ReadInteger("Scripts", "Top", screen.bottom() - height);
    resize(width, height);
    move(std::clamp(left, screen.left(), std::max(screen.left(), screen.right() - 40)),
         std::clamp(top, screen.top(), std::max(screen.top(), screen.bottom() - 40)));
}

void ScriptsWindow::SavePosition() {
    try {
        IniFile ini(paths_.settingsFile);
        ini.WriteInteger("Scripts", "Left", x());
        ini.WriteInteger("Scripts", "Top", y());
        ini.WriteInteger("Scripts", "Width", width());
        ini.WriteInteger("Scripts", "Height", height());
        ini.UpdateFile();
    } catch (const std::exception& e) {
        LogEntry(2, e.what());
    }
}

// --- events ---

void ScriptsWindow::closeEvent(QCloseEvent* event) {
    // The window frame's close button is "Close" too, with the same unsaved-changes check.
    bool closed = isHidden();
    if (!closed) Act([&] { closed = core_.Close(); });
    if (closed) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool ScriptsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        (watched->objectName() == "setupFolderLabel" ||
         watched->objectName() == "scriptFolderLabel")) {
        OpenScriptFolder();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kivo::ui
