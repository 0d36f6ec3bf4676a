#include "script/scripthelp.h"

#include "base/bytes.h"
#include "script/commandhelp.h"

namespace kivo {

namespace {

constexpr std::string_view kHelp = R"HELP(Kivo Script help

General
A script is a text file with the extension .kiv in the Scripts folder of the program folder.
It runs line by line: the first word of a line is the command, the other words are its
parameters. Words are separated by blanks; text in double quotes is one word, and \" \\ and
\n inside it give a double quote, a backslash and a line break. Text in braces { } at the
start of a word is a comment. A line that is only a colon and a name, such as :Done, is a
label that Goto and If jump to. Lines whose first word is no command are skipped.
Scripts run on every received message (the Incoming list), on every message sent (the
Outgoing list), on the messages selected in the message list (Now and the user buttons), or
without a message as a dry run from the editor. Press Esc to stop a running script.

Variables
A variable's first character says its kind: $name holds text, #name a whole number, &name a
yes/no value and %name a mail message. Names are the same in any letter case. A variable is
made when a command writes it; reading one that was never written stops the script.
%message is the message the script runs on. $mailpath, $scriptpath and $apppath hold the
mail, script and program folders. A message is deleted from the list it came in by
DeleteMessage %message.
Yes/no values read as no for 0, false, off and no (any letter case) and as yes for anything
else; commands write 1 and 0.

Operators
The comparisons of Set and If take one of these operators:
=  equal
!  not equal
<  less than
>  greater than
^  contained in: true when the left text occurs in the right text
Two whole numbers are compared as numbers, everything else as text with upper case before
lower case. A left operand starting with $$ is always compared as text.

Files
File names without a folder mean files in the mail folder. SaveMessage and SaveBody
overwrite their file unless AppendToFile True was run before them; a mailbox is a file with
the extension .mbx, so SaveMessage %message Work.mbx in append mode files a message there.

Commands
Set $var value
Sets a variable: Set $a "text", Set #n 5, Set $b $a. Set &flag left op right stores the
result of a comparison.
If &flag then label
Jumps to the label when the flag reads yes.
If left op right then label
Jumps to the label when the comparison is true, such as If #count > 10 then Many.
Goto label
Continues after the line :label.
Exit
Ends the script.
External $var desc [value]
Declares a user setting: $userdata1 to $userdata4 are fields and $userfile1 to $userfile4
files on the Setup page; the script gets the value.
InputBox $var desc [value]
Asks the user for a text; Cancel ends the script.
AddStrings $a v [v ...]
Appends the values to $a.
SubStrings $a v
Removes the first occurrence of v from $a.
Lowercase $a
Turns the letters A to Z of $a into lower case.
Uppercase $a
Turns the letters a to z of $a into upper case.
Trim $a
Removes blanks and control characters at both ends of $a.
InsertString $a pos v
Inserts v into $a at character position pos (from 1).
InsertLine $a pos v
Inserts v as a new line before line pos (from 0) of $a, or at the end.
StringPos #n sub str
Sets #n to the position (from 1) of sub in str, 0 when it is not there.
GetLine $a pos $b
Sets $a to line pos (from 0) of $b.
ChopString $a pos count
Deletes count characters of $a from position pos (from 1).
AppendBody $a v
Appends the lines of v to $a, each ending with a line break.
QuoteBody $a [q]
Puts q (default >) before every line of $a.
UnquoteBody $a [q]
Removes one leading q (default >) from every line of $a.
ExtractName $a
Turns an address such as "Ann Lee" <ann@example.org> into the name.
ExtractEmail $a
Turns an address into the bare address.
AddIntegers #a v
Adds v to #a.
SubIntegers #a v
Subtracts v from #a.
Multiply #a v
Multiplies #a by v.
Divide #a v
Divides #a by v, dropping the remainder; dividing by 0 gives 0.
And &a v
Sets &a to yes when both &a and v read yes.
Or &a v
Sets &a to yes when &a or v reads yes.
Xor &a v
Sets &a to yes when exactly one of &a and v reads yes.
Not &a
Turns &a from yes to no and back.
IsNumber &a v
Sets &a to yes when v is a whole number.
IsBoolean &a v
Sets &a to yes when v is one of 1, 0, true, false, yes, no, on, off.
GetDate $a
Sets $a to today's date.
GetTime $a
Sets $a to the time of day.
SubDays #a $b $c
Sets #a to the number of days from date $c to date $b.
AppendToFile v
With a yes value, SaveMessage and SaveBody append to their file instead of replacing it.
OpenBody $a file
Reads a text file into $a.
SaveBody $a file
Writes $a to a text file.
DeleteFile file
Deletes a file.
FileExists &a file
Sets &a to yes when the file exists.
Execute file [params]
Opens a file or starts a program and goes on.
ExecuteAndWait file [params]
Starts a program and waits until it ends.
MessageBox text
Shows the text and waits for OK.
Beep
Sounds the system beep.
PlaySound sound
Plays a sound file.
Wait seconds
Pauses the script; Esc ends the pause and the script.
RefreshMailboxes
Reads the mailbox list again, after a script made a mailbox.
CreateMessage %m
Makes %m an empty message.
OpenMessage %m file
Reads a message from a file into %m.
SaveMessage %m file
Writes %m to a file or mailbox.
EditMessage %m
Opens %m in a new message window.
DeleteMessage %m
Marks %m deleted; for %message the message is then not stored or sent.
SendMessage %m
Sends %m at once through the account's mail server.
SetHeader %m header value
Sets a header line of %m, such as SetHeader %m Subject "Hello".
ReadHeader $a header %m
Sets $a to the value of a header line of %m.
AddTo %m address
Adds a To recipient.
AddCC %m address
Adds a Cc recipient.
AddBCC %m address
Adds a Bcc recipient.
ClearTo %m
Removes all To recipients.
ClearCC %m
Removes all Cc recipients.
ClearBCC %m
Removes all Bcc recipients.
AssignBody %m v
Replaces the text of %m by v.
ReadBody $a %m
Sets $a to the text of %m.
ClearBody %m
Empties the text of %m.
AppendSignature %m
Appends the current account's signature to the text of %m.
ReadAccount $a
Sets $a to the name of the current account.
ReadFullname $a
Sets $a to the current account's full name.
ReadEmail $a
Sets $a to the current account's e-mail address.
ReadPOPServer $a
Sets $a to the current account's POP3 server.
ReadPOPLogin $a
Sets $a to the current account's POP3 user name.
ReadPassword $a
Sets $a to the current account's stored (scrambled) password.
ReadSignature $a
Sets $a to the current account's signature name.
ReadAccountTag $a
Sets $a to the current account's tag.
SetAccount v
Makes the account named v the current one; scripts start with the default account.
SetFullname v
Changes the current account's full name.
SetEmail v
Changes the current account's e-mail address.
SetPOPServer v
Changes the current account's POP3 server.
SetPOPLogin v
Changes the current account's POP3 user name.
SetPassword v
Stores v as the current account's password, as it is (scrambled text).
SetSignature v
Changes the current account's signature name.
SetAccountTag v
Changes the current account's tag.
)HELP";

}  // namespace

