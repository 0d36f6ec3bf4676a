#include "app/userbuttons.h"

#include <exception>

#include "base/bytes.h"
#include "base/inifile.h"
#include "transfer/transferfeedback.h"
#include "view/labels.h"

namespace kivo {

namespace {
constexpr std::string_view kSection = "Scripts";

std::string ButtonScript(const IniFile& ini, std::string_view keyPrefix) {
    return Trim(ini.ReadString(kSection, std::string(keyPrefix) + "Script", ""));
}
}  // namespace

std::string UserButtonKeyPrefix(std::size_t position) {
    return "Button" + std::to_string((position + 1) % TUserButtons::kCount);
}

TUserButtons InitUserButtons(const IniFile& ini) {
    TUserButtons model;
    for (std::size_t n = 0; n < TUserButtons::kCount; ++n) {
        const std::string prefix = UserButtonKeyPrefix(n);
        if (ButtonScript(ini, prefix).empty()) continue;
        const std::string desc = Trim(ini.ReadString(kSection, prefix + "Desc", ""));
        TUserButton& button = model.Buttons[n];
        // Counted in letters: a cut never splits a UTF-8 letter of a description.
        button.Caption = Utf8Prefix(desc, 11);
        button.Hint = Utf8Prefix(desc, 60);
        button.Visible = button.Enabled = true;
        model.Items[n] = {button.Hint, true, true};
        model.QuickRunEnabled = true;
    }
    return model;
}

bool BtnUser1Click(const IniFile& ini, std::string_view keyPrefix, TScriptRunner& runner,
                   TTransferFeedback& feedback) {
    bool ok = true;
    const std::string script = ButtonScript(ini, keyPrefix);
    if (!script.empty()) {
        try {
            runner.RunOnSelectedMessages(script);
        } catch (const std::exception& e) {
            feedback.ErrorLevel(2, "Script \"" + script + "\" could not run: " + e.what());
            ok = false;
        }
    }
    feedback.StatusText(0, "");
    return ok;
}

}  // namespace kivo
