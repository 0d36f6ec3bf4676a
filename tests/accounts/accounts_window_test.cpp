#include <gtest/gtest.h>

#include "accounts/KivoAccounts.h"
#include "base/bytes.h"
#include "tests/support/testutil.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

// Records what the window would show.
class RecordingView : public AccountsView {
  public:
    void ShowList(const std::vector<AccountEntry>& e, int s) override {
        entries = e;
        selected = s;
    }
    void ShowFields(const AccountFields& f, bool enabled) override {
        fields = f;
        sizeEnabled = enabled;
    }
    void ShowSignatures(const std::vector<std::string>& names) override { signatures = names; }
    void ShowDefaultAccount(const std::vector<std::string>& c, std::string_view s) override {
        choices = c;
        shownDefault = std::string(s);
    }
    void FocusAccountName() override { ++focusCalls; }
    void CloseWindow() override { closed = true; }

    std::vector<AccountEntry> entries;
    int selected = -2;
    AccountFields fields;
    bool sizeEnabled = false;
    std::vector<std::string> signatures;
    std::vector<std::string> choices;
    std::string shownDefault;
    int focusCalls = 0;
    bool closed = false;
};

class AccountsWindow : public testing::Test {
  protected:
    AccountsWindow() { fs::create_directory(dir / "Signatures"); }

    void WriteAccounts(std::string_view text) { test::WriteFile(dir / "accounts.ini", text); }
    std::string Accounts() const { return test::ReadFile(dir / "accounts.ini"); }
    bool WorkingCopyExists() const { return fs::exists(dir / "accounts.bak"); }
    // Types a name into the account name field as a user does.
    void Rename(std::string_view name) {
        frm.EditAccountEnter();
        frm.EditAccountChange(name);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const AccountEntry& e : frm.Entries()) names.push_back(e.name);
        return names;
    }

    test::TempDir dir;
    RecordingView view;
    TFrmAccounts frm{AccountsPaths::InProgramFolder(dir.path()), view};
};

constexpr std::string_view kTwoAccounts =
    "[Work]\r\nName=Jo Work\r\nEmail=jo@work.example\r\nCheckMail=0\r\n"
    "[home]\r\nName=Jo Home\r\nPOPPass=zz\r\nSkipBig=1\r\nSkipBigSize=300\r\n";

TEST_F(AccountsWindow, OkWithoutChangesRewritesAllKeysAlphabetically) {
    WriteAccounts(kTwoAccounts);
    test::WriteFile(dir / "accounts.bak", "[Stale]\r\n");
    frm.Init("");
    EXPECT_EQ(view.entries, (std::vector<AccountEntry>{{"home", true}, {"Work", false}}));
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.fields.account, "home");
    EXPECT_EQ(view.fields.name, "Jo Home");
    EXPECT_TRUE(view.sizeEnabled);
    EXPECT_EQ(view.shownDefault, "home");  // no default stored: the first in the list
    // The working copy holds every key of every account, and nothing stale.
    const IniFile work(dir / "accounts.bak");
    EXPECT_EQ(work.Sections(), (std::vector<std::string>{"Work", "home"}));
    EXPECT_EQ(work.Keys("Work").size(), 13u);

    EXPECT_EQ(frm.BtnOKClick(), "home");
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(WorkingCopyExists());
    const IniFile out(dir / "accounts.ini");
    EXPECT_EQ(out.Sections(), (std::vector<std::string>{"home", "Work"}));
    std::vector<std::string> keys(kAccountKeys.begin(), kAccountKeys.end());
    EXPECT_EQ(out.Keys("home"), keys);
    EXPECT_EQ(out.Keys("Work"), keys);
    EXPECT_EQ(out.ReadString("Work", "CheckMail", ""), "0");
    EXPECT_EQ(out.ReadString("Work", "Email", ""), "jo@work.example");
    EXPECT_EQ(out.ReadString("home", "SkipBigSize", ""), "300");
    // "zz" is no scrambled text: it shows as an empty password and is stored as one.
    EXPECT_EQ(out.ReadString("home", "POPPass", "?"), "");
}