std::string_view ScriptHelpText() {
    return kHelp;
}

std::string_view ScriptHelpIndexRoot() {
    return "Kivo Script";
}

std::vector<std::string> ScriptHelpIndexEntries() {
    return {"General", "Variables", "Operators", "Commands"};
}

namespace {

bool IsHeading(std::string_view line) {
    for (std::string_view heading : {"General", "Variables", "Operators", "Files", "Commands"}) {
        if (line == heading) return true;
    }
    return false;
}

std::string FirstWord(std::string_view line) {
    return LowerCase(line.substr(0, line.find(' ')));
}

}  // namespace

std::optional<std::string> ScriptHelpOn(std::string_view topic) {
    const std::string wanted = LowerCase(Trim(topic));
    if (wanted.empty()) return std::nullopt;
    const std::vector<std::string> lines = SplitLines(kHelp);
    std::string text;
    bool inSection = false;  // inside the section asked for
    bool inCommands = false;
    bool inParagraph = false;  // inside a paragraph of the command asked for
    for (const std::string& line : lines) {
        if (IsHeading(line)) {
            inSection = LowerCase(line) == wanted;
            inCommands = line == "Commands";
            inParagraph = false;
        } else if (inCommands && FindScriptCommand(FirstWord(line))) {
            // A syntax line starts a command's paragraph.
            inParagraph = FirstWord(line) == wanted;
        } else if (line.empty()) {
            inParagraph = false;
        }
        if (inSection || inParagraph) text += line + "\n";
    }
    while (text.ends_with("\n\n")) text.pop_back();
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<THelpMatch> FindHelpTopic(std::string_view helpText, std::string_view topic) {
    if (topic.empty()) return std::nullopt;
    const std::string wanted = LowerCase(topic);
    std::size_t start = helpText.find('\n');
    while (start != std::string_view::npos) {
        ++start;
        if (LowerCase(helpText.substr(start, wanted.size())) == wanted) {
            return THelpMatch{start, wanted.size()};
        }
        start = helpText.find('\n', start);
    }
    return std::nullopt;
}

std::string WordAtCaret(std::string_view text, std::size_t caret) {
    caret = std::min(caret, text.size());
    // The editor takes tabs, and an indented command is still a word of its own.
    const auto stop = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t begin = caret;
    while (begin > 0 && !stop(text[begin - 1])) --begin;
    std::size_t end = caret;
    while (end < text.size() && !stop(text[end])) ++end;
    return std::string(text.substr(begin, end - begin));
}

}  // namespace kivo
