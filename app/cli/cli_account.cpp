// kivo account ...: the accounts in "accounts.ini", changed through the same rules as the
// accounts window (its working copy, the name checks, alphabetical order, 13 keys each, the
// password scrambled) by driving TFrmAccounts the way a user would.

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "accounts/KivoAccounts.h"
#include "accounts/KivoWizard.h"
#include "app/cli/cli.h"
#include "base/bytes.h"
#include "base/inifile.h"
#include "base/terminaltext.h"

namespace kivo::cli {

namespace {

// The window seen from a terminal: nothing is drawn; a refusal of the name field is noted.
class TerminalAccountsView : public AccountsView {
  public:
    void ShowList(const std::vector<AccountEntry>&, int) override {}
    void ShowFields(const AccountFields&, bool) override {}
    void ShowSignatures(const std::vector<std::string>&) override {}
    void ShowDefaultAccount(const std::vector<std::string>&, std::string_view) override {}
    void FocusAccountName() override {}
    void CloseWindow() override {}
};

std::string StoredDefault(const ProgramFolder& folder) {
    return IniFile(folder.SettingsFile()).ReadString("Mail", "DefaultAccount", "");
}

// The account that serves as default among the stored ones.
std::string DefaultAccount(const ProgramFolder& folder, const std::vector<Account>& accounts) {
    std::vector<std::string> names;
    for (const Account& a : accounts) names.push_back(a.account);
    return ResolveDefaultAccount(names, StoredDefault(folder));
}

// The accounts window opened on the program folder, with its default account.
class AccountsSession {
  public:
    explicit AccountsSession(const ProgramFolder& folder)
        : folder_(folder), frm_(AccountsPaths::InProgramFolder(folder.root), view_) {
        frm_.Init(StoredDefault(folder));
    }

    TFrmAccounts& Window() { return frm_; }

    // Shows the named account; throws when there is none.
    void Show(std::string_view name) {
        const int index = frm_.IndexOf(name);
        if (name.empty() || index < 0) {
            throw std::runtime_error("no account named '" + std::string(name) + "'");
        }
        frm_.AccountsListClick(index);
    }

    // OK, then the default account into the main settings.
    void Confirm() {
        const std::optional<std::string> chosen = frm_.BtnOKClick();
        if (!chosen) throw std::runtime_error("the account name is not usable");
        if (StoredDefault(folder_) != *chosen) {
            IniFile settings(folder_.SettingsFile());
            settings.WriteString("Mail", "DefaultAccount", *chosen);
            settings.UpdateFile();
        }
    }

