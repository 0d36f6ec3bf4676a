#include <gtest/gtest.h>

#include <map>

#include "accounts/KivoWizard.h"
#include "accounts/account.h"
#include "base/scramble.h"
#include "net/sockerrors.h"
#include "tests/net/netfakes.h"
#include "tests/net/tlspeer.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using F = TWizardField;

// Answers for the servers in `answering`, "no answer" for the others, and notes every try.
struct FakeProber {
    std::vector<std::string> answering;
    std::vector<std::string> tried;

    TServerProber Fn() {
        return [this](const TServerGuess& guess) {
            tried.push_back(guess.server);
            for (const std::string& s : answering)
                if (s == guess.server) return TProbeResult{true, {}};
            return TProbeResult{false, "no answer"};
        };
    }
};

TServerProber AllAnswer() {
    return [](const TServerGuess&) { return TProbeResult{true, {}}; };
}

struct Guessed {
    std::string account, popServer, smtp;
};

Guessed Fields(const TFrmSetupWizard& w) {
    return {w.Field(F::POPAccount), w.Field(F::POPServer), w.Field(F::SMTPServer)};
}

TEST(SetupWizard, GuessesFromTheAddressUntilTheUserTypes) {
    struct Case {
        const char* email;
        const char* account;
        const char* server;
        const char* why;
        const char* smtp;
    };
    const Case cases[] = {
        {"jo@mail.example", "jo", "pop.mail.example:995", "user name and domain",
         "smtp.mail.example:465"},
        {"jo@a@b", "jo", "pop.a@b:995", "split at the first @", "smtp.a@b:465"},
        {"@mail.example", "", "", "an address starting with @ fills nothing", ""},
        {"jo", "", "", "no @ yet", ""},
        {"jo@", "jo", "", "an empty domain guesses no server", ""},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        TFrmSetupWizard w(dir / "accounts.ini", AllAnswer());
        w.FieldChange(F::Email, c.email, true);
        EXPECT_EQ(w.Field(F::POPAccount), c.account) << c.why;
        EXPECT_EQ(w.Field(F::POPServer), c.server) << c.why;
        EXPECT_EQ(w.Field(F::SMTPServer), c.smtp) << c.why;
    }
}

TEST(SetupWizard, GuessesTheServersPeopleExpectInOrder) {
    std::vector<std::string> pop, smtp;
    for (const TServerGuess& g : GuessPopServers("isp.example")) {
        EXPECT_EQ(g.protocol, TMailProtocol::pop3);
        EXPECT_EQ(g.security, TSecurity::implicit);
        pop.push_back(g.server);
    }
    for (const TServerGuess& g : GuessSmtpServers("isp.example")) {
        EXPECT_EQ(g.protocol, TMailProtocol::smtp);
        EXPECT_EQ(g.security,
                  g.server.ends_with(":587") ? TSecurity::upgrade : TSecurity::implicit);
        smtp.push_back(g.server);
    }
    EXPECT_EQ(pop, (std::vector<std::string>{"pop.isp.example:995", "mail.isp.example:995"}));
    EXPECT_EQ(smtp, (std::vector<std::string>{"smtp.isp.example:465", "smtp.isp.example:587",
                                              "mail.isp.example:465", "mail.isp.example:587"}));
    EXPECT_TRUE(GuessPopServers("").empty());
    EXPECT_TRUE(GuessSmtpServers("").empty());
}

TEST(SetupWizard, TypedFieldsKeepTheUsersTextAndEmptyingThemFollowsAgain) {
    test::TempDir dir;
    TFrmSetupWizard w(dir / "accounts.ini", AllAnswer());
    w.FieldChange(F::Email, "jo@old.example", true);
    // Typed with the focus: kept when the address changes.
    w.FieldChange(F::SMTPServer, "smtp.isp.example", true);
    EXPECT_TRUE(w.TypedInto(F::SMTPServer));
    w.FieldChange(F::Email, "ann@new.example", true);
    Guessed g = Fields(w);
    EXPECT_EQ(g.account, "ann");
    EXPECT_EQ(g.popServer, "pop.new.example:995");
    EXPECT_EQ(g.smtp, "smtp.isp.example");

    // A change without the focus (the program's own) does not count as typing.
    w.FieldChange(F::POPServer, "pop.elsewhere", false);
    EXPECT_FALSE(w.TypedInto(F::POPServer));
    w.FieldChange(F::Email, "ann@third.example", true);
    EXPECT_EQ(w.Field(F::POPServer), "pop.third.example:995");

    // Emptying a typed field with the focus hands it back to the guesses.
    w.FieldChange(F::SMTPServer, "", true);
    EXPECT_FALSE(w.TypedInto(F::SMTPServer));
    w.FieldChange(F::Email, "ann@fourth.example", true);
    EXPECT_EQ(w.Field(F::SMTPServer), "smtp.fourth.example:465");
}

