#pragma once
// The main window's composers: opened empty, for a mailto text, or filled from the selected
// messages by Reply, Reply to all, Forward and Bounce. Each is listed in the open windows list
// while it is open and let go of when it closes; a message it files in the mailbox on show
// brings the list up to date.

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/reply.h"

namespace kivo {
class TFrmIndex;
class TFrmMain;
class TmsMessage;
}  // namespace kivo

namespace kivo::ui {

class ComposerWindow;
class QtPlatform;

class ComposerList : public QObject {
    Q_OBJECT
  public:
    // `refresh` shows the main window's list again after a composer changed its mailbox.
    ComposerList(TFrmMain& main, QtPlatform& platform, std::function<void()> refresh);
    ~ComposerList() override;

    // A new composer; a mailto text (or a bare address) fills it.
    ComposerWindow* New(const std::optional<std::string>& mailTo = std::nullopt);
    // One composer per selected message of the index window, in list order; each message
    // gets its status letter. `dropTo` is the mini address list entry messages were dropped
    // on (Forward and Bounce). Returns the number opened.
    int FromSelected(TFrmIndex& index, TReplyKind kind,
                     const std::optional<std::string>& dropTo = std::nullopt);
    // A composer on a message a script built (its EditMessage); the script goes on at once.
    ComposerWindow* FromScript(const TmsMessage& message);
    const std::vector<std::unique_ptr<ComposerWindow>>& Windows() const { return windows_; }
    // The mini address list a composer's To, Cc or Bcc button links to it, and the end of that.
    std::function<void(QWidget*)> LinkAddressList;
    std::function<void(QWidget*)> UnlinkAddressList;

  private:
    ComposerWindow* Make(TComposerMode mode);
    void Closed(ComposerWindow* window);
    void Filed();

    TFrmMain& main_;
    QtPlatform& platform_;
    std::function<void()> refresh_;
    std::vector<std::unique_ptr<ComposerWindow>> windows_;
};

}  // namespace kivo::ui
