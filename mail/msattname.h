#pragma once
// The file name a MIME part announces in its "name" or "filename" parameter. Senders write
// non-ASCII names as encoded words ("=?iso-8859-1?Q?=DCbersicht.zip?=") or in the RFC 2231
// form (filename*=iso-8859-1''%DCbersicht.zip), long ones split into numbered pieces
// (filename*0*=...; filename*1*=...); all are turned into the name's bytes, so the attachment
// is saved and typed by its real name, in UTF-8 (converted from the charset the sender
// named, as with encoded words).

#include <string>
#include <string_view>

namespace kivo {

// The value of parameter `parameter` of a field value, as a file name. Numbered pieces are
// joined in number order up to the first one missing (at most 100), and win over a plain
// "name=" beside them. Never throws; malformed escapes and quotes are read as written.
std::string PartFileName(std::string_view parameter, std::string_view fieldValue);

}  // namespace kivo