TEST(SetupWizard, FinishTakesTheFirstGuessThatAnswersWithTlsAndTheSmtpLogIn) {
    test::TempDir dir;
    test::WriteFile(dir / "accounts.ini", "[Work]\r\nEmail=w@work.example\r\n");
    FakeProber probe{{"mail.isp.example:995", "smtp.isp.example:587"}, {}};
    TFrmSetupWizard w(dir / "accounts.ini", probe.Fn());
    w.FieldChange(F::Email, "jo@isp.example", true);
    w.FieldChange(F::FullName, "Jo Doe", true);
    w.FieldChange(F::Password, "s3cret", true);
    std::vector<std::string> shown;
    const TWizardOutcome out =
        w.FinishClick(false, [&](std::string_view text) { shown.emplace_back(text); });
    ASSERT_EQ(out.step, TWizardStep::written) << out.text;
    EXPECT_TRUE(w.Closed());
    EXPECT_TRUE(w.Written());
    EXPECT_EQ(probe.tried,
              (std::vector<std::string>{"pop.isp.example:995", "mail.isp.example:995",
                                        "smtp.isp.example:465", "smtp.isp.example:587"}));
    EXPECT_EQ(shown.front(), "Trying pop.isp.example:995...");
    EXPECT_EQ(shown.size(), 4u);
    // The fields show what was taken.
    EXPECT_EQ(w.Field(F::POPServer), "mail.isp.example:995");
    EXPECT_EQ(w.Field(F::SMTPServer), "smtp.isp.example:587");

    const std::vector<Account> accounts = ReadAccounts(dir / "accounts.ini");
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].email, "w@work.example");  // other accounts stay
    const Account& mine = accounts[1];
    EXPECT_EQ(mine.account, "My Account");
    EXPECT_EQ(mine.email, "jo@isp.example");
    EXPECT_EQ(mine.name, "Jo Doe");
    EXPECT_EQ(mine.popUser, "jo");
    EXPECT_EQ(mine.popServer, "mail.isp.example:995");
    EXPECT_EQ(mine.PopSecurity(), TSecurity::implicit);
    EXPECT_EQ(mine.smtp, "smtp.isp.example:587");
    EXPECT_EQ(mine.SmtpSecurity(), TSecurity::upgrade);
    EXPECT_EQ(mine.Password(), "s3cret");
    EXPECT_EQ(mine.SmtpAuthUser(), "jo");
    EXPECT_EQ(mine.SmtpAuthPassword(), "s3cret");
    EXPECT_TRUE(PlainTextPasswordServers(mine).empty());
}

TEST(SetupWizard, GuessesThatNoneAnswersAreNotTakenAndTypedServersAreNotTried) {
    test::TempDir dir;
    FakeProber probe{{"pop.isp.example:995"}, {}};
    TFrmSetupWizard w(dir / "accounts.ini", probe.Fn());
    w.FieldChange(F::Email, "jo@isp.example", true);
    w.FieldChange(F::Password, "s3cret", true);
    TWizardOutcome out = w.FinishClick(false);
    ASSERT_EQ(out.step, TWizardStep::unreachable);
    EXPECT_FALSE(w.Closed());
    EXPECT_FALSE(std::filesystem::exists(dir / "accounts.ini"));
    for (const TServerGuess& g : GuessSmtpServers("isp.example"))
        EXPECT_NE(out.text.find(g.server + ": no answer"), std::string::npos) << out.text;
    EXPECT_EQ(out.text.find("POP"), std::string::npos) << "the POP guess answered";

    // The user names the SMTP server: the POP server found before is not tried again, the
    // typed one not at all.
    probe.tried.clear();
    w.FieldChange(F::SMTPServer, "out.isp.example:465", true);
    out = w.FinishClick(false);
    ASSERT_EQ(out.step, TWizardStep::written) << out.text;
    EXPECT_TRUE(probe.tried.empty());
    const Account a = ReadAccounts(dir / "accounts.ini").at(0);
    EXPECT_EQ(a.popServer, "pop.isp.example:995");
    EXPECT_EQ(a.smtp, "out.isp.example:465");
    EXPECT_EQ(a.SmtpSecurity(), TSecurity::implicit);
}

