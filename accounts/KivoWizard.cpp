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

TFrmSetupWizard::TFrmSetupWizard(std::filesystem::path accountsFile)
    : accountsFile_(std::move(accountsFile)) {}

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
    const std::size_t at = email.find('@');
    if (at == std::string::npos || at == 0) return;
    const std::string user = email.substr(0, at);
    const std::string domain = email.substr(at + 1);
    if (!TypedInto(TWizardField::POPAccount)) fields_[Slot(TWizardField::POPAccount)] = user;
    if (!TypedInto(TWizardField::POPServer)) fields_[Slot(TWizardField::POPServer)] = domain;
    if (!TypedInto(TWizardField::SMTPServer)) fields_[Slot(TWizardField::SMTPServer)] = domain;
}

void TFrmSetupWizard::FormClose() {
    closed_ = true;
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
        const std::string_view pop = WizardPopSecurity(Field(TWizardField::POPServer));
        if (!pop.empty()) ini.WriteString(kWizardAccount, "POPSecurity", pop);
        const std::string_view smtp = WizardSmtpSecurity(Field(TWizardField::SMTPServer));
        if (!smtp.empty()) {
            ini.WriteString(kWizardAccount, "SMTPSecurity", smtp);
            ini.WriteString(kWizardAccount, "SMTPAuth", "pop");
        }
        ini.UpdateFile(FileAccess::Private);
    }
}

}  // namespace kivo
