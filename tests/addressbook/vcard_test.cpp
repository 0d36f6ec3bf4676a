#include "addressbook/vcard.h"

#include <gtest/gtest.h>

#include "base/bytes.h"

namespace kivo {
namespace {

TEST(VCard, ReadsCardsOfOtherPrograms) {
    // Folded lines, groups, several EMAIL lines, UTF-8, quoted-printable with a soft break,
    // Latin-1, 4.0 parameters, a card with only a formatted name and one with nothing usable.
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Other//EN\r\n"
        "N:Müller;Jürgen;;Dr.;\r\nFN:Dr. Jürgen Müller\r\n"
        "EMAIL;TYPE=INTERNET;TYPE=WORK:juergen@work.example\r\n"
        "item1.EMAIL;type=INTERNET:juergen.mueller@\r\n home.example\r\n"
        "TEL;TYPE=CELL:+49 1\r\nEND:VCARD\r\n"
        "begin:vcard\nversion:2.1\n"
        "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=85str=C3=B6m;=\nAnna\n"
        "EMAIL;PREF;INTERNET:anna@x.example\nend:vcard\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Gar=E7on;Fran=E7ois\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Robert Tables\r\nN:Tables;Robert;;;\r\n"
        "NICKNAME:Bobby,Bob\r\nEMAIL;TYPE=work;PREF=1:mailto:bobby@x.example\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cy Young Jr\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:nothing\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nEMAIL:only@x.example\r\nEND:VCARD\r\n";
    const std::vector<TContact> expected = {
        {"Jürgen",
         "Müller",
         "juergen@work.example, juergen.mueller@home.example",
         {"TEL;TYPE=CELL:+49 1"}},
        {"Anna", "Åström", "anna@x.example"},
        {"François", "Garçon", ""},
        {"Robert", "Tables", "bobby@x.example", {"NICKNAME:Bobby,Bob"}},
        {"Cy", "Jr", ""},
        {"only", "", "only@x.example"},
    };
    EXPECT_EQ(ReadVCards(text), expected);
}

// Names stay as written beside a nickname; phone, organisation and note of any card version
// are kept and written back; the preferred address comes first.
TEST(VCard, KeepsWhatTheBookHasNoColumnFor) {
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Adams;Zoë;;;\r\nNICKNAME:zoe\r\n"
        "EMAIL;TYPE=HOME:zoe@home.example\r\nEMAIL;TYPE=WORK,PREF:zoe@work.example\r\n"
        "TEL;TYPE=CELL:+44 7700 900123\r\nORG:Acme\\, Inc;Sales\r\n"
        "NOTE:likes tea\\nno sugar\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Ek;Dan\r\nTEL;WORK;VOICE:+1 555\r\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:caf=E9=0D=0Aline two\r\n"
        "END:VCARD\r\n";
    const std::vector<TContact> cards = ReadVCards(text);
    const std::vector<TContact> expected = {
        {"Zoë",
         "Adams",
         "zoe@work.example, zoe@home.example",
         {"NICKNAME:zoe", "TEL;TYPE=CELL:+44 7700 900123", "ORG:Acme\\, Inc;Sales",
          "NOTE:likes tea\\nno sugar"}},
        {"Dan", "Ek", "", {"TEL;TYPE=WORK;TYPE=VOICE:+1 555", "NOTE:café\\nline two"}},
    };
    EXPECT_EQ(cards, expected);
    EXPECT_EQ(ExtraValue(cards[1], "NOTE"), "café\nline two");
    const std::string written = WriteVCards(cards);
    EXPECT_EQ(ReadVCards(written), cards);
    EXPECT_NE(written.find("\r\nORG:Acme\\, Inc;Sales\r\n"), std::string::npos) << written;
    EXPECT_EQ(written.find("NICKNAME:Zoë"), std::string::npos) << written;
}

TEST(VCard, WrittenCardsComeBackAndStayWithinTheLineLength) {
    const std::vector<TContact> book = {
        {"Ann", "Lee", "ann@a.org, ann@b.org"},
        {"Björn; Olle", "Ek, Jr\\", "bjorn@x.org"},
        {"Bob, \"Q\"", "Day", "bob@x.org"},
        {"日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本日本", "",
         ""},
    };
    const std::string text = WriteVCards(book);
    EXPECT_EQ(ReadVCards(text), book);
    EXPECT_NE(text.find("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                        "NICKNAME:Ann\r\nEMAIL;TYPE=INTERNET:ann@a.org\r\n"
                        "EMAIL;TYPE=INTERNET:ann@b.org\r\nEND:VCARD\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("N:Ek\\, Jr\\\\;Björn\\; Olle;;;"), std::string::npos) << text;
    for (const std::string& line : SplitLines(text)) EXPECT_LE(line.size(), 75u) << line;
}

}  // namespace
}  // namespace kivo