TEST(SetupWizard, APasswordInPlainTextIsWrittenOnlyAfterTheUserAgrees) {
    struct Case {
        const char* popServer;
        const char* smtpServer;
        const char* password;
        const char* named;  // in the question; null: no question
    };
    const Case cases[] = {
        {"pop.example:995", "smtp.example:465", "s3cret", nullptr},
        {"pop.example", "smtp.example:587", "s3cret", "the POP server pop.example"},
        {"pop.example:995", "smtp.example:25", "s3cret", "the SMTP server smtp.example:25"},
        {"pop.example:110", "smtp.example", "s3cret", "POP server pop.example:110 and the SMTP"},
        {"[2001:db8::1]:995", "smtp.example:4650", "s3cret", "the SMTP server"},
        {"pop.example:110", "smtp.example", "", nullptr},  // no password to give away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.popServer) + " " + c.smtpServer);
        test::TempDir dir;
        FakeProber probe;
        TFrmSetupWizard w(dir / "accounts.ini", probe.Fn());
        w.FieldChange(F::Email, "jo@mail.example", true);
        w.FieldChange(F::Password, c.password, true);
        w.FieldChange(F::POPServer, c.popServer, true);
        w.FieldChange(F::SMTPServer, c.smtpServer, true);
        TWizardOutcome out = w.FinishClick(false);
        if (c.named) {
            ASSERT_EQ(out.step, TWizardStep::askPlainText);
            EXPECT_NE(out.text.find(c.named), std::string::npos) << out.text;
            EXPECT_FALSE(w.Closed());
            EXPECT_FALSE(std::filesystem::exists(dir / "accounts.ini"));
            out = w.FinishClick(true);
        }
        ASSERT_EQ(out.step, TWizardStep::written) << out.text;
        EXPECT_TRUE(probe.tried.empty());
        const Account a = ReadAccounts(dir / "accounts.ini").at(0);
        EXPECT_EQ(PlainTextPasswordServers(a).empty(), c.named == nullptr);
        EXPECT_EQ(a.SmtpAuthUser(), "jo");
        EXPECT_EQ(a.SmtpAuthPassword(), c.password);
    }
}

TEST(SetupWizard, CancelWritesNothingAlsoWhileTheGuessesAreTried) {
    test::TempDir dir;
    const std::string before = "[Work]\r\nEmail=w@work.example\r\n";
    test::WriteFile(dir / "accounts.ini", before);
    TFrmSetupWizard w(dir / "accounts.ini", AllAnswer());
    w.FieldChange(F::Email, "jo@isp.example", true);
    w.FieldChange(F::Password, "s3cret", true);
    w.CancelClick();
    EXPECT_TRUE(w.Closed());
    EXPECT_FALSE(w.Written());
    EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), before);

    // Cancel pressed while the first guess is tried (the event pump runs meanwhile).
    int tries = 0;
    TFrmSetupWizard busy(dir / "accounts.ini", [&](const TServerGuess&) {
        ++tries;
        busy.CancelClick();
        return TProbeResult{true, {}};
    });
    busy.FieldChange(F::Email, "jo@isp.example", true);
    EXPECT_EQ(busy.FinishClick(true).step, TWizardStep::canceled);
    EXPECT_EQ(tries, 1);
    EXPECT_TRUE(busy.Closed());
    EXPECT_FALSE(busy.Written());
    EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), before);
}

