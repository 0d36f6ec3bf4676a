#pragma once
// What a new program folder starts with: the ten user buttons' defaults in kivo.ini's
// [Scripts] section and the welcome mailbox, two messages in In that greet the user and give
// tips. The built-in scripts come from the script engine.

#include "app/programfolder.h"
#include "base/datetime.h"

namespace kivo {

// One user button's defaults: the script it runs and its description.
struct TUserButtonDefault {
    const char* Script;
    const char* Desc;
};

// Buttons 1 to 9, then 0, in the order of their keys "Button1Script" ... "Button0Desc".
extern const TUserButtonDefault kDefaultUserButtons[10];

class TFirstRunFiles : public TFirstRunContent {
  public:
    // `now` dates the welcome messages; unset means the clock's time.
    explicit TFirstRunFiles(std::optional<DateTime> now = std::nullopt) : now_(now) {}

    // Writes the built-in scripts into the new script folder.
    void WriteBuiltInScripts(const ProgramFolder& folder) override;
    // Writes the button keys into [Scripts] of kivo.ini, keeping everything else there.
    void WriteDefaultUserButtons(const ProgramFolder& folder) override;
    // Writes Mail/In.mbx with the two welcome messages.
    void WriteWelcomeMailbox(const ProgramFolder& folder) override;

  private:
    std::optional<DateTime> now_;
};

// The welcome mailbox's text, CR LF line ends.
std::string WelcomeMailbox(const DateTime& when);

}  // namespace kivo
