#pragma once
// Builds attachments for the message tests in one line.

#include <string>

#include "mail/msmsgcls.h"

namespace kivo::test {

// An attachment with exactly these fields (the name is set first, so the type and encoding
// given here win over what the file-type table says).
inline TmsAttItem MakeAttachment(const std::string& name, const std::string& type,
                                 TAttEncoding encoding, std::string data) {
    TmsAttItem item;
    item.SetFileName(name);
    item.SetContentType(type);
    item.SetEncoding(encoding);
    item.Data() = std::move(data);
    return item;
}

}  // namespace kivo::test
