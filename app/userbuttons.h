#pragma once
// The ten user buttons of the main window and their "Script &Quick Run" menu items, built
// from kivo.ini's [Scripts] keys "Button1Script"/"Button1Desc" ... "Button0Script"/
// "Button0Desc"; a click runs the button's script on the selected messages. The window draws
// the model; the script engine runs the script.

#include <array>
#include <string>
#include <string_view>

namespace kivo {

class IniFile;
class TTransferFeedback;

// What the script engine offers the buttons.
class TScriptRunner {
  public:
    virtual ~TScriptRunner() = default;
    // Runs the script of the script folder on the messages selected in the main index
    // window; throws when it cannot (a missing script file, a script error).
    virtual void RunOnSelectedMessages(std::string_view scriptName) = 0;
};

struct TUserButton {
    std::string Caption;  // the description's first 11 characters
    std::string Hint;     // its first 60 characters
    bool Visible = false;
    bool Enabled = false;
};

struct TQuickRunItem {
    std::string Caption;  // the button's hint
    bool Visible = false;
    bool Enabled = false;
};

struct TUserButtons {
    static constexpr std::size_t kCount = 10;
    std::array<TUserButton, kCount> Buttons;  // in the order 1..9, 0
    std::array<TQuickRunItem, kCount> Items;  // "&1".."&0" and their keys Ctrl+1..Ctrl+0
    bool QuickRunEnabled = false;             // "Script &Quick Run": some button is used
};

// "Button1" .. "Button9", "Button0" for positions 0..9.
std::string UserButtonKeyPrefix(std::size_t position);

TUserButtons InitUserButtons(const IniFile& ini);

// The click of a button or menu item with the key prefix "Button1".."Button0": runs its
// script (when one is set) on the selected messages. A failure goes to the progress log as
// an error; either way the first status panel is cleared afterwards. False on a failure.
bool BtnUser1Click(const IniFile& ini, std::string_view keyPrefix, TScriptRunner& runner,
                   TTransferFeedback& feedback);

}  // namespace kivo
