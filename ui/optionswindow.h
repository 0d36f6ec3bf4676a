#pragma once
// "Mail Settings": the options window over TfrmSettings. A tree of pages on the left, one page
// at a time on the right. The controls show the core's fields when the window opens and hand
// them back on OK; colour buttons, presets and swatches go through the core at once so the
// samples follow. Every decision (what is valid, what is applied, what is saved) is the core's.

#include <QDialog>
#include <array>
#include <functional>
#include <map>
#include <optional>

#include "app/KivoSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kivo {
class Platform;
class TDefaultMailer;
}  // namespace kivo

namespace kivo::ui {

class OptionsWindow : public QDialog, public TSettingsView {
    Q_OBJECT
  public:
    // Opens on `page` over the main window's settings; `rasEntries` are the system's dial-up
    // entries.
    OptionsWindow(TSettings& settings, std::filesystem::path settingsFile,
                  const std::vector<std::string>& rasEntries, TSettingsPage page,
                  Platform& platform, TDefaultMailer& mailer, QWidget* parent = nullptr);
    TfrmSettings& Core() { return core_; }

    // Picks a colour starting from the given one; nothing when the user cancels. A colour
    // dialog unless replaced (tests).
    std::function<std::optional<QColor>(const QColor&)> ChooseColour;
    // Picks a sound file; empty when canceled. A file dialog unless replaced.
    std::function<QString()> ChooseSoundFile;

    void ShowPage(TSettingsPage page);
    QTreeWidget* Tree() const { return tree_; }
    QStackedWidget* Pages() const { return pages_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

    // TSettingsView
    void Warning(std::string_view text) override;
    void Error(std::string_view text, TSettingsPage page) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QWidget* BuildSettingsPage();
    QWidget* BuildProgramPage();
    QWidget* BuildMiscPage();
    QWidget* BuildLookupPage();
    QWidget* BuildDefaultsPage();
    QWidget* BuildDragAndDropPage();
    QWidget* BuildAppearancePage();
    QWidget* BuildFontsPage();
    QWidget* BuildColoursPage();
    QWidget* BuildShadingPage();
    // Fields to controls, and back.
    void Load();
    void Store();
    void UpdateEnabled();
    void UpdateSamples();
    QPushButton* SlotButton(const QString& text, TColourSlot slot, QWidget* parent);
    // A button that shows a colour and lets the user choose another one into `colour`.
    QPushButton* ColourField(const QString& name, std::uint32_t& colour, QWidget* parent);

    // The face a font selector showed when the window opened: a font the machine lacks shows
    // as a stand-in, which must not replace the stored name unless the user picks another.
    QString FaceOf(QFontComboBox* box, const std::string& stored) const;
    std::map<const QFontComboBox*, QString> shownFaces_;

    TfrmSettings core_;
    Platform& platform_;
    TDefaultMailer& mailer_;
    QTreeWidget* tree_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool loading_ = false;

    // "Settings"
    QPushButton* mailerButton_ = nullptr;
    // "Program"
    QLineEdit* attachPath_ = nullptr;
    QLineEdit* smtp_ = nullptr;
    QCheckBox* fastRead_ = nullptr;
    QComboBox* ras_ = nullptr;
    QLineEdit* dialUpPass_ = nullptr;
    QCheckBox* autoDial_ = nullptr;
    QCheckBox* autoHangup_ = nullptr;
    // "Misc"
    QCheckBox* hideForm_ = nullptr;
    QCheckBox* showHints_ = nullptr;
    QCheckBox* privacy_ = nullptr;
    QLineEdit* privacyPass_ = nullptr;
    QLineEdit* privacyPassAgain_ = nullptr;
    QCheckBox* autoCheck_ = nullptr;
    QLineEdit* autoCheckTime_ = nullptr;
    QCheckBox* userSound_ = nullptr;
    QLineEdit* soundFile_ = nullptr;
    QCheckBox* sendOnCheck_ = nullptr;
    // "Address Lookup"
    std::array<QCheckBox*, 3> lookup_{};
    // "Defaults"
    std::array<QCheckBox*, 3> customColour_{};  // background, main font, signature font
    std::array<QPushButton*, 3> customColourButton_{};
    struct FontRow {
        QCheckBox* use = nullptr;
        QFontComboBox* face = nullptr;
        QComboBox* level = nullptr;
        std::array<QToolButton*, 3> style{};  // bold, italic, underline
    };
    std::array<FontRow, 2> defaultFont_{};  // body, signature
    std::array<QRadioButton*, 3> signature_{};
    QRadioButton* formatAlways_ = nullptr;
    QRadioButton* formatLast_ = nullptr;
    QComboBox* format_ = nullptr;
    // "Drag and Drop"
    QCheckBox* autoScript_ = nullptr;
    QRadioButton* autoCopy_ = nullptr;
    QRadioButton* autoMove_ = nullptr;
    QCheckBox* autoIn_ = nullptr;
    QCheckBox* autoOut_ = nullptr;
    QLabel* runOnLabel_ = nullptr;
    QRadioButton* forward_ = nullptr;
    QRadioButton* bounce_ = nullptr;
    // "Fonts"
    QFontComboBox* indexFace_ = nullptr;
    QComboBox* indexSize_ = nullptr;
    QLabel* indexSample_ = nullptr;
    QFontComboBox* messageFace_ = nullptr;
    QComboBox* messageSize_ = nullptr;
    QLabel* messageSample_ = nullptr;
    // "Colours"
    QComboBox* preset_ = nullptr;
    QLabel* htmlSample_ = nullptr;
    QListWidget* indexSample1_ = nullptr;
    QListWidget* indexSample2_ = nullptr;
    // "Index Shading"
    QCheckBox* shadeCols_ = nullptr;
    std::array<QToolButton*, 6> swatch_{};
    QRadioButton* horShade_ = nullptr;
    QRadioButton* vertShade_ = nullptr;
    QLineEdit* horLines_ = nullptr;
    std::array<QCheckBox*, 6> vertColumns_{};
    QCheckBox* grid_ = nullptr;
};

}  // namespace kivo::ui