TEST_F(AccountsWindow, DefaultAccountAndSignatureSelection) {
    WriteAccounts("[B]\r\nSig=Missing\r\n[a]\r\n[C]\r\nSig=formal\r\n");
    test::WriteFile(dir / "Signatures/Default.txt", "--");
    test::WriteFile(dir / "Signatures/Formal.txt", "--");
    frm.Init("c");
    EXPECT_EQ(view.signatures, (std::vector<std::string>{"Default", "Formal"}));
    EXPECT_EQ(view.shownDefault, "C");
    EXPECT_EQ(view.fields.sig, "Default");  // "a" has no Sig: the Default file is chosen
    frm.AccountsListClick(2);
    EXPECT_EQ(view.fields.sig, "Formal");
    frm.AccountsListClick(1);
    EXPECT_EQ(view.fields.sig, "");  // no such file: nothing selected...
    frm.Fields().tag = "t";
    frm.SelectDefaultAccount("a");
    EXPECT_EQ(frm.BtnOKClick(), "a");
    const IniFile out(dir / "accounts.ini");
    EXPECT_EQ(out.ReadString("B", "Sig", ""), "Missing");  // ...and the stored name is kept
    EXPECT_EQ(out.ReadString("B", "Tag", ""), "t");
}

TEST_F(AccountsWindow, SwitchingSavesTheShownAccountWithItsPasswordScrambled) {
    WriteAccounts(kTwoAccounts);
    frm.Init("Work");
    frm.Fields().password = "open sesame";
    frm.Fields().leaveMail = true;
    frm.Fields().leaveDays = 21;
    frm.AccountsListClick(1);
    EXPECT_EQ(view.fields.account, "Work");
    EXPECT_EQ(view.fields.password, "");
    EXPECT_EQ(view.fields.leaveDays, 0);
    frm.AccountsListClick(0);
    EXPECT_EQ(view.fields.password, "open sesame");
    EXPECT_TRUE(view.fields.leaveMail);
    EXPECT_EQ(view.fields.leaveDays, 21);
    frm.SetChecked(0, false);
    ASSERT_TRUE(frm.BtnOKClick());
    const std::vector<Account> stored = ReadAccounts(dir / "accounts.ini");
    EXPECT_EQ(stored[0].Password(), "open sesame");
    EXPECT_EQ(Accounts().find("open sesame"), std::string::npos);
    EXPECT_FALSE(stored[0].checkMail);
    EXPECT_EQ(stored[0].leaveDays, 21);
    EXPECT_EQ(stored[1].leaveDays, 0);
    EXPECT_EQ(Accounts().find("LeaveDays=0"), std::string::npos) << "written only when set";
}

TEST_F(AccountsWindow, LeavingTheNameFieldNeedsAUsableUniqueName) {
    WriteAccounts(kTwoAccounts);
    frm.Init("");
    struct Case {
        const char* name;
        bool leaves;
        const char* why;
    } cases[] = {
        {"Work", false, "the name of another account"},
        {"WORK", false, "the same section for a case-blind file"},
        {"UnNamed", false, "the new-account placeholder"},
        {"", false, "empty"},
        {"bad]name", false, "cannot be a section name"},
        {"Private", true, "unique"},
    };
    for (const auto& c : cases) {
        const int focusBefore = view.focusCalls;
        Rename(c.name);
        EXPECT_EQ(frm.EditAccountExit(), c.leaves) << c.why;
        EXPECT_EQ(view.focusCalls > focusBefore, !c.leaves) << c.why;
        // While the field refuses, switching accounts is refused too.
        if (!c.leaves) {
            frm.AccountsListClick(0);
            EXPECT_EQ(frm.Fields().account, c.name) << c.why;
        }
    }
    // The renamed entry kept its check box and moved to its alphabetical place.
    EXPECT_EQ(Names(), (std::vector<std::string>{"Private", "Work"}));
    EXPECT_EQ(view.shownDefault, "Private");  // the default followed its account
    ASSERT_TRUE(frm.BtnOKClick());
    const IniFile out(dir / "accounts.ini");
    EXPECT_EQ(out.Sections(), (std::vector<std::string>{"Private", "Work"}));
    EXPECT_EQ(out.ReadString("Private", "Name", ""), "Jo Home");
    EXPECT_EQ(out.ReadString("Private", "SkipBigSize", ""), "300");
}

