#include "accounts/KivoWizard.h"

#include "accounts/account.h"
#include "base/inifile.h"
#include "base/scramble.h"
#include "net/hostlookup.h"

namespace kivo {

namespace {
std::size_t Slot(TWizardField field) {
    return static_cast<std::size_t>(field);
}

// The domain of the address field, when it has "@" after its first character.
std::optional<std::string> AddressDomain(const std::string& email) {
    const std::size_t at = email.find('@');
    if (at == std::string::npos || at == 0) return std::nullopt;
    return email.substr(at + 1);
}

std::string FirstServer(const std::vector<TServerGuess>& guesses) {
    return guesses.empty() ? std::string() : guesses.front().server;
}

}  // namespace

std::string_view WizardPopSecurity(std::string_view server) {
    return SplitServer(server).port == "995" ? "tls" : "";
}

std::string_view WizardSmtpSecurity(std::string_view server) {
    const std::string port = SplitServer(server).port;
    if (port == "465") return "tls";
    if (port == "587") return "starttls";
    return "";
}

TWizardColours WizardColourScheme(int bitsPerPixel) {
    TWizardColours c;
    if (bitsPerPixel > 14) {
        c.ShadeColor = 0x7ABED1;
        c.IndexColor = c.MsgBackColor = 0xA2D2DF;
        c.TagColor = 0xFFAEA6;
    } else {
        c.ShadeColor = 0xC0C0C0;
        c.IndexColor = c.MsgBackColor = 0xFFFFFF;
        c.TagColor = 0x00FFFF;
    }
    return c;
}

std::vector<TServerGuess> GuessPopServers(std::string_view domain) {
    if (domain.empty()) return {};
    const std::string d(domain);
    return {{TMailProtocol::pop3, TSecurity::implicit, "pop." + d + ":995"},
            {TMailProtocol::pop3, TSecurity::implicit, "mail." + d + ":995"}};
}

std::vector<TServerGuess> GuessSmtpServers(std::string_view domain) {
    if (domain.empty()) return {};
    std::vector<TServerGuess> guesses;
    for (const char* host : {"smtp.", "mail."}) {
        const std::string name = host + std::string(domain);
        guesses.push_back({TMailProtocol::smtp, TSecurity::implicit, name + ":465"});
        guesses.push_back({TMailProtocol::smtp, TSecurity::upgrade, name + ":587"});
    }
    return guesses;
}

TFrmSetupWizard::TFrmSetupWizard(std::filesystem::path accountsFile, TServerProber prober)
    : accountsFile_(std::move(accountsFile)), prober_(std::move(prober)) {}

const std::string& TFrmSetupWizard::Field(TWizardField field) const {
    return fields_[Slot(field)];
}

bool TFrmSetupWizard::TypedInto(TWizardField field) const {
    return typed_[Slot(field)];
}

void TFrmSetupWizard::FieldChange(TWizardField field, std::string_view text, bool focused) {
    fields_[Slot(field)] = std::string(text);
    // Emptying a field the user typed into hands it back to the guesses.
    if (focused) typed_[Slot(field)] = !text.empty();
    if (field == TWizardField::Email) Guess();
}

void TFrmSetupWizard::Guess() {
    const std::string& email = Field(TWizardField::Email);
    const std::optional<std::string> domain = AddressDomain(email);
    if (!domain) return;
    const std::string user = email.substr(0, email.find('@'));
    if (!TypedInto(TWizardField::POPAccount)) fields_[Slot(TWizardField::POPAccount)] = user;
    if (!TypedInto(TWizardField::POPServer))
        fields_[Slot(TWizardField::POPServer)] = FirstServer(GuessPopServers(*domain));
    if (!TypedInto(TWizardField::SMTPServer))
        fields_[Slot(TWizardField::SMTPServer)] = FirstServer(GuessSmtpServers(*domain));
}

TGuessTrial TryServerGuesses(const std::vector<TServerGuess>& guesses, const TServerProber& prober,
                             const std::function<void(std::string_view)>& progress,
                             const std::function<bool()>& stop) {
    TGuessTrial trial;
    for (const TServerGuess& guess : guesses) {
        if (stop && stop()) break;
        if (progress) progress("Trying " + guess.server + "...");
        const TProbeResult result = prober(guess);
        if (result.answered) {
            trial.server = guess.server;
            break;
        }
        trial.failures += "\n  " + guess.server + ": " + result.reason;
    }
    return trial;
}

bool TFrmSetupWizard::TryGuesses(TWizardField field, const std::vector<TServerGuess>& guesses,
                                 const std::function<void(std::string_view)>& progress,
                                 std::string& failures) {
    std::string& value = fields_[Slot(field)];
    // A server the user typed is theirs to know; one a probe found answering stays taken.
    if (TypedInto(field) || guesses.empty() || (!value.empty() && answered_[Slot(field)] == value))
        return true;
    const TGuessTrial trial =
        TryServerGuesses(guesses, prober_, progress, [this] { return cancelRequested_; });
    if (trial.server) {
        value = answered_[Slot(field)] = *trial.server;
        return true;
    }
    failures += std::string(failures.empty() ? "" : "\n\n") + "None of the " +
                (field == TWizardField::POPServer ? "POP" : "SMTP") +
                " servers I guessed answered:" + trial.failures;
    return false;
}

TWizardOutcome TFrmSetupWizard::FinishClick(bool plainTextConfirmed,
                                            const std::function<void(std::string_view)>& progress) {
    cancelRequested_ = false;
    const std::string domain = AddressDomain(Field(TWizardField::Email)).value_or("");
    std::string failures;
    probing_ = true;
    const bool pop =
        TryGuesses(TWizardField::POPServer, GuessPopServers(domain), progress, failures);
    const bool smtp =
        TryGuesses(TWizardField::SMTPServer, GuessSmtpServers(domain), progress, failures);
    probing_ = false;
    if (cancelRequested_) {
        closed_ = true;
        return {TWizardStep::canceled, {}};
    }
    if (!pop || !smtp) {
        return {TWizardStep::unreachable,
                failures + "\n\nType the server your provider names (HOST:PORT), or Cancel."};
    }
    Account planned;
    planned.popServer = Field(TWizardField::POPServer);
    planned.popUser = Field(TWizardField::POPAccount);
    planned.SetPassword(Field(TWizardField::Password));
    planned.smtp = Field(TWizardField::SMTPServer);
    planned.security = Security();
    const std::vector<std::string> plain = PlainTextPasswordServers(planned);
    if (!plain.empty() && !plainTextConfirmed) {
        std::string servers = plain.front();
        if (plain.size() > 1) servers += " and " + plain.back();
        return {TWizardStep::askPlainText,
                "Your password would go over the network unencrypted to " + servers +
                    ": anyone on the way can read it. Secure servers use port 995 (POP) and 465 "
                    "or 587 (SMTP).\n\nSave the account anyway?"};
    }
    WriteAccount();
    closed_ = written_ = true;
    return {TWizardStep::written, {}};
}

void TFrmSetupWizard::CancelClick() {
    if (probing_) {
        cancelRequested_ = true;
        return;
    }
    closed_ = true;
}

AccountSecurity TFrmSetupWizard::Security() const {
    AccountSecurity security;
    security.popSecurity = WizardPopSecurity(Field(TWizardField::POPServer));
    security.smtpSecurity = WizardSmtpSecurity(Field(TWizardField::SMTPServer));
    // Providers relay only for a logged-in sender; the POP log-in is the one people have.
    if (!Field(TWizardField::SMTPServer).empty()) security.smtpAuth = "pop";
    return security;
}

void TFrmSetupWizard::WriteAccount() {
    IniFile ini(accountsFile_);
    bool empty = true;
    for (const std::string& field : fields_) empty = empty && field.empty();
    // A first run can follow a deleted mail folder while accounts.ini stays: closing the
    // wizard untouched must not blank an account the user already has.
    if (!(empty && ini.SectionExists(kWizardAccount))) {
        ini.WriteString(kWizardAccount, "Email", Field(TWizardField::Email));
        ini.WriteString(kWizardAccount, "Name", Field(TWizardField::FullName));
        TPasswordStore store = TPasswordStore::ForFolder(accountsFile_.parent_path());
        ini.WriteString(kWizardAccount, "POPPass", "");
        store.Write(ini, {kAccountsFileName, kWizardAccount, "POPPass", kAccountPasswordKey},
                    Field(TWizardField::Password));
        ini.WriteString(kWizardAccount, "POPUser", Field(TWizardField::POPAccount));
        ini.WriteString(kWizardAccount, "POPServer", Field(TWizardField::POPServer));
        ini.WriteString(kWizardAccount, "SMTP", Field(TWizardField::SMTPServer));
        // The secure keys only when set, as an account without them has always been.
        const AccountSecurity security = Security();
        for (const auto& [key, value] : {std::pair{"POPSecurity", security.popSecurity},
                                         {"SMTPSecurity", security.smtpSecurity},
                                         {"SMTPAuth", security.smtpAuth}}) {
            if (!value.empty()) ini.WriteString(kWizardAccount, key, value);
        }
        ini.UpdateFile(FileAccess::Private);
    }
}

}  // namespace kivo
