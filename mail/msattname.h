#pragma once
// The file name a MIME part announces in its "name" or "filename" parameter. Senders write
// non-ASCII names as encoded words ("=?iso-8859-1?Q?=DCbersicht.zip?=") or in the RFC 2231
// form (filename*=iso-8859-1''%DCbersicht.zip); both are turned into the name's bytes, so the
// attachment is saved and typed by its real name.

#include <string>
#include <string_view>

namespace kivo {

// The value of parameter `parameter` of a field value, as a file name.
std::string PartFileName(std::string_view parameter, std::string_view fieldValue);

}  // namespace kivo
