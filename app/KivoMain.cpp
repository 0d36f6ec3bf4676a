#include "app/KivoMain.h"

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "base/platform.h"
#include "store/compress.h"
#include "store/indexfile.h"
#include "store/indexopen.h"
#include "store/mailboxlock.h"
#include "store/mbxfile.h"
#include "store/populate.h"

namespace kivo {

void TFrmMain::ViewFeedback::Pump() {
    // Called per message of a long pass: the screen gets its turn a few times a second.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < std::chrono::milliseconds(50)) return;
    lastPump_ = now;
    platform_.PumpScreen();
}

TFrmMain::TFrmMain(ProgramFolder folder, Platform& platform, TFrmMainView& view)
    : folder_(std::move(folder)),
      platform_(platform),
      view_(view),
      feedback_(view, platform),
      settings_(DefaultSettings(folder_.root)),
      transfer_(platform, view, settings_) {
    index_.Folder = folder_.MailFolder();
    transfer_.Hooks.MainShowsIn = [this] {
        return index_.Folder == folder_.MailFolder() && EqualsNoCase(index_.MailboxName, "In");
    };
    transfer_.Hooks.InIndexWindow = [this] {
        return transfer_.Hooks.MainShowsIn() ? &index_ : nullptr;
    };
    transfer_.Hooks.ReopenMailbox = [this](const std::filesystem::path& mbx) {
        std::error_code ec;
        if (!index_.MailboxName.empty() &&
            std::filesystem::equivalent(index_.Files().Mbx, mbx, ec)) {
            Init();
        }
    };
    Hooks.TransferRunning = [this] { return transfer_.Busy.Busy(); };
    Hooks.CancelTransfer = [this] { transfer_.CancelTransfer(); };
    Hooks.InitUserButtons = [this] {
        userButtons_ = kivo::InitUserButtons(IniFile(folder_.SettingsFile()));
    };
}

bool TFrmMain::BtnUser1Click(std::string_view keyPrefix, TScriptRunner& runner) {
    TAutoCheckSuspension holdTimer(transfer_.Timer);
    return kivo::BtnUser1Click(IniFile(folder_.SettingsFile()), keyPrefix, runner, transfer_);
}

void TFrmMain::Init() {
    if (Hooks.ReleaseMailbox && !index_.MailboxName.empty()) Hooks.ReleaseMailbox(index_);
    view_.ClearMessageView();
    shownNumber_ = 0;
    OpenMailboxIndex(index_, feedback_, CompressOnOpen);
    if (index_.RowCount() == 0) {
        view_.ClearMessageView();
    } else if (!Starting && view_.HasMessageView()) {
        ShowMessage(index_, index_.RowCount() - 1);
    }
    UpdateMessageCount();
}

void TFrmMain::SaveIndexOrThrow() {
    std::string failure;
    if (!SaveIndex(index_, &failure) && !failure.empty()) {
        throw EIndexNotSaved(index_.MailboxName, failure);
    }
}

void TFrmMain::SaveInfo() {
    if (index_.MailboxName.empty()) return;
    // Compression would write the flags of the index on file, not the ones in memory.
    SaveIndexOrThrow();
    const int deleted = index_.DeletedCount;
    if (!CompressOnClose) return;
    if (index_.NeedsCompress || deleted > 100 || deleted > index_.ItemCount() / 10) {
        index_.Saved = false;
        CompressMailbox(index_.Base(), true, feedback_);
        index_.NeedsCompress = false;
        index_.DeletedCount = 0;
    }
}

void TFrmMain::UpdateMessageCount() {
    view_.SetStatusText(2, MessageCountText());
}

bool TFrmMain::ShowMessage(TFrmIndex& window, int row) {
    return ShowMessageIn(window, row, false);
}

bool TFrmMain::ShowMessageSeparate(TFrmIndex& window, int row) {
    return ShowMessageIn(window, row, true);
}

bool TFrmMain::ShowMessageIn(TFrmIndex& window, int row, bool separate) {
    if (row < 0 || row >= window.RowCount()) return false;
    const int number = window.Row(row).Number;
    const bool docked = &window == &index_ && !separate;
    if (docked && number == shownNumber_) return false;
    UpdateMessageCount();
    if (showing_) return false;
    // Whatever ends the showing, also an error thrown to the caller, lets the next one start.
    struct Showing {
        TFrmMain& main;
        ~Showing() { main.EndShowing(); }
    };
    showing_ = true;
    view_.SetStatusText(0, "Retrieving message...");
    Showing showing{*this};
    if (window.Row(row).Unread) {
        window.SetFocused(row);
        window.ToggleUnread(true);
    }
    try {
        TShownLines lines = ExtractForView(window, number);
        if (separate) {
            view_.OpenMessageWindow(lines, number);
        } else {
            view_.ShowMessageLines(lines);
            if (&window == &index_) shownNumber_ = number;
        }
        transfer_.MessageShown();
        if (docked) messageArea_.MessageShown();
    } catch (const EMailboxChanged& e) {
        EndShowing();
        MailboxChanged(window, e);
        return false;
    } catch (const EIndexInvalid& e) {
        // The index no longer matches the file: compress and reopen where this window may
        // renumber the mailbox, else say so. A running check appends to In meanwhile: no
        // compression under it.
        EndShowing();
        if (&window == &index_ && CompressOnOpen && !transfer_.Busy.Busy()) {
            CompressMailbox1Click();
        } else if (&window == &index_) {
            platform_.ShowMessage(e.what());
        }
        return false;
    }
    return true;
}

void TFrmMain::EndShowing() {
    showing_ = false;
    view_.SetStatusText(0, "");
}

bool TFrmMain::StepMessage(int delta) {
    const int from = index_.Focused() >= 0           ? index_.Focused()
                     : index_.SelectedRows().empty() ? -1
                                                     : index_.SelectedRows().front();
    const int row = from + delta;
    if (from < 0 || row < 0 || row >= index_.RowCount()) return false;
    index_.SelectOnly(row);
    ShowMessage(index_, row);
    return true;
}

void TFrmMain::MailboxChanged(TFrmIndex& window, const EMailboxChanged& e) {
    if (&window == &index_) {
        Init();
    } else {
        OpenMailboxIndex(window, feedback_);
    }
    platform_.ShowMessage(e.what());
}

void TFrmMain::DeleteMessage1Click(TFrmIndex& window) {
    try {
        DeleteSelected(window, true, feedback_);
    } catch (const EMailboxChanged& e) {
        MailboxChanged(window, e);
        return;
    }
    if (window.RowCount() == 0) {
        view_.ClearMessageView();
    } else if (!window.SelectedRows().empty()) {
        ShowMessage(window, window.SelectedRows().front());
    }
    if (&window == &index_) UpdateMessageCount();
}

void TFrmMain::OpenIndexWindow(TFrmIndex& window) {
    window.Folder = folder_.MailFolder();
    OpenMailboxIndex(window, feedback_);
}

void TFrmMain::ReopenIndexWindow(TFrmIndex& window) {
    SaveIndex(window);
    OpenMailboxIndex(window, feedback_);
}

bool TFrmMain::CloseIndexWindow(TFrmIndex& window) {
    return window.MailboxName.empty() || SaveIndex(window);
}

void TFrmMain::DropOnIndex(TFrmIndex& source, TFrmIndex& target, bool copy) {
    if (&source == &target || source.SelectedRows().empty()) return;
    if (source.Folder == target.Folder && EqualsNoCase(source.MailboxName, target.MailboxName)) {
        return;
    }
    try {
        if (copy) {
            CopyToFile(source, &target, {}, feedback_);
        } else {
            MoveMessage(source, {}, &target, feedback_);
        }
    } catch (const EMailboxChanged& e) {
        MailboxChanged(source, e);
        return;
    }
    // The target lists what arrived: its index is saved and read again, which picks up the
    // messages appended to its file.
    if (&target == &index_) {
        SaveIndexOrThrow();
        Init();
    } else {
        ReopenIndexWindow(target);
    }
    if (!copy && &source == &index_) {
        if (index_.RowCount() == 0) view_.ClearMessageView();
        UpdateMessageCount();
    }
}

void TFrmMain::CompressMailbox1Click() {
    if (index_.MailboxName.empty()) return;
    SaveIndexOrThrow();
    CompressMailbox(index_.Base(), true, feedback_);
    Init();
}

void TFrmMain::EmptyTrash1Click() {
    EmptyTrash(folder_.MailFolder());
    if (EqualsNoCase(index_.MailboxName, "trash")) Init();
}

}  // namespace kivo
