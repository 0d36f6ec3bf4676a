#pragma once
// What the notification-area icon shows: its picture, the animation that moves it (checking,
// sending from a composer, new mail) and the hide/show item of its menu, plus the choice of
// the new-mail sound. The window layer draws the picture and calls Tick every IntervalMs().

#include <optional>
#include <string>
#include <string_view>

namespace kivo {

struct TProgramSettings;

class TTrayIconState {
  public:
    enum Animation { taIdle, taChecking, taSending, taNewMail };

    static constexpr std::string_view kHint = "Kivo";

    // What runs now: a check or a send before the new-mail notice, which waits under them.
    Animation Current() const;
    // The picture's resource name: "TRAYICON_0", "TRAYICONCHECK_1".."_6", "TRAYICONNEW_1".."_4".
    std::string Picture() const;
    // The animation's interval in milliseconds; 0 when the icon stands still.
    int IntervalMs() const;
    // The next picture. The counter is shared: a new animation starts where it stands.
    void Tick() { ++counter_; }

    void StartCheck() { checking_ = true; }
    // The end of a check: new mail starts the new-mail animation, none ends it.
    void CheckEnded(bool newMail);
    // A check that ended without reaching its end: its animation stops, a waiting new-mail
    // notice stays.
    void StopCheck() { checking_ = false; }
    void StartSending() { sending_ = true; }
    void SendingEnded() { sending_ = false; }
    // A message was shown: the new-mail notice has been seen.
    void MessageShown() { newMail_ = false; }

    // "&Hide Application" / "S&how Application" and the icon's double click.
    bool ApplicationHidden() const { return hidden_; }
    void SetApplicationHidden(bool hidden) { hidden_ = hidden; }
    void ToggleApplication() { hidden_ = !hidden_; }
    std::string_view HideShowCaption() const;

  private:
    unsigned counter_ = 0;
    bool checking_ = false;
    bool sending_ = false;
    bool newMail_ = false;
    bool hidden_ = false;
};

// The icon's tool tip as the system shows it: at most 62 characters.
std::string TrayIconHint(std::string_view text);

// The sound that announces new mail: the user's file when "UserSound" is on and the file
// exists, nothing at all when it is on and the file is missing, otherwise the built-in sound
// (an empty name, as Platform::PlaySound takes it).
std::optional<std::string> NewMailSound(const TProgramSettings& program);

}  // namespace kivo