TEST(SetupWizard, FinishingEmptyWritesEmptyValuesButNeverBlanksAnExistingAccount) {
    test::TempDir dir;
    TFrmSetupWizard fresh(dir / "accounts.ini", AllAnswer());
    EXPECT_EQ(fresh.FinishClick(false).step, TWizardStep::written);
    const std::string written = test::ReadFile(dir / "accounts.ini");
    EXPECT_NE(written.find("[My Account]\r\nEmail=\r\nName=\r\nPOPPass=\r\nPOPUser=\r\n"
                           "POPServer=\r\nSMTP=\r\n"),
              std::string::npos)
        << written;

    // The mail folder was deleted, accounts.ini kept: an untouched wizard keeps the account.
    test::WriteFile(dir / "accounts.ini", "[My Account]\r\nEmail=jo@mail.example\r\n");
    TFrmSetupWizard again(dir / "accounts.ini", AllAnswer());
    EXPECT_EQ(again.FinishClick(false).step, TWizardStep::written);
    EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), "[My Account]\r\nEmail=jo@mail.example\r\n");
}

// The real probe against the rig, whose certificate names mail.example.test: every
// *.example.test is the rig's address, so pop. and smtp. answer with a certificate for
// another name and are passed over.
TEST(SetupWizard, RealProbesTakeTheRigsServersByTheirCertificatesName) {
    const std::string ca = test::Env("MAILPEERS_CA_FILE");
    if (ca.empty() || test::Env("MAILPEERS_POP3S_PORT").empty())
        GTEST_SKIP() << "no mail server rig";
    test::TrustStore trust(ca);
    const std::map<std::string, std::string> rigPort = {{"995", test::Env("MAILPEERS_POP3S_PORT")},
                                                        {"465", test::Env("MAILPEERS_SMTPS_PORT")},
                                                        {"587", test::Env("MAILPEERS_SMTP_PORT")}};
    test::PumpPlatform platform;
    std::vector<std::string> tried;
    TServerProber toRig = [&](const TServerGuess& g) {
        tried.push_back(g.server);
        const TServerParts parts = SplitServer(g.server);
        auto resolver = [](const std::string& host, std::vector<TSocketAddress>& found) {
            if (!host.ends_with(".example.test")) return kWsaHostNotFound;
            found.emplace_back();
            NumericAddress("127.0.0.1", found.back());
            return 0;
        };
        return ProbeServer(platform, {g.protocol, g.security,
                                      parts.host + ":" + rigPort.at(parts.port), 5, resolver});
    };
    test::TempDir dir;
    TFrmSetupWizard w(dir / "accounts.ini", toRig);
    w.FieldChange(F::Email, "alice@example.test", true);
    w.FieldChange(F::Password, "alicepw", true);
    const TWizardOutcome out = w.FinishClick(false);
    ASSERT_EQ(out.step, TWizardStep::written) << out.text;
    EXPECT_EQ(tried.size(), 2u + 3u);
    const Account a = ReadAccounts(dir / "accounts.ini").at(0);
    EXPECT_EQ(a.popServer, "mail.example.test:995");
    EXPECT_EQ(a.smtp, "mail.example.test:465");
    EXPECT_EQ(a.PopSecurity(), TSecurity::implicit);
    EXPECT_EQ(a.SmtpSecurity(), TSecurity::implicit);
}

TEST(SetupWizard, ColourSchemeFollowsTheDisplay) {
    const TWizardColours rich = WizardColourScheme(24);
    EXPECT_EQ(rich.ShadeColor, 0x7ABED1u);
    EXPECT_EQ(rich.IndexColor, 0xA2D2DFu);
    EXPECT_EQ(rich.MsgBackColor, 0xA2D2DFu);
    EXPECT_EQ(rich.TagColor, 0xFFAEA6u);
    const TWizardColours poor = WizardColourScheme(8);
    EXPECT_EQ(poor.ShadeColor, 0xC0C0C0u);
    EXPECT_EQ(poor.IndexColor, 0xFFFFFFu);
    EXPECT_EQ(poor.MsgBackColor, 0xFFFFFFu);
    EXPECT_EQ(poor.TagColor, 0x00FFFFu);
    for (const TWizardColours& c : {rich, poor, WizardColourScheme(14)}) {
        EXPECT_TRUE(c.ShadeCols);
        EXPECT_EQ(c.IndexFontColor, 0u);
        EXPECT_EQ(c.TagFont, 0u);
        EXPECT_EQ(c.MessageFontColor, 0u);
        EXPECT_EQ(c.MsgLinkColor, 0xFF0000u);
    }
    EXPECT_EQ(WizardColourScheme(14), poor);  // only more than 14 counts as rich
}

}  // namespace
}  // namespace kivo
