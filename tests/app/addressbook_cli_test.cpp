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
              "0 contacts imported\n");
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

}  // namespace
}  // namespace kivo
