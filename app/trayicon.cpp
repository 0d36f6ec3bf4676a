#include "app/trayicon.h"

#include <filesystem>

#include "app/settings.h"

namespace kivo {

TTrayIconState::Animation TTrayIconState::Current() const {
    if (checking_) return taChecking;
    if (sending_) return taSending;
    return newMail_ ? taNewMail : taIdle;
}

std::string TTrayIconState::Picture() const {
    switch (Current()) {
        case taChecking:
            return "TRAYICONCHECK_" + std::to_string(counter_ % 6 + 1);
        case taSending:
            return "TRAYICONCHECK_" + std::to_string(6 - counter_ % 6);
        case taNewMail:
            return "TRAYICONNEW_" + std::to_string(counter_ % 4 + 1);
        case taIdle:
            break;
    }
    return "TRAYICON_0";
}

int TTrayIconState::IntervalMs() const {
    switch (Current()) {
        case taChecking:
        case taSending:
            return 100;
        case taNewMail:
            return 200;
        case taIdle:
            break;
    }
    return 0;
}

void TTrayIconState::CheckEnded(bool newMail) {
    checking_ = false;
    newMail_ = newMail;
}

std::string_view TTrayIconState::HideShowCaption() const {
    return hidden_ ? "S&how Application" : "&Hide Application";
}

std::string TrayIconHint(std::string_view text) {
    return std::string(text.substr(0, 62));
}

std::optional<std::string> NewMailSound(const TProgramSettings& program) {
    if (!program.UserSound) return std::string();
    std::error_code ec;
    if (program.SoundFile.empty() || !std::filesystem::is_regular_file(program.SoundFile, ec)) {
        return std::nullopt;
    }
    return program.SoundFile;
}

}  // namespace kivo
