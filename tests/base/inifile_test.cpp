#include "base/inifile.h"

#include <gtest/gtest.h>

#include <system_error>

#include "tests/support/testutil.h"

namespace kivo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

IniFile FromText(std::string_view text) {
    IniFile ini;
    ini.SetText(text);
    return ini;
}

TEST(IniFile, ReadsTextValues) {
    const IniFile ini = FromText(
        "[Scripts]\n"
        "Incoming=\"\"My Script\",Other\"\n"
        "Quoted=\"abc\"\n"
        "Open=\"abc\n"
        "Pair=\"\"\n"
        "Lone=\"\n"
        "Inner=a \"b\" c\n"
        "Spaced =  padded value  \n"
        "Equals=a=b\n");
    struct Case {
        const char* key;
        const char* value;
        const char* why;
    } cases[] = {
        {"Incoming", "\"My Script\",Other", "the extra pair around a filter list goes"},
        {"Quoted", "abc", "one enclosing pair goes"},
        {"Open", "\"abc", "a quote at one end only stays"},
        {"Pair", "", "a pair of quotes is the empty value"},
        {"Lone", "\"", "a single quote is not a pair"},
        {"Inner", "a \"b\" c", "inner quotes stay"},
        {"Spaced", "padded value", "blanks around key and value go"},
        {"Equals", "a=b", "the first '=' ends the key"},
        {"Missing", "fallback", "a missing key gives the fallback"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadString("Scripts", c.key, "fallback"), c.value) << c.why;
    }
}

TEST(IniFile, ReadsNumbersBooleansAndColours) {
    struct Case {
        const char* text;
        int integer;
        bool boolean;
        std::uint32_t colour;
        const char* why;
    } cases[] = {
        // Fallbacks: integer 7, boolean true, colour 0x123456.
        {"0", 0, false, 0, "zero"},
        {"1", 1, true, 1, "one"},
        {"-1", -1, true, 0xFFFFFFFF, "minus one"},
        {"42", 42, true, 42, "any other integer is true"},
        {"\"5\"", 5, true, 5, "quotes go before the number is read"},
        {"2147483647", 2147483647, true, 0x7FFFFFFF, "largest int"},
        {"-2147483643", -2147483643, true, 0x80000005, "the window background colour"},
        {"16711680", 16711680, true, 0xFF0000, "pure blue"},
        {"4278190080", 7, true, 0xFF000000, "beyond int: only a colour, read unsigned"},
        {"4294967296", 7, true, 0x123456, "beyond 32 bits"},
        {"12abc", 7, true, 0x123456, "trailing text"},
        {"0x10", 7, true, 0x123456, "hexadecimal is not decimal"},
        {"yes", 7, true, 0x123456, "words are not booleans"},
        {"", 7, true, 0x123456, "empty"},
    };
    for (const auto& c : cases) {
        const IniFile ini = FromText(std::string("[Program]\r\nValue=") + c.text + "\r\n");
        EXPECT_EQ(ini.ReadInteger("program", "value", 7), c.integer) << c.why;
        EXPECT_EQ(ini.ReadBool("program", "value", true), c.boolean) << c.why;
        EXPECT_EQ(ini.ReadColour("program", "value", 0x123456), c.colour) << c.why;
    }
    const IniFile zero = FromText("[Program]\nValue=no\n");
    EXPECT_FALSE(zero.ReadBool("Program", "Value", false));
    EXPECT_FALSE(zero.ReadBool("Program", "Missing", false));
}

TEST(IniFile, WritesTypedValues) {
    IniFile ini;
    ini.WriteBool("Mail", "AutoCheck", true);
    ini.WriteBool("Mail", "FastRead", false);
    ini.WriteInteger("Mail", "AutoCheckTime", -5);
    ini.WriteColour("Program", "MsgBackColor", 0x80000005);
    ini.WriteColour("Program", "ShadeColor", 0xFFE0E0);
    ini.WriteString("Program", "Opened", "Work/Alpha");
    EXPECT_EQ(ini.Text(),
              "[Mail]\r\nAutoCheck=1\r\nFastRead=0\r\nAutoCheckTime=-5\r\n\r\n"
              "[Program]\r\nMsgBackColor=-2147483643\r\nShadeColor=16769248\r\n"
              "Opened=Work/Alpha\r\n");
    const IniFile back = FromText(ini.Text());
    EXPECT_EQ(back.ReadColour("Program", "MsgBackColor", 0), 0x80000005u);
    EXPECT_TRUE(back.ReadBool("Mail", "AutoCheck", false));
    EXPECT_FALSE(back.ReadBool("Mail", "FastRead", true));
}

