#include "script/filterlists.h"

#include "base/commatext.h"
#include "base/inifile.h"

namespace kivo {

const char* FilterListKey(TFilterList list) {
    return list == TFilterList::Incoming ? "Incoming" : "Outgoing";
}

std::vector<std::string> ReadFilterList(const IniFile& ini, TFilterList list) {
    return FromCommaText(ini.ReadString("Scripts", FilterListKey(list), ""));
}

void WriteFilterList(IniFile& ini, TFilterList list, const std::vector<std::string>& names) {
    ini.WriteString("Scripts", FilterListKey(list), "\"" + ToCommaText(names) + "\"");
}

}  // namespace kivo
