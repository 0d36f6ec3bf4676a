#pragma once
// The setup wizard without its window: `TFrmSetupWizard` holds the six fields of "Welcome to
// Kivo" that a first start asks for, fills the POP account and both servers from the e-mail
// address until the user types into them, tries the guessed servers before it takes them, and
// on "Finish" writes the account "My Account" into accounts.ini; "Cancel" writes nothing. The
// colour scheme it chooses belongs to the main window's settings, which this layer cannot
// reach: the caller applies WizardColourScheme once it closed.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/account.h"
#include "net/serverprobe.h"

namespace kivo {

enum class TWizardField { Email, FullName, POPServer, POPAccount, Password, SMTPServer };

// The account section the wizard writes.
inline constexpr const char* kWizardAccount = "My Account";

// The security a user means by naming a standard secure port in a server field: POP3 on
// 995 is TLS ("tls"); SMTP on 465 is TLS ("tls"), on 587 STARTTLS ("starttls"); empty for
// any other port or none, which keeps the plain connection of an account without the keys.
std::string_view WizardPopSecurity(std::string_view server);
std::string_view WizardSmtpSecurity(std::string_view server);

// One server the wizard may set the account up with.
struct TServerGuess {
    TMailProtocol protocol = TMailProtocol::pop3;
    TSecurity security = TSecurity::implicit;
    std::string server;  // "host:port"
};

// The servers people expect for a mail domain, in the order they are tried: POP3 with TLS on
// 995 at pop.DOMAIN, then mail.DOMAIN; SMTP at smtp.DOMAIN with TLS on 465, then STARTTLS on
// 587, then the same at mail.DOMAIN. None for an empty domain.
std::vector<TServerGuess> GuessPopServers(std::string_view domain);
std::vector<TServerGuess> GuessSmtpServers(std::string_view domain);

// Tries one guess (ProbeServer with a short time-out, or a test's own).
using TServerProber = std::function<TProbeResult(const TServerGuess&)>;

// Tries `guesses` in order until one answers: its server, or none with a line
// "  SERVER: reason" for each that failed. `progress` hears "Trying SERVER..." before each;
// `stop`, when it says so, ends the trial before the next guess.
struct TGuessTrial {
    std::optional<std::string> server;
    std::string failures;
};
TGuessTrial TryServerGuesses(const std::vector<TServerGuess>& guesses, const TServerProber& prober,
                             const std::function<void(std::string_view)>& progress = {},
                             const std::function<bool()>& stop = {});

// The time-out of each step of a probe, in seconds.
inline constexpr int kWizardProbeTimeOut = 5;

// What "Finish" came to.
enum class TWizardStep {
    written,       // the account is in accounts.ini; the window closes
    askPlainText,  // the password would go unencrypted: ask, then Finish again with consent
    unreachable,   // no guess for a server answered: the user corrects the field or cancels
    canceled,      // Cancel came while the guesses were tried: nothing written
};
struct TWizardOutcome {
    TWizardStep step = TWizardStep::written;
    std::string text;  // the question or the failures, for the user
};

// The display colours of a new program folder (0x00BBGGRR values).
struct TWizardColours {
    bool ShadeCols = true;
    std::uint32_t IndexFontColor = 0;
    std::uint32_t TagFont = 0;
    std::uint32_t MessageFontColor = 0;
    std::uint32_t MsgLinkColor = 0xFF0000;
    std::uint32_t ShadeColor = 0;
    std::uint32_t IndexColor = 0;
    std::uint32_t MsgBackColor = 0;
    std::uint32_t TagColor = 0;

    friend bool operator==(const TWizardColours&, const TWizardColours&) = default;
};

// The scheme for a display of `bitsPerPixel`: soft blues and a salmon tag above 14 bits,
// grey, white and yellow on poorer displays.
TWizardColours WizardColourScheme(int bitsPerPixel);

class TFrmSetupWizard {
  public:
    TFrmSetupWizard(std::filesystem::path accountsFile, TServerProber prober);

    // A field's text changed. `focused`: the field had the focus, so the user typed it. The
    // address field fills the others that the user has not typed into.
    void FieldChange(TWizardField field, std::string_view text, bool focused);
    const std::string& Field(TWizardField field) const;
    // Whether the user's own text holds the field (POP account, POP server, SMTP server).
    bool TypedInto(TWizardField field) const;

    // "Finish": tries the guessed servers of the fields the user did not type into, in
    // order, and takes the first that answers; then, unless `plainTextConfirmed`, stops with
    // the question when the password would go unencrypted; else writes "My Account" with the
    // security the server fields' ports say (995 and 465 TLS, 587 STARTTLS) and the POP
    // user and password as the SMTP log-in. Throws std::system_error when accounts.ini cannot
    // be written. `progress` hears "Trying SERVER..." before each probe.
    TWizardOutcome FinishClick(bool plainTextConfirmed,
                               const std::function<void(std::string_view)>& progress = {});
    // "Cancel" or closing the window: writes nothing. While FinishClick tries the guesses
    // (the event pump runs), it stops before the next one and FinishClick returns canceled.
    void CancelClick();
    // Closed by Finish or Cancel; the caller then applies WizardColourScheme.
    bool Closed() const { return closed_; }
    bool Written() const { return written_; }

  private:
    void Guess();
    // Probes the guesses for a field the user left to the wizard; false with the failures
    // added to `failures` when none answered.
    bool TryGuesses(TWizardField field, const std::vector<TServerGuess>& guesses,
                    const std::function<void(std::string_view)>& progress, std::string& failures);
    // The security keys the server fields and the SMTP log-in call for.
    AccountSecurity Security() const;
    void WriteAccount();

    std::filesystem::path accountsFile_;
    TServerProber prober_;
    std::array<std::string, 6> fields_;
    std::array<bool, 6> typed_{};
    // The server fields' values a probe found answering, so a second Finish does not try again.
    std::array<std::string, 6> answered_;
    bool closed_ = false;
    bool written_ = false;
    bool probing_ = false;
    bool cancelRequested_ = false;
};

}  // namespace kivo