  private:
    const ProgramFolder& folder_;
    TerminalAccountsView view_;
    TFrmAccounts frm_;
};

void RequireOneLine(std::string_view what, std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        throw UsageError(std::string(what) + " must be one line");
    }
}

bool ParseFlag(std::string_view what, std::string_view value) {
    if (value == "1") return true;
    if (value == "0") return false;
    throw UsageError(std::string(what) + " takes 0 or 1, not '" + std::string(value) + "'");
}

// Sets one of the 13 keys or a secure key in the shown account; passwords are given plain.
void SetKey(TFrmAccounts& frm, std::string_view key, const std::string& value) {
    RequireOneLine(key, value);
    AccountFields& f = frm.Fields();
    // clang-format off
    struct TextKey { std::string_view key; std::string AccountFields::*field; };
    static constexpr TextKey kText[] = {
        {"Name", &AccountFields::name},         {"Email", &AccountFields::email},
        {"POPServer", &AccountFields::popServer}, {"POPUser", &AccountFields::popUser},
        {"POPPass", &AccountFields::password},  {"SkipBigSize", &AccountFields::skipBigSize},
        {"SMTP", &AccountFields::smtp},         {"Sig", &AccountFields::sig},
        {"Tag", &AccountFields::tag}};
    struct FlagKey { std::string_view key; bool AccountFields::*field; };
    static constexpr FlagKey kFlags[] = {
        {"SkipBig", &AccountFields::skipBig}, {"LeaveMail", &AccountFields::leaveMail},
        {"Sound", &AccountFields::sound}};
    // clang-format on
    for (const TextKey& k : kText) {
        if (EqualsNoCase(k.key, key)) {
            f.*k.field = value;
            return;
        }
    }
    for (const FlagKey& k : kFlags) {
        if (EqualsNoCase(k.key, key)) {
            f.*k.field = ParseFlag(key, value);
            return;
        }
    }
    if (EqualsNoCase(key, "CheckMail")) {
        frm.SetChecked(frm.Selected(), ParseFlag(key, value));
        return;
    }
    if (EqualsNoCase(key, kLeaveDaysKey)) {
        int days = 0;
        if (!ParseInt(value, days) || days < 0 || days > 36500)
            throw UsageError(std::string(key) + " takes a number of days (0: never), not '" +
                             value + "'");
        f.leaveDays = days;
        return;
    }
    if (std::string* field = SecureKeyField(f.security, key)) {
        if (!IsSecureKeyValue(key, value))
            throw UsageError(std::string(key) + " does not take '" + value + "'");
        *field = value;
        return;
    }
    throw UsageError("unknown key '" + std::string(key) + "'");
}

// Turns the terminal's echo off for its life, when standard input is a terminal.
class NoEcho {
  public:
    NoEcho() {
        if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            on_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~NoEcho() {
        if (on_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;
    bool On() const { return on_; }

  private:
    termios saved_{};
    bool on_ = false;
};

// The first line of standard input; typed on a terminal, it is not shown.
std::string ReadPasswordLine(std::string_view prompt = "Password: ") {
    std::string line;
    {
        const NoEcho quiet;
        if (quiet.On()) std::cerr << prompt << std::flush;
        const bool read = static_cast<bool>(std::getline(std::cin, line));
        if (quiet.On()) std::cerr << '\n';
        if (!read) throw std::runtime_error("no password on standard input");
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// "-" as the value of a password key: the password comes from standard input, so it shows
// neither on the command line nor in the shell's history.
bool IsPasswordKey(std::string_view key) {
    return EqualsNoCase(key, "POPPass") || EqualsNoCase(key, "SMTPPass");
}

std::string Describe(const Account& a) {
    std::string text = a.account;
    if (!a.name.empty() || !a.email.empty()) {
        text += "  " + a.name + (a.name.empty() ? "" : " ") + "<" + a.email + ">";
    }
    if (!a.popServer.empty()) {
        text += "  pop " + (a.popUser.empty() ? "" : a.popUser + "@") + a.popServer;
    }
    if (!a.smtp.empty()) text += "  smtp " + a.smtp;
    text += a.checkMail ? "  check" : "  no check";
    if (a.leaveMail) text += ", leave mail";
    if (a.skipBig) text += ", skip over " + a.skipBigSize + " kb";
    return text;
}

// The value last given for `key` among the options, or empty.
std::string Given(const std::vector<std::pair<std::string, std::string>>& keys,
                  std::string_view key) {
    for (auto k = keys.rbegin(); k != keys.rend(); ++k)
        if (k->first == key) return k->second;
    return {};
}

bool IsGiven(const std::vector<std::pair<std::string, std::string>>& keys, std::string_view key) {
    return std::any_of(keys.begin(), keys.end(), [&](const auto& k) { return k.first == key; });
}

// --guess: the servers not given, from the address's domain, each the first that answers as
// the setup wizard tries them; the POP user and the SMTP log-in as the wizard sets them.
void GuessServers(Context& ctx, std::vector<std::pair<std::string, std::string>>& keys) {
    const std::string email = Given(keys, "Email");
    const std::size_t at = email.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == email.size())
        throw UsageError("--guess needs --email with a user name and a domain");
    const std::string domain = email.substr(at + 1);
    const TServerProber prober = [&ctx](const TServerGuess& guess) {
        return ProbeServer(ctx.platform,
                           {guess.protocol, guess.security, guess.server, kWizardProbeTimeOut, {}});
    };
    const auto progress = [&ctx](std::string_view text) {
        if (ctx.verbosity != TVerbosity::Quiet) ctx.err << text << '\n';
    };
    struct Wanted {
        const char* key;
        const char* what;
        std::vector<TServerGuess> guesses;
    };
    const Wanted wanted[] = {{"POPServer", "POP", GuessPopServers(domain)},
                             {"SMTP", "SMTP", GuessSmtpServers(domain)}};
    std::string missing;
    for (const Wanted& w : wanted) {
        if (IsGiven(keys, w.key)) continue;
        const TGuessTrial trial = TryServerGuesses(w.guesses, prober, progress);
        if (trial.server) {
            keys.emplace_back(w.key, *trial.server);
            ctx.out << w.what << " server " << *trial.server << '\n';
        } else {
            ctx.err << "none of the " << w.what << " servers guessed answered:" << trial.failures
                    << '\n';
            missing += std::string(missing.empty() ? "" : " or ") +
                       (w.key == std::string_view("SMTP") ? "--smtp" : "--pop-server");
        }
    }
    if (!missing.empty())
        throw std::runtime_error("no server guessed from " + domain + " answered; give it with " +
                                 missing);
    if (!IsGiven(keys, "POPUser")) keys.emplace_back("POPUser", email.substr(0, at));
    if (!IsGiven(keys, "SMTPAuth")) keys.emplace_back("SMTPAuth", "pop");
}

// The security the servers' standard ports stand for, where none was given, as the setup
// wizard takes it; a secured SMTP server logs in with the POP user unless told otherwise.
void SecurityFromPorts(std::vector<std::pair<std::string, std::string>>& keys) {
    if (!IsGiven(keys, "POPSecurity")) {
        const std::string_view pop = WizardPopSecurity(Given(keys, "POPServer"));
        if (!pop.empty()) keys.emplace_back("POPSecurity", pop);
    }
    if (!IsGiven(keys, "SMTPSecurity")) {
        const std::string_view smtp = WizardSmtpSecurity(Given(keys, "SMTP"));
        if (!smtp.empty()) keys.emplace_back("SMTPSecurity", smtp);
    }
    const std::string smtpSecurity = Given(keys, "SMTPSecurity");
    if (!IsGiven(keys, "SMTPAuth") && !smtpSecurity.empty() && !EqualsNoCase(smtpSecurity, "none"))
        keys.emplace_back("SMTPAuth", "pop");
}

// Refuses, naming them, the servers the password would go to unencrypted; `howToSecure` is
// the command's own way.
void RefusePlainText(const std::vector<std::string>& plain, std::string_view howToSecure) {
    if (plain.empty()) return;
    std::string servers = plain.front();
    if (plain.size() > 1) servers += " and " + plain.back();
    throw std::runtime_error("the password would go unencrypted to " + servers + "; secure it (" +
                             std::string(howToSecure) + ") or save it anyway with --yes");
}

}  // namespace

int AccountListCommand(Context& ctx, Args args) {
    if (!args.empty()) throw UsageError("no arguments expected");
    const std::vector<Account> accounts = ReadAccounts(ctx.folder.AccountsFile());
    const std::string def = DefaultAccount(ctx.folder, accounts);
    for (const Account& a : accounts) {
        ctx.out << (a.account == def ? "* " : "  ") << VisibleControls(Describe(a)) << '\n';
    }
    return 0;
}

int AccountAddCommand(Context& ctx, Args args) {
    if (args.empty()) throw UsageError("an account name is needed");
    const std::string& name = args[0];
    RequireOneLine("the account name", name);
    if (args.size() > 1) throw UsageError("unexpected " + args[1]);
    std::vector<std::pair<std::string, std::string>> keys;
    bool guess = false;
    bool yes = false;
    for (const CommandLine::Given& given : args.Options()) {
        const std::string& opt = given.name;
        if (opt == "--guess" || opt == "--yes") {
            (opt == "--guess" ? guess : yes) = true;
            continue;
        }
        if (opt == "--password-stdin") {
            keys.emplace_back("POPPass", ReadPasswordLine());
            continue;
        }
        // clang-format off
        static const std::pair<std::string_view, std::string_view> kOptions[] = {
            {"--email", "Email"}, {"--name", "Name"}, {"--pop-server", "POPServer"},
            {"--pop-user", "POPUser"}, {"--password", "POPPass"}, {"--smtp", "SMTP"},
            {"--leave-mail", "LeaveMail"}, {"--leave-days", "LeaveDays"},
            {"--skip-big", "SkipBigSize"}, {"--check", "CheckMail"},
            {"--sound", "Sound"}, {"--sig", "Sig"}, {"--tag", "Tag"},
            {"--pop-security", "POPSecurity"}, {"--smtp-security", "SMTPSecurity"},
            {"--smtp-auth", "SMTPAuth"}};
        // clang-format on
        const auto* found = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [&](const auto& o) { return o.first == opt; });
        if (found == std::end(kOptions)) throw UsageError("unknown option '" + opt + "'");
        const std::string& value = given.value;
        if (found->second == "SkipBigSize") {
            int kb = 0;
            if (!ParseInt(value, kb) || kb < 0) throw UsageError("--skip-big takes kilobytes");
            keys.emplace_back("SkipBig", kb > 0 ? "1" : "0");
        }
        keys.emplace_back(found->second, value);
    }

    ctx.folder.CreateOrThrow();
    AccountsSession session(ctx.folder);
    TFrmAccounts& frm = session.Window();
    if (frm.IndexOf(name) >= 0 && !name.empty()) {
        throw std::runtime_error("an account named '" + name + "' already exists");
    }
    // The name is known to be free before any server is tried.
    if (guess) GuessServers(ctx, keys);
    SecurityFromPorts(keys);
    if (frm.Entries().size() == 1 && frm.Entries()[0].name.empty()) {
        frm.EditAccountEnter();  // the first account takes the empty line
    } else {
        frm.BtnNewClick();
    }
    frm.EditAccountChange(name);
    if (!frm.EditAccountExit()) {
        throw std::runtime_error("'" + name + "' cannot be an account name");
    }
    // A new account starts from the stored defaults, not from the account shown before.
    AccountFields& f = frm.Fields();
    f.skipBigSize.clear();
    f.leaveMail = false;
    f.sound = true;
    f.sig = "Default";
    f.leaveDays = 0;
    frm.SetChecked(frm.Selected(), true);
    for (const auto& [key, value] : keys) SetKey(frm, key, value);
    if (!yes) {
        RefusePlainText(PlainTextPasswordServers(frm.Fields()),
                        "--pop-security, --smtp-security, the ports 995, 465 or 587");
    }
    session.Confirm();
    return 0;
}

int AccountSetCommand(Context& ctx, Args args) {
    if (args.size() < 2) throw UsageError("an account name and KEY=VALUE pairs are needed");
    bool yes = false;
    for (const CommandLine::Given& given : args.Options()) yes = yes || given.name == "--yes";
    AccountsSession session(ctx.folder);
    session.Show(args[0]);
    const std::vector<std::string> plainBefore =
        PlainTextPasswordServers(session.Window().Fields());
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::size_t eq = args[i].find('=');
        if (eq == std::string::npos || eq == 0)
            throw UsageError("'" + args[i] + "' is no KEY=VALUE");
        const std::string key = args[i].substr(0, eq);
        std::string value = args[i].substr(eq + 1);
        if (value == "-" && IsPasswordKey(key)) value = ReadPasswordLine(key + ": ");
        SetKey(session.Window(), key, value);
    }
    // A change that would newly give the password away is confirmed as adding such an account
    // is; an account already that way (saved with --yes) may still be edited.
    std::vector<std::string> plainAfter = PlainTextPasswordServers(session.Window().Fields());
    // ("the POP server HOST": the kind counts, so a plain account may move to another host)
    auto kind = [](const std::string& server) { return server.substr(0, server.find(" server")); };
    std::erase_if(plainAfter, [&](const std::string& server) {
        return std::any_of(plainBefore.begin(), plainBefore.end(),
                           [&](const std::string& was) { return kind(was) == kind(server); });
    });
    if (!yes) RefusePlainText(plainAfter, "POPSecurity=stls or tls, SMTPSecurity=starttls or tls");
    session.Confirm();
    return 0;
}

int AccountDeleteCommand(Context& ctx, Args args) {
    if (args.size() != 1) throw UsageError("one account name is needed");
    AccountsSession session(ctx.folder);
    session.Show(args[0]);
    if (session.Window().Entries().size() <= 1) {
        throw std::runtime_error("the last account cannot be deleted");
    }
    session.Window().BtnDeleteClick();
    session.Confirm();
    return 0;
}

int AccountDefaultCommand(Context& ctx, Args args) {
    if (args.size() > 1) throw UsageError("at most one account name");
    if (args.empty()) {
        const std::string def = DefaultAccount(ctx.folder, ReadAccounts(ctx.folder.AccountsFile()));
        if (!def.empty()) ctx.out << def << '\n';
        return 0;
    }
    AccountsSession session(ctx.folder);
    TFrmAccounts& frm = session.Window();
    const int index = frm.IndexOf(args[0]);
    if (args[0].empty() || index < 0) {
        throw std::runtime_error("no account named '" + args[0] + "'");
    }
    frm.SelectDefaultAccount(frm.Entries()[index].name);
    session.Confirm();
    return 0;
}

}  // namespace kivo::cli
