// The account commands: read and write the settings of the run's current account in
// accounts.ini. Values pass unchanged both ways (the password stays scrambled).

#include "base/inifile.h"
#include "script/commandhelp.h"

namespace kivo {

namespace {

void ReadKey(TScriptInterpreter& s, TScriptParams p, const char* countMsg, const char* sigilMsg,
             const char* key) {
    NeedParams(p, 1, countMsg);
    const int index = OutputVar(s, p[0], '$', sigilMsg);
    s.VarValue(index) = IniFile(s.Paths().accountsFile).ReadString(s.CurrentAccount(), key, "");
}

void WriteKey(TScriptInterpreter& s, TScriptParams p, const char* countMsg, const char* key) {
    NeedParams(p, 1, countMsg);
    const std::string value = s.GetValue(p[0]);
    // An empty section name would write a "[]" section that no program reads back.
    if (s.CurrentAccount().empty()) throw ESyntaxError("No current account (SetAccount)");
    IniFile ini(s.Paths().accountsFile);
    ini.WriteString(s.CurrentAccount(), key, value);
    ini.UpdateFile(FileAccess::Private);
}

void ReadAccount(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "ReadAccount needs 1 parameter");
    s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for ReadAccount has to be a string variable ($var)")) =
        s.CurrentAccount();
}

void SetAccount(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "SetAccount needs 1 parameter");
    s.SetCurrentAccount(s.GetValue(p[0]));
}

#define KIVO_READ(Fn, Name, Key)                                                   \
    void Fn(TScriptInterpreter& s, TScriptParams p) {                              \
        ReadKey(s, p, Name " needs 1 parameter",                                   \
                "Parameter for " Name " has to be a string variable ($var)", Key); \
    }
#define KIVO_WRITE(Fn, Name, Key)                       \
    void Fn(TScriptInterpreter& s, TScriptParams p) {   \
        WriteKey(s, p, Name " needs 1 parameter", Key); \
    }

KIVO_READ(ReadFullname, "ReadFullname", "Name")
KIVO_READ(ReadEmail, "ReadEmail", "Email")
KIVO_READ(ReadPOPServer, "ReadPOPServer", "POPServer")
KIVO_READ(ReadPOPLogin, "ReadPOPLogin", "POPUser")
KIVO_READ(ReadPassword, "ReadPassword", "POPPass")
KIVO_READ(ReadSignature, "ReadSignature", "Sig")
KIVO_READ(ReadAccountTag, "ReadAccountTag", "Tag")
KIVO_WRITE(SetFullname, "SetFullname", "Name")
KIVO_WRITE(SetEmail, "SetEmail", "EMail")
KIVO_WRITE(SetPOPServer, "SetPOPServer", "POPServer")
KIVO_WRITE(SetPOPLogin, "SetPOPLogin", "POPUser")
KIVO_WRITE(SetPassword, "SetPassword", "POPPass")
KIVO_WRITE(SetSignature, "SetSignature", "Sig")
KIVO_WRITE(SetAccountTag, "SetAccountTag", "Tag")
#undef KIVO_READ
#undef KIVO_WRITE

constexpr TCommandEntry kCommands[] = {
    {"readaccount", ReadAccount},     {"readfullname", ReadFullname},
    {"reademail", ReadEmail},         {"readpopserver", ReadPOPServer},
    {"readpoplogin", ReadPOPLogin},   {"readpassword", ReadPassword},
    {"readsignature", ReadSignature}, {"readaccounttag", ReadAccountTag},
    {"setaccount", SetAccount},       {"setfullname", SetFullname},
    {"setemail", SetEmail},           {"setpopserver", SetPOPServer},
    {"setpoplogin", SetPOPLogin},     {"setpassword", SetPassword},
    {"setsignature", SetSignature},   {"setaccounttag", SetAccountTag},
};

}  // namespace

std::span<const TCommandEntry> AccountCommands() {
    return kCommands;
}

}  // namespace kivo
