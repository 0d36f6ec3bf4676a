// SendMessage and AppendSignature: the message commands that reach the account's servers
// and files.

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/files.h"
#include "base/inifile.h"
#include "compose/placeholders.h"
#include "compose/signatures.h"
#include "script/commandhelp.h"
#include "script/scripthost.h"
#include "script/scriptvalues.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {

std::string SmtpServer(const TScriptInterpreter& s) {
    const IniFile accounts(s.Paths().accountsFile);
    std::string server = accounts.ReadString(s.CurrentAccount(), "SMTP", "");
    if (server.empty()) server = IniFile(s.Paths().settingsFile).ReadString("Mail", "SMTP", "");
    if (server.empty()) server = accounts.ReadString(s.CurrentAccount(), "POPServer", "");
    return server;
}

// The sent (or unsent) message in Sent or Out: attachments turned into their file lines.
std::vector<std::string> FiledLines(TmsMessage& m, const std::vector<std::string>& bcc) {
    m.Headers().Add("X-Bcc: " + ToCommaText(bcc));
    for (std::size_t i = 0; i < m.Attachments().Count();) {
        const std::string& name = m.Attachments().Items(i).FileName();
        if (AttachmentBaseName(name).starts_with("_alt.")) {
            ++i;
            continue;
        }
        m.Body().push_back(CutShort("Attachment Converted: \"" + name + "\""));
        m.Attachments().Delete(i);
    }
    // The literal is split so that no "??/" trigraph appears in it.
    std::vector<std::string> lines{"",
                                   "From ???@??? ?"
                                   "?/?"
                                   "?/?"
                                   "??? ??:??:??",
                                   "Status: RS"};
    for (std::string& line : ValueLines(m.SaveToString())) {
        if (line.starts_with("From ")) line.insert(0, ">");
        lines.push_back(std::move(line));
    }
    return lines;
}

void SendMessage(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "SendMessage needs 1 parameter");
    NeedSigil(p[0], '%', "Parameter for SendMessage has to be a message variable (%var)");
    TmsMessage& m = s.CreateMsg(p[0]);
    const std::vector<std::string> bcc = FromCommaText(m.Headers().GetFieldValue("X-Bcc"));
    m.Headers().RemoveField("X-Bcc");
    for (const std::string& item : bcc) m.BCC().AddAddress(item, "");

    const std::string server = SmtpServer(s);
    s.Host().Log(1, "SCRIPT: Sending mail via " + server + " SMTP server");
    bool sent = false;
    try {
        sent = s.Host().SendMessage(m, server, s.CurrentAccount());
    } catch (const std::exception&) {
        sent = false;
    }
    if (!sent) s.Host().Log(2, "SCRIPT: Could not connect to " + server + " SMTP server<br>");
    const char* mailbox = sent ? "sent.mbx" : "out.mbx";
    AppendToFile(FiledLines(m, bcc), FindFileNoCase(s.Paths().mailFolder, mailbox));
}

void AppendSignature(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "AppendSignature needs only 1 parameter");
    NeedSigil(p[0], '%', "Parameter for AppendSignature has to be a message variable (%var)");
    TmsMessage& m = s.CreateMsg(p[0]);
    const std::string name =
        IniFile(s.Paths().accountsFile).ReadString(s.CurrentAccount(), "Sig", "");
    std::error_code ec;
    if (name.empty() ||
        !std::filesystem::is_regular_file(SignatureFile(s.Paths().signatureFolder, name), ec)) {
        return;
    }
    const std::string text = ExpandPlaceholders(s.Paths().accountsFile, s.CurrentAccount(),
                                                ReadSignature(s.Paths().signatureFolder, name));
    for (std::string& line : ValueLines(text)) m.Body().push_back(std::move(line));
}

constexpr TCommandEntry kCommands[] = {
    {"sendmessage", SendMessage},
    {"appendsignature", AppendSignature},
};

}  // namespace

std::span<const TCommandEntry> SendCommands() {
    return kCommands;
}

}  // namespace kivo
