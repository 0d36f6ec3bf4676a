#pragma once
// The order in which people expect names listed: letter case and accents do not separate
// names ("émile" stands between "Emil" and "Eva", "Østergaard" among the O's), and names
// equal in that sense keep a fixed order by their bytes. Names are UTF-8.

#include <string>
#include <string_view>

namespace kivo {

// The name folded for comparing: lower case, Latin letters with accents as their base letters
// ("æ" as "ae", "ß" as "ss"); other characters stay as they are.
std::string NameSortKey(std::string_view name);

bool NameLess(std::string_view a, std::string_view b);

}  // namespace kivo
