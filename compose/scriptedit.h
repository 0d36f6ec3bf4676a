#pragma once
// A script's EditMessage: a composer (its FirstActivation done, in script mode) filled from a
// message the script built. Only the text, the subject and the addresses are carried over;
// the user takes it from there.

#include "compose/KivoSend.h"
#include "mail/msmsg.h"

namespace kivo {

// The body (HTML made plain text), the subject when there is one and one line per address of
// To, Cc and Bcc without display names; address fields that got text are resolved as when the
// user leaves them.
void FillFromScript(TfrmSend& composer, const TmsMessage& message);

}  // namespace kivo
