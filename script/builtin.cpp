#include "script/builtin.h"

#include "base/files.h"
#include "script/scriptvalues.h"

namespace kivo {

namespace {

// clang-format off
constexpr std::string_view kCollection = R"KIV({### About Kivo Script
{Shows a few lines about KivoScript.}
Set $t "KivoScript is the small language of Kivo's mail filters."
AppendBody $t "Scripts run on incoming mail, on outgoing mail, or on the messages"
AppendBody $t "you select, from the Filters and Scripts window or a user button."
AppendBody $t "Press F4 to see the scripts and their help."
Beep
MessageBox $t
{### Archive Old Mail
{Moves a message older than a number of days into an archive mailbox.}
{Run it on selected messages, or add it to the Incoming list.}
External $userdata1 "Archive messages older than: (days)" "30"
External $userdata2 "Which mailbox should I archive them to:" "Archives"
GetDate $today
ReadHeader $date Date %message
SubDays #age $today $date
Set #limit $userdata1
If #age > #limit then Archive
Exit
:Archive
AppendToFile True
Set $box $userdata2
AddStrings $box ".mbx"
SaveMessage %message $box
RefreshMailboxes
DeleteMessage %message
{### Calculator
{Starts a calculator: GNOME Calculator, Galculator, KCalc or xcalc, whichever is installed.}
FileExists &found "/usr/bin/gnome-calculator"
If &found then Gnome
FileExists &found "/usr/bin/galculator"
If &found then Galculator
FileExists &found "/usr/bin/kcalc"
If &found then KCalc
FileExists &found "/usr/bin/xcalc"
If &found then XCalc
MessageBox "No calculator is installed. Install one, for example: apt install gnome-calculator"
Exit
:Gnome
Execute "gnome-calculator"
Exit
:Galculator
Execute "galculator"
Exit
:KCalc
Execute "kcalc"
Exit
:XCalc
Execute "xcalc"
{### Create Mailbox
{Asks for a name and creates an empty mailbox of that name.}
InputBox $name "Name of the new mailbox:" "Brand New Mailbox"
AddStrings $name ".mbx"
Set $blank " "
SaveBody $blank $name
RefreshMailboxes
{### Display Raw Message
{Opens the message as it is stored in your text editor.}
SaveMessage %message "~msg.txt"
Execute "~msg.txt"
Wait 3
DeleteFile "~msg.txt"
{### Filter Message
{Copies a message whose chosen header contains a word into a mailbox and,}
{unless you keep the original, deletes it from where it was.}
External $userdata1 "Which header would you like me to scan" {ID1}"From"
External $userdata2 "What word should I look for" {ID2}"newsletter"
External $userdata3 "Which mailbox should I copy it to" {ID3}"Newsletters"
External $userdata4 "Keep the original message?" {ID4}"Yes"
AppendToFile True
ReadHeader $header $UserData1 %message
Lowercase $header
Lowercase $UserData2
If $UserData2 ^ $header then PerformCopy
Exit
:PerformCopy
AddStrings $UserData3 ".mbx"
SaveMessage %message $UserData3
RefreshMailboxes
Set &k $userdata4
Not &k
if &k then Delete
Exit
:Delete
DeleteMessage %message
{### New Message Template
{Opens a new message with a subject, recipients and a body from a template file.}
External $userdata1 "Subject:" "Weekly report"
External $userdata2 "To:" ""
External $userdata3 "Cc:" ""
External $userdata4 "Bcc:" ""
External $userfile1 "Create body template" "template.txt"
CreateMessage %new
SetHeader %new Subject $userdata1
If $userdata2 = "" then NoTo
AddTo %new $userdata2
:NoTo
If $userdata3 = "" then NoCc
AddCC %new $userdata3
:NoCc
If $userdata4 = "" then NoBcc
AddBCC %new $userdata4
:NoBcc
FileExists &t $userfile1
If &t then Template
AssignBody %new "Write the body template into template.txt in the mail folder (Setup page, Create body template)."
Goto Edit
:Template
OpenBody $body $userfile1
AssignBody %new $body
:Edit
EditMessage %new
{### Reply with Template
{Opens a reply whose body is a template file followed by the quoted message.}
External $userdata1 "Choose a character to quote message with:" ":::"
External $userfile1 "Create body template" "rtemplate.txt"
CreateMessage %reply
ReadHeader $subject Subject %message
Set $re "Re: "
AddStrings $re $subject
SetHeader %reply Subject $re
ReadHeader $from From %message
AddTo %reply $from
OpenBody $body $userfile1
ReadBody $quoted %message
QuoteBody $quoted $userdata1
AddStrings $body $quoted
AssignBody %reply $body
EditMessage %reply
{### Vacation Message
{Answers an incoming message with a template file and the quoted message; the answer}
{waits in Out and goes with the next sending of the queue.}
External $userfile1 "Create message template" "vacation.txt"
CreateMessage %reply
ReadHeader $subject Subject %message
Set $re "Re: "
AddStrings $re $subject
SetHeader %reply Subject $re
ReadHeader $from From %message
AddTo %reply $from
OpenBody $body $userfile1
ReadBody $quoted %message
QuoteBody $quoted
AddStrings $body $quoted
AssignBody %reply $body
AppendToFile True
SaveMessage %reply "Out.mbx"
)KIV";
// clang-format on

struct TNamedScript {
    std::string name;
    std::vector<std::string> lines;
};

std::vector<TNamedScript> SplitCollection() {
    std::vector<TNamedScript> scripts;
    for (std::string& line : ValueLines(kCollection)) {
        if (line.starts_with("{###")) {
            std::string name = line.size() > 5 ? line.substr(5) : std::string();
            if (!name.empty() && name.back() == '}') name.pop_back();
            scripts.push_back({std::move(name), {}});
        }
        if (!scripts.empty()) scripts.back().lines.push_back(std::move(line));
    }
    return scripts;
}

}  // namespace

std::string_view BuiltInScripts() {
    return kCollection;
}

std::vector<std::string> SaveBuiltIn(const std::filesystem::path& scriptFolder) {
    std::vector<std::string> names;
    for (const TNamedScript& script : SplitCollection()) {
        WriteFileAtomic(scriptFolder / (script.name + ".kiv"), JoinValueLines(script.lines));
        names.push_back(script.name);
    }
    return names;
}

std::vector<std::string> FilterMessageTemplate() {
    for (TNamedScript& script : SplitCollection()) {
        if (script.name == "Filter Message") {
            script.lines.erase(script.lines.begin());
            return script.lines;
        }
    }
    return {};
}

}  // namespace kivo
