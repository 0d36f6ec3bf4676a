#include "app/firstrun.h"

#include <string>
#include <vector>

#include "app/settings.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "mail/rfc822date.h"
#include "script/builtin.h"

namespace kivo {

// clang-format off
const TUserButtonDefault kDefaultUserButtons[10] = {
    {"About Kivo Script", "What's this?"},
    {"Calculator", "Calculator"},
    {"Display Raw Message", "Raw Msg     - Display Raw Message"},
    {"Create Mailbox", "Create Box"},
    {"New Message Template", "N. Template - New Message Template"},
    {"Reply with Template", "R. Template - Reply with Template"},
    {"Archive Old Mail", "Archive Old Mail"},
    {"Filter Message", "Filter Msg"},
    {"", ""},
    {"", ""},
};
// clang-format on

namespace {

constexpr const char* kWelcomeSender = "welcome@kivo.invalid";

// The pages are HTML; no line may start with "From ", which would split the message.
const std::vector<std::string> kTipsPage = {
    "<html><body>",
    "<h2>Tips for Kivo</h2>",
    "<ul>",
    "<li><b>Check mail</b> with Ctrl+M, <b>send queued mail</b> with Ctrl+Y. With automatic "
    "checking on (Options, F7) Kivo checks every few minutes by itself.</li>",
    "<li><b>Accounts</b> (F3): add as many POP3 accounts as you like; untick an account to "
    "leave it out of a check, or tell Kivo to leave its mail on the server.</li>",
    "<li><b>Mailboxes</b> (F8): make your own mailboxes and folders, drag messages onto them "
    "to move them, hold Ctrl to copy.</li>",
    "<li><b>Filters</b> (F4): KivoScript scripts in the Incoming list run on every message "
    "that arrives; sort, file, answer or delete mail before you see it.</li>",
    "<li><b>User buttons</b>: the buttons at the right of the toolbar run a script on the "
    "selected messages. Ctrl+1 to Ctrl+0 do the same from the keyboard.</li>",
    "<li><b>Address book</b> (F5): type a nickname in the To field and Kivo fills in the "
    "address.</li>",
    "<li><b>Signatures</b> know %fullname%, %email%, %date% and %time%.</li>",
    "<li><b>Find</b> (Ctrl+F) copies every message that holds a text into a results "
    "mailbox.</li>",
    "<li><b>Progress messages</b> (F12) show what happened during the last check or send.</li>",
    "</ul>",
    "</body></html>",
};

const std::vector<std::string> kWelcomePage = {
    "<html><body>",
    "<h2>Welcome to Kivo!</h2>",
    "<p>Thank you for choosing Kivo. Your mail stays on your own computer, in plain text "
    "files in Kivo's program folder, where you can back it up like any other file.</p>",
    "<p>If you have not entered your account yet, open <b>Accounts setup</b> with F3, then "
    "press Ctrl+M to fetch your mail.</p>",
    "<p>The message before this one holds a few tips. Enjoy your mail!</p>",
    "</body></html>",
};

void AppendMessage(std::vector<std::string>& lines, const DateTime& when,
                   const std::string& subject, const std::vector<std::string>& page) {
    lines.push_back(std::string("From ") + kWelcomeSender + " " + FormatProgramDate(when));
    lines.push_back(std::string("From: Kivo <") + kWelcomeSender + ">");
    lines.push_back("To: New Kivo User");
    lines.push_back("Date: " + FormatRfc822Date(when, LocalZone()));
    lines.push_back("Subject: " + subject);
    lines.push_back("Content-Type: text/html");
    lines.push_back("Priority: Normal");
    lines.push_back("");
    lines.insert(lines.end(), page.begin(), page.end());
    lines.push_back("<br>");
    lines.push_back(std::string("<font size=\"-1\"><b>VERSION SIGNATURE: ") + kProgramVersion +
                    "</b></font><br>");
}

}  // namespace

std::string WelcomeMailbox(const DateTime& when) {
    std::vector<std::string> lines;
    AppendMessage(lines, when, "Tips for using Kivo", kTipsPage);
    AppendMessage(lines, when, "Welcome to Kivo", kWelcomePage);
    return JoinLinesCrLf(lines);
}

void TFirstRunFiles::WriteBuiltInScripts(const ProgramFolder& folder) {
    SaveBuiltIn(folder.ScriptFolder());
}

void TFirstRunFiles::WriteDefaultUserButtons(const ProgramFolder& folder) {
    IniFile ini(folder.SettingsFile());
    for (int i = 0; i < 10; ++i) {
        const std::string prefix = "Button" + std::to_string((i + 1) % 10);
        ini.WriteString("Scripts", prefix + "Script", kDefaultUserButtons[i].Script);
        ini.WriteString("Scripts", prefix + "Desc", kDefaultUserButtons[i].Desc);
    }
    ini.UpdateFile(FileAccess::Private);
}

void TFirstRunFiles::WriteWelcomeMailbox(const ProgramFolder& folder) {
    WriteFileAtomic(FindFileNoCase(folder.MailFolder(), "In.mbx"),
                    WelcomeMailbox(now_.value_or(DateTime::Now())));
}

}  // namespace kivo
