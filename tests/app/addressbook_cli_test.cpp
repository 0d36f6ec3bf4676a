// `kivo addressbook ...` as a process: contacts in and out of address.ini and vCard files.

#include <gtest/gtest.h>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

TEST(AddressbookCommand, ImportsOnceExportsAndResolves) {
    test::TempDir home;
    const auto kivo = [&](std::vector<std::string> args) {
        return test::RunKivoIn(home.path(), std::move(args));
    };
    test::WriteFile(home / "in.vcf",
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                    "EMAIL:ann@a.org\r\nEMAIL:ann@b.org\r\nEND:VCARD\r\n");
    test::ProcessResult r = kivo({"addressbook", "import", (home / "in.vcf").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 contact imported\n");
    EXPECT_EQ(kivo({"addressbook", "import", (home / "in.vcf").string()}).out,
              "Merged with Ann Lee, already in the address book\n0 contacts imported, 1 merged\n");
    EXPECT_EQ(kivo({"addressbook", "resolve", "ann"}).out, "ann@a.org, ann@b.org\n");
    EXPECT_EQ(kivo({"addressbook", "list"}).out, "Ann\tLee\tann@a.org, ann@b.org\n");

    r = kivo({"addressbook", "export", (home / "out.vcf").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 contact exported\n");
    EXPECT_NE(test::ReadFile(home / "out.vcf").find("EMAIL;TYPE=INTERNET:ann@b.org\r\n"),
              std::string::npos);

    r = kivo({"addressbook", "import", (home / "missing.vcf").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");

    // A file of another kind is an error, not "0 contacts imported"; an empty one imports none.
    test::WriteFile(home / "book.csv", "First,Last,E-mail\r\nBo,Day,bo@x.org\r\n");
    r = kivo({"addressbook", "import", (home / "book.csv").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("book.csv is not a vCard file"), std::string::npos) << r.err;
    test::WriteFile(home / "empty.vcf", "");
    r = kivo({"addressbook", "import", (home / "empty.vcf").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 contacts imported\n");
}

// Names are kept as typed beside a nickname; what a card holds beyond names and addresses
// survives the book and goes out again; a contact already there is merged, and said so.
TEST(AddressbookCommand, KeepsNamesNicknamesAndCardPropertiesAndMerges) {
    test::TempDir home;
    const auto kivo = [&](std::vector<std::string> args) {
        test::ProcessResult r = test::RunKivoIn(home.path(), std::move(args));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    kivo({"addressbook", "add", "Carol", "Ek", "--email", "carol@home.org; carol@work.org",
          "--nick", "cc"});
    EXPECT_EQ(kivo({"addressbook", "list"}), "Carol\tEk\tcarol@home.org, carol@work.org\n");
    EXPECT_EQ(kivo({"addressbook", "resolve", "cc"}), "carol@home.org\n");
    EXPECT_EQ(kivo({"addressbook", "resolve", "carol"}), "carol@home.org, carol@work.org\n");
    EXPECT_EQ(kivo({"addressbook", "add", "Carol", "--email", "CAROL@work.org"}),
              "Merged with Carol Ek, already in the address book\n");

    test::WriteFile(home / "zoe.vcf",
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Adams;Zoë;;;\r\nNICKNAME:zoe\r\n"
                    "EMAIL:zoe@x.org\r\nTEL;TYPE=CELL:+44 7700 900123\r\nORG:Acme\r\n"
                    "NOTE:tea\\, no sugar\r\nEND:VCARD\r\n"
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ek;Carol;;;\r\nEMAIL:carol@home.org\r\n"
                    "TEL:+1 555\r\nEND:VCARD\r\n");
    EXPECT_EQ(kivo({"addressbook", "import", (home / "zoe.vcf").string()}),
              "Merged with Carol Ek, already in the address book\n1 contact imported, 1 merged\n");
    EXPECT_EQ(kivo({"addressbook", "list"}),
              "Carol\tEk\tcarol@home.org, carol@work.org\nZoë\tAdams\tzoe@x.org\n");
    kivo({"addressbook", "export", (home / "out.vcf").string()});
    const std::string out = test::ReadFile(home / "out.vcf");
    for (const char* line : {"N:Adams;Zoë;;;", "NICKNAME:zoe", "TEL;TYPE=CELL:+44 7700 900123",
                             "ORG:Acme", "NOTE:tea\\, no sugar", "NICKNAME:cc", "TEL:+1 555"}) {
        EXPECT_NE(out.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace kivo
