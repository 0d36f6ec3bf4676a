// The message commands: create, open, save, mark deleted, and read or change the headers,
// recipients and body of message variables.

#include "base/bytes.h"
#include "base/commatext.h"
#include "base/files.h"
#include "mail/quotedprintable.h"
#include "script/commandhelp.h"
#include "script/prepmessage.h"
#include "script/scripthost.h"
#include "script/scriptvalues.h"
#include "store/mailaddress.h"
#include "store/mbxfile.h"

namespace kivo {

namespace {

TmsMessage& MessageVar(TScriptInterpreter& s, std::string_view token, const char* message) {
    NeedSigil(token, '%', message);
    return s.CreateMsg(token);
}

void CreateMessage(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "CreateMessage needs 1 parameter");
    MessageVar(s, p[0], "Parameter for CreateMessage has to be a message variable (%var)");
}

// Moves the comma text of the "X-Bcc" field into BCC and removes the field.
void ReadBccField(TmsMessage& m) {
    const std::string bcc = m.Headers().GetFieldValue("X-Bcc");
    if (bcc.empty()) return;
    for (const std::string& item : FromCommaText(bcc)) m.BCC().AddAddress(item, "");
    m.Headers().RemoveField("X-Bcc");
}

void OpenMessage(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "OpenMessage needs 2 parameters");
    TmsMessage& m =
        MessageVar(s, p[0], "First parameter for OpenMessage has to be a message variable (%var)");
    std::vector<std::string> lines = ValueLines(ReadFileBytes(s.FilePath(s.GetValue(p[1]))));
    PrepMessage(lines);
    m.LoadFromBytes(JoinValueLines(lines));
    ReadBccField(m);
}

void SaveMessage(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "SaveMessage needs 2 parameters");
    TmsMessage& m =
        MessageVar(s, p[0], "First parameter for SaveMessage has to be a message variable (%var)");
    const std::filesystem::path path = s.FilePath(s.GetValue(p[1]));
    const std::string separator =
        "From " + m.Sender().Address() + " " + m.Headers().GetFieldValue("Date");
    if (m.BCC().Count() > 0) {
        std::vector<std::string> bcc;
        for (const TmsMailAddress& a : m.BCC()) bcc.push_back(a.Address());
        m.Headers().Add("X-Bcc: " + ToCommaText(bcc));
    }
    std::string encoded;
    {
        // Encoding changes what it encodes (dot-doubling, fields it writes itself); the
        // script's message stays as it was.
        TmsMessage copy(m);
        const WrapOnlyScope wrapOnly;
        encoded = copy.SaveToString();
    }
    std::vector<std::string> lines = ValueLines(encoded);
    for (std::string& line : lines) {
        if (line.starts_with("From ")) line.insert(0, ">");
    }
    lines.insert(lines.begin(), separator);
    if (s.AppendMode()) {
        AppendToFile(lines, path);
    } else {
        WriteFileAtomic(path, JoinValueLines(lines));
    }
}

void EditMessage(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "EditMessage needs only 1 parameter");
    s.Host().EditMessage(
        MessageVar(s, p[0], "Parameter for EditMessage has to be a message variable (%var)"));
}

// Removes every "d" and "D" from the "Status" value, appends `add`, and puts the field last.
void SetStatus(TmsMessage& m, std::string_view add) {
    std::string status = m.Headers().GetFieldValue("Status");
    std::erase_if(status, [](char c) { return c == 'd' || c == 'D'; });
    status += add;
    m.Headers().RemoveField("Status");
    m.Headers().Add("Status: " + status);
}

void DeleteMessage(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "DeleteMessage needs 1 parameter");
    SetStatus(
        MessageVar(s, p[0], "Parameter for DeleteMessage has to be a message variable (%var)"),
        "D");
}

TPriority PriorityOf(std::string_view value) {
    const std::string v = LowerCase(value);
    if (v == "lowest" || v == "low") return ptLow;
    if (v == "high" || v == "highest") return ptHigh;
    return ptNormal;
}

