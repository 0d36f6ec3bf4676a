#include "script/autoscript.h"

#include "base/bytes.h"
#include "base/files.h"
#include "base/inifile.h"
#include "compose/filenames.h"
#include "script/KivoParser.h"
#include "script/builtin.h"
#include "script/filterlists.h"
#include "script/scriptvalues.h"

namespace kivo {

namespace {

// A quoted literal of the text: a backslash or double quote in an address must not end the
// literal or start an escape.
std::string Literal(std::string_view text) {
    std::string literal = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') literal += '\\';
        literal += c;
    }
    return literal + "\"";
}

// Replaces everything from the marker to the end of each line holding it.
void Fill(std::vector<std::string>& lines, std::string_view marker, const std::string& value) {
    for (std::string& line : lines) {
        const std::size_t at = line.find(marker);
        if (at != std::string::npos) line = line.substr(0, at) + value;
    }
}

void AddToList(IniFile& ini, TFilterList which, const std::string& name) {
    std::vector<std::string> list = ReadFilterList(ini, which);
    list.push_back(name);
    WriteFilterList(ini, which, list);
}

}  // namespace

void TAutoScriptWriter::MakeScript(std::string_view name, std::string_view relPath,
                                   std::string_view email) {
    IniFile ini(paths_.settingsFile);
    if (!ini.ReadBool("DragAndDrop", "AutoScript", true)) return;
    std::vector<std::string> lines = FilterMessageTemplate();
    Fill(lines, "{ID2}", Literal(LowerCase(email)));
    Fill(lines, "{ID3}", Literal(relPath));
    if (!ini.ReadBool("DragAndDrop", "AutoCopy", true)) Fill(lines, "{ID4}", "\"No\"");

    std::string scriptName = CutShort("AUTO, Sort mail from " + std::string(name));
    std::error_code ec;
    while (std::filesystem::exists(ScriptFile(paths_.scriptFolder, scriptName), ec)) {
        NextNumberedName(scriptName, kShortTextMax);
    }
    WriteFileAtomic(paths_.scriptFolder / (scriptName + ".kiv"), JoinValueLines(lines));

    const bool in = ini.ReadBool("DragAndDrop", "AutoIn", true);
    const bool out = ini.ReadBool("DragAndDrop", "AutoOut", false);
    if (in) AddToList(ini, TFilterList::Incoming, scriptName);
    if (out) AddToList(ini, TFilterList::Outgoing, scriptName);
    if (in || out) ini.UpdateFile();
    platform_.ShowTip("Auto-Script created, press F4 for details");
}

}  // namespace kivo