TEST(IniFile, KeepsWhatItDoesNotKnowOnWrite) {
    IniFile ini = FromText(
        "; written by hand\n"
        "\n"
        "[MAIL]\n"
        "smtp=old.example.org\n"
        "Unknown=kept\n"
        "; a comment in a section\n"
        "\n"
        "[Other]\n"
        "x = 1\n"
        "a line without equals\n");
    ini.WriteString("Mail", "SMTP", "new.example.org");  // existing key, other case
    ini.WriteString("mail", "RAS", "dsl");               // new key above the comment
    ini.WriteInteger("Position", "Left", 20);            // new section at the end
    EXPECT_EQ(ini.Text(),
              "; written by hand\r\n"
              "\r\n"
              "[MAIL]\r\n"
              "smtp=new.example.org\r\n"
              "Unknown=kept\r\n"
              "RAS=dsl\r\n"
              "; a comment in a section\r\n"
              "\r\n"
              "[Other]\r\n"
              "x=1\r\n"
              "a line without equals\r\n"
              "\r\n"
              "[Position]\r\n"
              "Left=20\r\n");
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"MAIL", "Other", "Position"}));
    EXPECT_EQ(ini.Keys("mail"), (std::vector<std::string>{"smtp", "Unknown", "RAS"}));
}

TEST(IniFile, SectionsAndKeysWithoutRegardToCase) {
    IniFile ini = FromText("[Acc One]\nHost=a\nhost=b\n[Acc Two]\nHost=c\n[acc one]\nPort=1\n");
    EXPECT_EQ(ini.ReadString("ACC ONE", "HOST", ""), "a");  // the first of duplicates
    EXPECT_TRUE(ini.SectionExists("acc two"));
    EXPECT_FALSE(ini.SectionExists("Acc"));
    EXPECT_TRUE(ini.ValueExists("acc ONE", "host"));
    EXPECT_FALSE(ini.ValueExists("Acc Two", "Port"));
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Acc One", "Acc Two"}));
    EXPECT_EQ(ini.Keys("acc one"), (std::vector<std::string>{"Host"}));

    ini.DeleteKey("ACC ONE", "HOST");
    EXPECT_FALSE(ini.ValueExists("Acc One", "Host"));
    EXPECT_TRUE(ini.ValueExists("Acc Two", "Host"));
    ini.EraseSection("acc one");
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Acc Two"}));
    EXPECT_EQ(ini.Text(), "[Acc Two]\r\nHost=c\r\n");
}

TEST(IniFile, LineBreaksInValuesCannotForgeLines) {
    IniFile ini;
    ini.WriteString("Mail", "SMTP", "host\r\n[Evil]\r\nPrivacyPass=x\n");
    const IniFile back = FromText(ini.Text());
    EXPECT_FALSE(back.SectionExists("Evil"));
    EXPECT_EQ(back.ReadString("Mail", "SMTP", ""), "host  [Evil]  PrivacyPass=x");
}

TEST(IniFile, ReadsAndReplacesItsFile) {
    TempDir dir;
    WriteFile(dir / "Kivo.INI", "\xEF\xBB\xBF[Mail]\nSMTP=smtp.example.org\n");
    IniFile ini(dir / "kivo.ini");
    EXPECT_EQ(ini.Path(), dir / "Kivo.INI");  // the existing file, whatever its case
    EXPECT_EQ(ini.ReadString("Mail", "SMTP", ""), "smtp.example.org");  // BOM skipped

    ini.WriteBool("Mail", "Headers", true);
    ini.UpdateFile();
    EXPECT_EQ(ReadFile(dir / "Kivo.INI"), "[Mail]\r\nSMTP=smtp.example.org\r\nHeaders=1\r\n");

    const IniFile missing(dir / "none.ini");
    EXPECT_TRUE(missing.Sections().empty());
    EXPECT_EQ(missing.ReadInteger("Mail", "AutoCheckTime", 5), 5);

    IniFile noFolder(dir / "no" / "kivo.ini");
    noFolder.WriteInteger("Mail", "X", 1);
    EXPECT_THROW(noFolder.UpdateFile(), std::system_error);
    EXPECT_THROW(IniFile().UpdateFile(), std::system_error);

    // Settings that are there but cannot be read are not an empty set to be saved over them.
    std::filesystem::create_symlink("loop.ini", dir / "loop.ini");
    EXPECT_THROW(IniFile(dir / "loop.ini"), std::system_error);
}

}  // namespace
}  // namespace kivo
