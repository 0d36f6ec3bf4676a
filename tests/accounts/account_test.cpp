#include "accounts/account.h"

#include <gtest/gtest.h>

#include "base/scramble.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

TEST(AccountFile, ReadsEveryKeyWithItsDefaultInFileOrder) {
    test::TempDir dir;
    test::WriteFile(dir / "accounts.ini",
                    "[Work]\r\nName=Jo Doe\r\nEmail=jo@work.example\r\nPOPServer=pop.work\r\n"
                    "POPUser=jo\r\nPOPPass=" +
                        Scramble("s3cret", kAccountPasswordKey) +
                        "\r\nSkipBig=1\r\nSkipBigSize=250\r\nSMTP=smtp.work\r\nCheckMail=0\r\n"
                        "LeaveMail=1\r\nSound=0\r\nSig=Formal\r\nTag=Sales\r\n"
                        "[Home]\n");
    const std::vector<Account> accounts = ReadAccounts(dir / "accounts.ini");
    ASSERT_EQ(accounts.size(), 2u);
    const Account& work = accounts[0];
    EXPECT_EQ(work.account, "Work");
    EXPECT_EQ(work.Password(), "s3cret");
    EXPECT_TRUE(work.skipBig);
    EXPECT_EQ(work.SkipBigKilobytes(), 250);
    EXPECT_FALSE(work.checkMail);
    EXPECT_TRUE(work.leaveMail);
    EXPECT_FALSE(work.sound);
    EXPECT_EQ(work.sig, "Formal");
    EXPECT_EQ(work.tag, "Sales");

    const Account& home = accounts[1];
    EXPECT_EQ(home.account, "Home");
    EXPECT_EQ(home.Password(), "");
    EXPECT_EQ(home.popPass, "");
    EXPECT_FALSE(home.skipBig);
    EXPECT_EQ(home.skipBigSize, "");
    EXPECT_TRUE(home.checkMail);
    EXPECT_FALSE(home.leaveMail);
    EXPECT_TRUE(home.sound);
    EXPECT_EQ(home.sig, "Default");
    EXPECT_TRUE(ReadAccounts(dir / "missing.ini").empty());
}

TEST(AccountFile, WritesThirteenKeysInOrderAndThePasswordScrambled) {
    Account a;
    a.account = "Home";
    a.name = "Jo";
    a.SetPassword("pw");
    a.skipBigSize = "12x";
    IniFile ini;
    WriteAccount(ini, a);
    std::vector<std::string> keys(kAccountKeys.begin(), kAccountKeys.end());
    EXPECT_EQ(ini.Keys("Home"), keys);
    EXPECT_EQ(ini.ReadString("Home", "POPPass", ""), Scramble("pw", 15283));
    EXPECT_NE(ini.ReadString("Home", "POPPass", ""), "pw");
    EXPECT_EQ(ini.ReadString("Home", "CheckMail", ""), "1");
    EXPECT_EQ(ini.ReadString("Home", "SkipBig", ""), "0");
    EXPECT_EQ(ReadAccount(ini, "Home").SkipBigKilobytes(), 0);  // not a number counts as 0
}

TEST(AccountFile, DefaultAccountAndOrder) {
    const std::vector<std::string> names = {"work", "Home", "alpha"};
    struct Case {
        const char* configured;
        const char* chosen;
    } cases[] = {{"Home", "Home"}, {"WORK", "work"}, {"", "alpha"}, {"gone", "alpha"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveDefaultAccount(names, c.configured), c.chosen) << c.configured;
    }
    EXPECT_EQ(ResolveDefaultAccount({}, "x"), "");
    std::vector<std::string> sorted = {"b", "B", "a", "C"};
    SortAccountNames(sorted);
    EXPECT_EQ(sorted, (std::vector<std::string>{"a", "B", "b", "C"}));
}

TEST(AccountFile, StorableNames) {
    for (const char* good : {"Home", "My Account", "j\xf6rg@example"}) {
        EXPECT_TRUE(IsStorableAccountName(good)) << good;
    }
    for (const char* bad : {"", " Home", "Home ", "a[b", "a]b", "a\nb", "a\tb"}) {
        EXPECT_FALSE(IsStorableAccountName(bad)) << bad;
    }
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

TEST(AccountFile, SecureKeysFollowTheThirteenOnlyWhenSetAndTheSmtpPasswordIsScrambled) {
    Account a;
    a.account = "Work";
    a.popUser = "jo";
    a.SetPassword("poppw");
    IniFile ini;
    WriteAccount(ini, a);
    // Nothing asked for: the section is what it always was, and so is the connection.
    EXPECT_EQ(ini.Keys("Work"), std::vector<std::string>(kAccountKeys.begin(), kAccountKeys.end()));
    EXPECT_EQ(ReadAccount(ini, "Work").PopSecurity(), TSecurity::none);
    EXPECT_EQ(ReadAccount(ini, "Work").SmtpAuthUser(), "");

    a.security = {"stls", "tls", "own", "jo@work", Scramble("smtppw", kAccountPasswordKey),
                  "AB:CD"};
    WriteAccount(ini, a);
    std::vector<std::string> keys(kAccountKeys.begin(), kAccountKeys.end());
    keys.insert(keys.end(), kSecureAccountKeys.begin(), kSecureAccountKeys.end());
    EXPECT_EQ(ini.Keys("Work"), keys);
    EXPECT_EQ(ini.ReadString("Work", "SMTPPass", ""), Scramble("smtppw", 15283));
    const Account read = ReadAccount(ini, "Work");
    EXPECT_EQ(read.PopSecurity(), TSecurity::upgrade);
    EXPECT_EQ(read.SmtpSecurity(), TSecurity::implicit);
    EXPECT_EQ(read.SmtpAuthUser(), "jo@work");
    EXPECT_EQ(read.SmtpAuthPassword(), "smtppw");

    // "pop" logs in to SMTP as the POP user; an unknown mode never means plain text.
    a.security = {"ssl", "starttls", "pop", "", "", ""};
    WriteAccount(ini, a);
    const Account pop = ReadAccount(ini, "Work");
    EXPECT_EQ(pop.PopSecurity(), TSecurity::implicit);
    EXPECT_EQ(pop.SmtpSecurity(), TSecurity::upgrade);
    EXPECT_EQ(pop.SmtpAuthUser(), "jo");
    EXPECT_EQ(pop.SmtpAuthPassword(), "poppw");
    EXPECT_FALSE(ini.Keys("Work").back() == "TrustCert");  // cleared keys go
}

TEST(AccountFile, TheSmtpLogInBelongsToTheAccountOfTheServer) {
    std::vector<Account> accounts(3);
    accounts[0].account = "A";
    accounts[0].smtp = "smtp.shared";
    accounts[1].account = "B";
    accounts[1].smtp = "SMTP.shared ";
    accounts[2].account = "C";
    accounts[2].smtp = "smtp.c";
    struct Case {
        const char* why;
        const char* server;
        const char* defaultAccount;
        bool isDefaultServer;
        const char* chosen;  // empty: none
    } cases[] = {
        {"the default account wins a shared server", "smtp.shared", "B", false, "B"},
        {"else the first that names it", "smtp.shared", "C", false, "A"},
        {"the program's own server: the default account", "smtp.other", "C", true, "C"},
        {"a server of no account", "smtp.other", "C", false, ""},
    };
    for (const Case& c : cases) {
        const Account* a = SmtpAccountFor(accounts, c.server, c.defaultAccount, c.isDefaultServer);
        EXPECT_EQ(a ? a->account : "", c.chosen) << c.why;
    }
}

}  // namespace
}  // namespace kivo
