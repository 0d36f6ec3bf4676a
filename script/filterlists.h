#pragma once
// The filter lists in kivo.ini: [Scripts] "Incoming" and "Outgoing", each the comma text of
// script names in running order. A list is written in an outer pair of double quotes, which
// the INI reader takes off again, so a name with blanks keeps its own quotes
// (Incoming=""File Devel List"",Sort").

#include <string>
#include <vector>

namespace kivo {

class IniFile;

enum class TFilterList { Incoming, Outgoing };

// "Incoming" or "Outgoing".
const char* FilterListKey(TFilterList list);

std::vector<std::string> ReadFilterList(const IniFile& ini, TFilterList list);
// Sets the list's key; the caller writes the file.
void WriteFilterList(IniFile& ini, TFilterList list, const std::vector<std::string>& names);

}  // namespace kivo
