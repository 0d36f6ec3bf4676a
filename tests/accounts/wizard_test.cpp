#include <gtest/gtest.h>

#include "accounts/KivoWizard.h"
#include "accounts/account.h"
#include "base/scramble.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

using F = TWizardField;

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
    };
    const Case cases[] = {
        {"jo@mail.example", "jo", "mail.example", "user name and domain"},
        {"jo@a@b", "jo", "a@b", "split at the first @"},
        {"@mail.example", "", "", "an address starting with @ fills nothing"},
        {"jo", "", "", "no @ yet"},
        {"jo@", "jo", "", "an empty domain is a guess too"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        TFrmSetupWizard w(dir / "accounts.ini");
        w.FieldChange(F::Email, c.email, true);
        EXPECT_EQ(w.Field(F::POPAccount), c.account) << c.why;
        EXPECT_EQ(w.Field(F::POPServer), c.server) << c.why;
        EXPECT_EQ(w.Field(F::SMTPServer), c.server) << c.why;
    }
}

TEST(SetupWizard, TypedFieldsKeepTheUsersTextAndEmptyingThemFollowsAgain) {
    test::TempDir dir;
    TFrmSetupWizard w(dir / "accounts.ini");
    w.FieldChange(F::Email, "jo@old.example", true);
    // Typed with the focus: kept when the address changes.
    w.FieldChange(F::SMTPServer, "smtp.isp.example", true);
    EXPECT_TRUE(w.TypedInto(F::SMTPServer));
    w.FieldChange(F::Email, "ann@new.example", true);
    Guessed g = Fields(w);
    EXPECT_EQ(g.account, "ann");
    EXPECT_EQ(g.popServer, "new.example");
    EXPECT_EQ(g.smtp, "smtp.isp.example");

    // A change without the focus (the program's own) does not count as typing.
    w.FieldChange(F::POPServer, "pop.elsewhere", false);
    EXPECT_FALSE(w.TypedInto(F::POPServer));
    w.FieldChange(F::Email, "ann@third.example", true);
    EXPECT_EQ(w.Field(F::POPServer), "third.example");

    // Emptying a typed field with the focus hands it back to the guesses.
    w.FieldChange(F::SMTPServer, "", true);
    EXPECT_FALSE(w.TypedInto(F::SMTPServer));
    w.FieldChange(F::Email, "ann@fourth.example", true);
    EXPECT_EQ(w.Field(F::SMTPServer), "fourth.example");
}

TEST(SetupWizard, ClosingWritesMyAccountWithTheScrambledPassword) {
    test::TempDir dir;
    test::WriteFile(dir / "accounts.ini", "[Work]\r\nEmail=w@work.example\r\n");
    TFrmSetupWizard w(dir / "accounts.ini");
    w.FieldChange(F::Email, "jo@mail.example", true);
    w.FieldChange(F::FullName, "Jo Doe", true);
    w.FieldChange(F::Password, "s3cret", true);
    w.FormClose();
    EXPECT_TRUE(w.Closed());
    const std::vector<Account> accounts = ReadAccounts(dir / "accounts.ini");
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].email, "w@work.example");  // other accounts stay
    const Account& mine = accounts[1];
    EXPECT_EQ(mine.account, "My Account");
    EXPECT_EQ(mine.email, "jo@mail.example");
    EXPECT_EQ(mine.name, "Jo Doe");
    EXPECT_EQ(mine.popUser, "jo");
    EXPECT_EQ(mine.popServer, "mail.example");
    EXPECT_EQ(mine.smtp, "mail.example");
    EXPECT_EQ(mine.popPass, Scramble("s3cret", kAccountPasswordKey));
    EXPECT_EQ(mine.Password(), "s3cret");
}

TEST(SetupWizard, StandardSecurePortsMeanTlsAndTheSubmissionPortLogsIn) {
    struct Case {
        const char* popServer;
        const char* smtpServer;
        TSecurity pop, smtp;
        bool smtpLogIn;
    };
    const Case cases[] = {
        {"pop.example:995", "smtp.example:465", TSecurity::implicit, TSecurity::implicit, true},
        {"pop.example", "smtp.example:587", TSecurity::none, TSecurity::upgrade, true},
        {"pop.example:110", "smtp.example:25", TSecurity::none, TSecurity::none, false},
        {"[2001:db8::1]:995", "smtp.example", TSecurity::implicit, TSecurity::none, false},
        {"pop.example:9950", "smtp.example:4650", TSecurity::none, TSecurity::none, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.popServer) + " " + c.smtpServer);
        test::TempDir dir;
        TFrmSetupWizard w(dir / "accounts.ini");
        w.FieldChange(F::Email, "jo@mail.example", true);
        w.FieldChange(F::Password, "s3cret", true);
        w.FieldChange(F::POPServer, c.popServer, true);
        w.FieldChange(F::SMTPServer, c.smtpServer, true);
        w.FormClose();
        const std::vector<Account> accounts = ReadAccounts(dir / "accounts.ini");
        ASSERT_EQ(accounts.size(), 1u);
        const Account& a = accounts[0];
        EXPECT_EQ(a.PopSecurity(), c.pop);
        EXPECT_EQ(a.SmtpSecurity(), c.smtp);
        EXPECT_EQ(a.SmtpAuthUser(), c.smtpLogIn ? "jo" : "");
        EXPECT_EQ(a.SmtpAuthPassword(), c.smtpLogIn ? "s3cret" : "");
        // Nothing secure asked: the account file holds none of the new keys.
        if (c.pop == TSecurity::none && c.smtp == TSecurity::none) {
            EXPECT_EQ(test::ReadFile(dir / "accounts.ini").find("Security"), std::string::npos);
        }
    }
}

TEST(SetupWizard, ClosingEmptyWritesEmptyValuesButNeverBlanksAnExistingAccount) {
    test::TempDir dir;
    TFrmSetupWizard fresh(dir / "accounts.ini");
    fresh.FormClose();
    const std::string written = test::ReadFile(dir / "accounts.ini");
    EXPECT_NE(written.find("[My Account]\r\nEmail=\r\nName=\r\nPOPPass=\r\nPOPUser=\r\n"
                           "POPServer=\r\nSMTP=\r\n"),
              std::string::npos)
        << written;

    // The mail folder was deleted, accounts.ini kept: an untouched wizard keeps the account.
    test::WriteFile(dir / "accounts.ini", "[My Account]\r\nEmail=jo@mail.example\r\n");
    TFrmSetupWizard again(dir / "accounts.ini");
    again.FormClose();
    EXPECT_EQ(test::ReadFile(dir / "accounts.ini"), "[My Account]\r\nEmail=jo@mail.example\r\n");
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
