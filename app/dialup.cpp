#include "app/dialup.h"

#include <algorithm>

#include "app/settings.h"
#include "net/agRasCmp.h"
#include "transfer/transferfeedback.h"

namespace kivo {

TDialUpControl::TDialUpControl(TagRas& ras, const TSettings& settings, TTransferFeedback& feedback)
    : ras_(ras), settings_(settings), feedback_(feedback) {}

void TDialUpControl::SetDisconnectVisible(bool visible) {
    if (visible == disconnectVisible_) return;
    disconnectVisible_ = visible;
    if (OnDisconnectVisibleChanged) OnDisconnectVisibleChanged();
}

void TDialUpControl::DialUp() {
    if (!settings_.Mail.AutoDial) return;
    std::string entry = settings_.Mail.RAS;
    if (entry.empty()) {
        const std::vector<std::string> entries = ras_.Entries();
        if (!entries.empty()) entry = entries.front();
    }
    if (entry.empty()) return;
    const std::vector<std::string> active = ras_.Connections();
    if (std::find(active.begin(), active.end(), entry) != active.end()) return;
    if (ras_.Service() != entry) ras_.SetService(entry);
    // A name the system does not know was refused (and said so): nothing to dial.
    if (ras_.Service().empty()) return;
    ras_.Password = settings_.Mail.DialUpPass;
    ras_.MinimizeAtConnect = true;
    feedback_.StatusText(0, "Dialing service provider...");
    SetDisconnectVisible(true);
    try {
        ras_.Dial();
    } catch (...) {
        feedback_.StatusText(0, "");
        throw;
    }
    feedback_.StatusText(0, "");
}

void TDialUpControl::HangUp() {
    SetDisconnectVisible(false);
    if (!settings_.Mail.AutoHangup) return;
    feedback_.StatusText(0, "Disconnecting modem...");
    ras_.HangUp();
    feedback_.StatusText(0, "");
}

void TDialUpControl::DisconnectModem() {
    SetDisconnectVisible(false);
    ras_.Disconnect();
}

}  // namespace kivo
