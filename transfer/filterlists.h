#pragma once
// The filter lists: the KivoScript scripts that run on every received message (Incoming)
// and on every message that is sent (Outgoing). The script engine implements this; the
// mail pipelines only hand it messages.

#include "mail/msmsg.h"

namespace kivo {

class TFilterLists {
  public:
    virtual ~TFilterLists() = default;
    // Run the list's scripts in order on the message, which they may change (a "D" in its
    // "Status:" value asks for it to be discarded). Throw when a script fails; the scripts
    // before it have run.
    virtual void RunIncoming(TmsMessage& message) = 0;
    virtual void RunOutgoing(TmsMessage& message) = 0;
};

// No scripts at all.
class TNoFilters : public TFilterLists {
  public:
    void RunIncoming(TmsMessage&) override {}
    void RunOutgoing(TmsMessage&) override {}
};

}  // namespace kivo
