#include "ui/composerlist.h"

#include <QTimer>

#include "app/KivoMain.h"
#include "base/bytes.h"
#include "compose/scriptedit.h"
#include "store/mbxfile.h"
#include "ui/composerwindow.h"
#include "ui/qtplatform.h"

namespace kivo::ui {

ComposerList::ComposerList(TFrmMain& main, QtPlatform& platform, std::function<void()> refresh)
    : main_(main), platform_(platform), refresh_(std::move(refresh)) {}

ComposerList::~ComposerList() {
    for (const auto& window : windows_) main_.OpenWindows().Remove(*window);
}

ComposerWindow* ComposerList::Make(TComposerMode mode) {
    windows_.push_back(std::make_unique<ComposerWindow>(main_, platform_, mode));
    ComposerWindow* window = windows_.back().get();
    window->Closed = [this](ComposerWindow* w) { Closed(w); };
    window->MessageFiled = [this] { Filed(); };
    window->LinkAddressList = LinkAddressList;
    window->UnlinkAddressList = UnlinkAddressList;
    main_.OpenWindows().Add(*window);
    return window;
}

void ComposerList::Closed(ComposerWindow* window) {
    main_.OpenWindows().Remove(*window);
    // The window is let go of once its close event has returned.
    QTimer::singleShot(0, this, [this, window] {
        std::erase_if(windows_, [window](const auto& w) { return w.get() == window; });
    });
}

void ComposerList::Filed() {
    // Out or Sent on show is read again: the composer wrote to its file, not to the list.
    const std::string shown = main_.MainIndex().MailboxName;
    if (EqualsNoCase(shown, "Out") || EqualsNoCase(shown, "Sent")) {
        try {
            main_.Init();
        } catch (const std::exception& e) {
            main_.Transfer().ErrorLevel(2, e.what());
        }
    }
    if (refresh_) refresh_();
}

ComposerWindow* ComposerList::New(const std::optional<std::string>& mailTo) {
    ComposerWindow* window = Make(cmNew);
    if (mailTo && !Trim(*mailTo).empty()) window->Composer().InitMailTo(*mailTo);
    window->Open();
    return window;
}

ComposerWindow* ComposerList::FromScript(const TmsMessage& message) {
    ComposerWindow* window = Make(cmScript);
    FillFromScript(window->Composer(), message);
    window->Open();
    return window;
}

int ComposerList::FromSelected(TFrmIndex& index, TReplyKind kind,
                               const std::optional<std::string>& dropTo) {
    const TComposerMode mode = kind == TReplyKind::Forward  ? cmForward
                               : kind == TReplyKind::Bounce ? cmBounce
                                                            : cmReply;
    int opened = 0;
    for (const int row : index.SelectedRows()) {
        std::vector<std::string> lines;
        try {
            ExtractMsg(index.Row(row).Number, index.Files().Mbx, lines);
        } catch (const std::exception& e) {
            platform_.ShowMessage(e.what());
            continue;
        }
        ComposerWindow* window = Make(mode);
        const ProgramFolder& folder = main_.Folder();
        if (!FillFromMessage(window->Composer(), kind, ReplyLines(std::move(lines)),
                             folder.AccountsFile(), folder.SettingsFile(), dropTo)) {
            window->Discard();
            continue;
        }
        index.UpdateIndexIcons(row, ReplyStatusLetter(kind)[0]);
        window->Open();
        ++opened;
    }
    if (opened > 0 && refresh_) refresh_();
    return opened;
}

}  // namespace kivo::ui