void SetHeader(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "SetHeader needs 3 parameters");
    TmsMessage& m =
        MessageVar(s, p[0], "First parameter for SetHeader has to be a message variable (%var)");
    std::string name = Trim(s.GetValue(p[1]));
    if (name.empty()) throw ESyntaxError("Empty header name");
    if (name.back() != ':') name += ':';
    const std::vector<std::string> lines = ValueLines(s.GetValue(p[2]));
    const std::string value = lines.empty() ? std::string() : lines.front();
    const std::string lower = LowerCase(name);
    if (lower == "from:") {
        m.Sender().SetAddress(value);
    } else if (lower == "subject:") {
        m.SetSubject(value);
    } else if (lower == "to:") {
        m.Recipients().AddAddress(value, "");
    } else if (lower == "cc:") {
        m.CC().AddAddress(value, "");
    } else if (lower == "bcc:") {
        m.BCC().AddAddress(value, "");
    } else if (lower == "priority:") {
        m.SetPriority(PriorityOf(value));
    } else if (lower == "return-receipt:") {
        m.SetReturnReceipt(StrToBool(value));
    } else if (lower == "content-type:") {
        m.SetContentType(value);
    } else {
        m.Headers().Add(name + " " + value);
    }
}

void ReadHeader(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "ReadHeader needs 3 parameters");
    const int index = OutputVar(
        s, p[0], '$', "First parameter for ReadHeader has to be a string variable ($var)");
    std::string name = Trim(s.GetValue(p[1]));
    TmsMessage& m =
        MessageVar(s, p[2], "Third parameter for ReadHeader has to be a message variable (%var)");
    if (!name.empty() && name.back() == ':') name.pop_back();
    const std::vector<std::string> lines = ValueLines(m.Headers().GetFieldValue(name));
    s.VarValue(index) = lines.empty() ? std::string() : lines.front();
}

void AddAddressTo(TScriptInterpreter& s, TScriptParams p, const char* countMsg,
                  const char* sigilMsg, TmsAddressList& (TmsMessage::*list)()) {
    NeedParams(p, 2, countMsg);
    TmsMessage& m = MessageVar(s, p[0], sigilMsg);
    (m.*list)().AddAddress(ExtractAddress(Trim(s.GetValue(p[1]))), "");
}

void AddTo(TScriptInterpreter& s, TScriptParams p) {
    AddAddressTo(s, p, "AddTo needs 2 parameters",
                 "First parameter for AddTo has to be a message variable (%var)",
                 &TmsMessage::Recipients);
}

void AddCC(TScriptInterpreter& s, TScriptParams p) {
    AddAddressTo(s, p, "AddCC needs 2 parameters",
                 "First parameter for AddCC has to be a message variable (%var)", &TmsMessage::CC);
}

void AddBCC(TScriptInterpreter& s, TScriptParams p) {
    AddAddressTo(s, p, "AddBCC needs 2 parameters",
                 "First parameter for AddBCC has to be a message variable (%var)",
                 &TmsMessage::BCC);
}

void ClearTo(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ClearTo needs only 1 parameter");
    MessageVar(s, p[0], "First parameter for ClearTo has to be a message variable (%var)")
        .Recipients()
        .Clear();
}

void ClearCC(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ClearCC needs only 1 parameter");
    MessageVar(s, p[0], "First parameter for ClearCC has to be a message variable (%var)")
        .CC()
        .Clear();
}

void ClearBCC(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ClearBCC needs only 1 parameter");
    MessageVar(s, p[0], "First parameter for ClearBCC has to be a message variable (%var)")
        .BCC()
        .Clear();
}

void AssignBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "AssignBody needs 2 parameters");
    TmsMessage& m =
        MessageVar(s, p[0], "First parameter for AssignBody has to be a message variable (%var)");
    m.Body() = ValueLines(s.GetValue(p[1]));
}

void ReadBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "ReadBody needs 2 parameters");
    const int index =
        OutputVar(s, p[0], '$', "First parameter for ReadBody has to be a string variable ($var)");
    const TmsMessage& m =
        MessageVar(s, p[1], "Second parameter for ReadBody has to be a message variable (%var)");
    s.VarValue(index) = JoinValueLines(m.Body());
}

void ClearBody(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ClearBody needs 1 parameter");
    MessageVar(s, p[0], "Parameter for ClearBody has to be a message variable (%var)")
        .Body()
        .clear();
}

constexpr TCommandEntry kCommands[] = {
    {"createmessage", CreateMessage},
    {"openmessage", OpenMessage},
    {"savemessage", SaveMessage},
    {"editmessage", EditMessage},
    {"deletemessage", DeleteMessage},
    {"setheader", SetHeader},
    {"readheader", ReadHeader},
    {"addto", AddTo},
    {"addcc", AddCC},
    {"addbcc", AddBCC},
    {"clearto", ClearTo},
    {"clearcc", ClearCC},
    {"clearbcc", ClearBCC},
    {"assignbody", AssignBody},
    {"readbody", ReadBody},
    {"clearbody", ClearBody},
};

}  // namespace

std::span<const TCommandEntry> MessageCommands() {
    return kCommands;
}

}  // namespace kivo
