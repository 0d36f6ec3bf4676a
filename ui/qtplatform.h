#pragma once
// The platform interface in the windows: the event pump is Qt's, Esc pressed in any window
// asks a running operation to stop, tips are small aqua notes below the pointer that go after
// three seconds, questions and prompts are dialog boxes, sounds play through Qt Multimedia.

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "base/platform.h"

class QMediaPlayer;
class QAudioOutput;
class QBuffer;

namespace kivo::ui {

class QtPlatform : public QObject, public Platform {
    Q_OBJECT
  public:
    QtPlatform();
    ~QtPlatform() override;

    void Pump() override;
    void PumpScreen() override;
    bool AbortRequested() const override { return abort_; }
    void ClearAbortRequest() override { abort_ = false; }
    void ShowTip(std::string_view text) override;
    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view question) override;
    bool InputText(std::string_view caption, std::string_view prompt, std::string& value) override;
    bool InputPassword(std::string_view caption, std::string_view prompt,
                       std::string& value) override;
    void PlaySound(std::string_view file) override;
    bool ShellOpen(std::string_view target) override;
    int RunAndWait(const std::vector<std::string>& argv) override;

    // A tip below a point of the screen (a button, a list) instead of the pointer.
    void ShowTipAt(std::string_view text, const QPoint& at);
    // The tip on show, or null; RemoveTip takes it away at once.
    QLabel* Tip() const { return tip_; }
    QString TipText() const;
    void RemoveTip();
    // Ctrl held now (a drop copies instead of moving).
    static bool CtrlHeld();
    // The sound last asked for ("" the built-in one) and how many were asked for.
    const QString& LastSound() const { return lastSound_; }
    int SoundsPlayed() const { return soundsPlayed_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool abort_ = false;
    QPointer<QLabel> tip_;
    QTimer tipTimer_;
    std::unique_ptr<QMediaPlayer> player_;
    std::unique_ptr<QAudioOutput> audio_;
    std::unique_ptr<QBuffer> soundBuffer_;
    QByteArray builtInSound_;
    QString lastSound_;
    int soundsPlayed_ = 0;
};

}  // namespace kivo::ui