TEST_F(AccountsWindow, NewAccountKeepsSomeFieldsAndNeedsARealName) {
    WriteAccounts(kTwoAccounts);
    frm.Init("");
    frm.Fields().sound = false;
    frm.BtnNewClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"home", "Unnamed", "Work"}));
    EXPECT_EQ(view.selected, 1);
    EXPECT_TRUE(view.entries[1].checked);
    EXPECT_EQ(view.fields.account, "Unnamed");
    EXPECT_EQ(view.fields.name, "");
    EXPECT_FALSE(view.fields.skipBig);
    EXPECT_FALSE(view.sizeEnabled);
    EXPECT_EQ(view.fields.skipBigSize, "300");  // kept from the account shown before
    EXPECT_FALSE(view.fields.sound);
    EXPECT_TRUE(frm.NameFocused());

    frm.BtnNewClick();  // refused: the name field still says "Unnamed"
    EXPECT_EQ(frm.Entries().size(), 3u);
    EXPECT_FALSE(frm.BtnOKClick());
    EXPECT_TRUE(frm.IsOpen());

    frm.EditAccountChange("Alpha");
    frm.Fields().email = "a@example.org";
    frm.Fields().skipBig = true;
    frm.chkSkipBigClick();
    EXPECT_TRUE(view.sizeEnabled);
    ASSERT_TRUE(frm.BtnOKClick());
    const IniFile out(dir / "accounts.ini");
    EXPECT_EQ(out.Sections(), (std::vector<std::string>{"Alpha", "home", "Work"}));
    EXPECT_EQ(out.ReadString("Alpha", "Email", ""), "a@example.org");
    EXPECT_EQ(out.ReadString("Alpha", "Sound", ""), "0");
    EXPECT_EQ(out.ReadString("Alpha", "CheckMail", ""), "1");
    EXPECT_FALSE(out.SectionExists("Unnamed"));
}

TEST_F(AccountsWindow, DeleteKeepsTheLastAccount) {
    WriteAccounts("[A]\r\n[B]\r\n[C]\r\nEmail=c@x\r\n");
    frm.Init("B");
    frm.AccountsListClick(1);
    frm.BtnDeleteClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(view.selected, 1);  // the line now at the same place
    EXPECT_EQ(view.fields.email, "c@x");
    EXPECT_EQ(view.choices, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(view.shownDefault, "A");
    EXPECT_FALSE(IniFile(dir / "accounts.bak").SectionExists("B"));
    frm.BtnDeleteClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    frm.BtnDeleteClick();  // the last one stays
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(frm.BtnOKClick(), "A");
    EXPECT_EQ(IniFile(dir / "accounts.ini").Sections(), (std::vector<std::string>{"A"}));
}

TEST_F(AccountsWindow, CancelLeavesTheAccountsFileAsItWas) {
    WriteAccounts(kTwoAccounts);
    frm.Init("");
    frm.BtnNewClick();
    frm.EditAccountChange("Extra");
    frm.AccountsListClick(2);
    frm.BtnDeleteClick();
    EXPECT_TRUE(WorkingCopyExists());
    frm.BtnCancelClick();
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(Accounts(), kTwoAccounts);
    EXPECT_FALSE(WorkingCopyExists());

    // A window that goes away without OK or Cancel takes its working copy along too.
    {
        RecordingView other;
        TFrmAccounts second(AccountsPaths::InProgramFolder(dir.path()), other);
        second.Init("");
        EXPECT_TRUE(WorkingCopyExists());
    }
    EXPECT_FALSE(WorkingCopyExists());
}

TEST_F(AccountsWindow, FirstAccountInAnEmptyProgramFolder) {
    frm.Init("");
    EXPECT_EQ(view.entries, (std::vector<AccountEntry>{{"", true}}));
    frm.FormActivate();
    EXPECT_EQ(view.focusCalls, 1);
    frm.EditAccountChange("Mine");
    frm.Fields().popServer = "pop.example.org";
    EXPECT_EQ(frm.BtnOKClick(), "Mine");
    const std::vector<Account> stored = ReadAccounts(dir / "accounts.ini");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].account, "Mine");
    EXPECT_EQ(stored[0].popServer, "pop.example.org");

    // OK with nothing but the empty line stores no account.
    fs::remove(dir / "accounts.ini");
    frm.Init("");
    EXPECT_EQ(frm.BtnOKClick(), "");
    EXPECT_TRUE(IniFile(dir / "accounts.ini").Sections().empty());
}

TEST_F(AccountsWindow, AFailedOkStillClosesTheWindow) {
    WriteAccounts(kTwoAccounts);
    frm.Init("");
    frm.Fields().name = "changed";
    // The accounts file cannot be replaced: its folder is not writable for the new file.
    fs::remove(dir / "accounts.ini");
    fs::create_directory(dir / "accounts.ini");
    test::WriteFile(dir / "accounts.ini" / "block", "x");
    EXPECT_ANY_THROW(frm.BtnOKClick());
    EXPECT_TRUE(view.closed);
    EXPECT_FALSE(WorkingCopyExists());
}

}  // namespace
}  // namespace kivo
