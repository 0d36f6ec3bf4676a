#pragma once
// The setup wizard without its window: `TFrmSetupWizard` holds the six fields of "Welcome to
// Kivo" that a first start asks for, fills the POP account and both servers from the e-mail
// address until the user types into them, and on closing writes the account "My Account"
// into accounts.ini. The colour scheme it chooses belongs to the main window's settings,
// which this layer cannot reach: the caller applies WizardColourScheme once it closed.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kivo {

enum class TWizardField { Email, FullName, POPServer, POPAccount, Password, SMTPServer };

// The account section the wizard writes.
inline constexpr const char* kWizardAccount = "My Account";

// The security a user means by naming a standard secure port in a server field: POP3 on
// 995 is TLS ("tls"); SMTP on 465 is TLS ("tls"), on 587 STARTTLS ("starttls"); empty for
// any other port or none, which keeps the plain connection of an account without the keys.
std::string_view WizardPopSecurity(std::string_view server);
std::string_view WizardSmtpSecurity(std::string_view server);

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
    explicit TFrmSetupWizard(std::filesystem::path accountsFile);

    // A field's text changed. `focused`: the field had the focus, so the user typed it. The
    // address field fills the others that the user has not typed into.
    void FieldChange(TWizardField field, std::string_view text, bool focused);
    const std::string& Field(TWizardField field) const;
    // Whether the user's own text holds the field (POP account, POP server, SMTP server).
    bool TypedInto(TWizardField field) const;

    // "Finish", or closing the window otherwise: writes "My Account", with the security the
    // server fields' ports suggest (and the POP log-in for an SMTP server on a submission
    // port, which never relays without one). The caller then applies
    // WizardColourScheme. Throws std::system_error when accounts.ini cannot be written.
    void FormClose();
    bool Closed() const { return closed_; }

  private:
    void Guess();

    std::filesystem::path accountsFile_;
    std::array<std::string, 6> fields_;
    std::array<bool, 6> typed_{};
    bool closed_ = false;
};

}  // namespace kivo
