#pragma once
// What the mailbox commands share: the main window's core on the terminal, mailbox names as
// the user types them, and a platform whose questions are answered by a command-line switch.

#include <string>
#include <string_view>
#include <vector>

#include "app/KivoMain.h"
#include "app/cli/cli.h"
#include "base/platform.h"

namespace kivo::cli {

// Forwards to the terminal platform, but tips and boxes are kept for the command to print
// (as its result) and questions get the answer of --yes.
class StorePlatform : public Platform {
  public:
    StorePlatform(Platform& terminal, bool yes) : terminal_(terminal), yes_(yes) {}
    std::vector<std::string> notices;  // tips and boxes, in order
    std::vector<std::string> questions;

    void Pump() override { terminal_.Pump(); }
    bool AbortRequested() const override { return terminal_.AbortRequested(); }
    void ClearAbortRequest() override { terminal_.ClearAbortRequest(); }
    void ShowTip(std::string_view text) override { notices.emplace_back(text); }
    void ShowMessage(std::string_view text) override { notices.emplace_back(text); }
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return yes_;
    }
    bool InputText(std::string_view, std::string_view, std::string&) override { return false; }
    bool InputPassword(std::string_view, std::string_view, std::string&) override { return false; }
    void PlaySound(std::string_view) override {}
    bool ShellOpen(std::string_view) override { return false; }
    int RunAndWait(const std::vector<std::string>&) override { return -1; }

  private:
    Platform& terminal_;
    bool yes_;
};

// The main window's view on the terminal: keeps the message shown last.
class StoreView : public TFrmMainView {
  public:
    TShownLines shown;
    bool hasMessage = false;
    void ShowMessageLines(const TShownLines& message) override {
        shown = message;
        hasMessage = true;
    }
    void ClearMessageView() override { hasMessage = false; }
};

// A mailbox path as typed ("in", "Work\Alpha"): slashes, and the system mailboxes' own names.
std::string MailboxName(std::string_view typed);
// Opens a mailbox in the main window as Init does. Throws when the mailbox does not exist,
// except for the system mailboxes, which are created.
void OpenMailbox(TFrmMain& main, std::string_view typed);
// Names the mailbox in the main index window without opening it; throws as OpenMailbox.
void NameMailbox(TFrmMain& main, std::string_view typed);
// Saves the open mailbox's state after a command (SaveInfo). The command's change is made by
// then: an index that cannot be saved (it is built again on the next access) or a compression
// that fails is only noted on the terminal, and not even that when `quiet` (the command
// failed and its error line says so).
void SaveAfterCommand(Context& ctx, TFrmMain& main, bool quiet = false);
// Selects the entries of the message numbers; throws when a number given alone, or every
// number of the set, has no entry in the mailbox.
void SelectNumbers(TFrmIndex& index, const TNumberSet& numbers);
// The mailbox the program opens at start ([Program] "Opened", default In).
std::string OpenedAtStart(const Context& ctx);

}  // namespace kivo::cli
