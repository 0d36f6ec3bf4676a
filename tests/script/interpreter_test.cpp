// The interpreter: tokens, literals, values, Set, comparisons, control flow, the run loop,
// errors and their lines.

#include <gtest/gtest.h>

#include "script/tokenizer.h"
#include "tests/script/scriptfixture.h"

namespace kivo::test {
namespace {

TEST(ScriptTokens, CutsLinesAsTheLexicalRulesSay) {
    struct Case {
        const char* line;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"", {}},
        {"   {a comment}  ", {}},
        {"{### Header without close", {}},
        {"If #a<#b then Done", {"If", "#a", "<", "#b", "then", "Done"}},
        {"!=", {"!", "="}},
        {"abc{x} y", {"abc{x}", "y"}},                     // a comment starts only a token
        {"Set $a \"x y\"z", {"Set", "$a", "\"x y", "z"}},  // the closing quote is dropped
        {"Set $a \"open", {"Set", "$a", "\"open"}},        // runs to the end of the line
        {"Set $a \"a\\\"b\" c", {"Set", "$a", "\"a\\\"b", "c"}},
        {"Set $a \"\"", {"Set", "$a", "\""}},  // the empty literal keeps its quote
        {"x{c}y", {"x{c}y"}},
        {"a {c} b", {"a", "b"}},
        {"a\x7f"
         "b\tc",
         {"a", "b", "c"}},  // DEL and control characters are blanks
    };
    for (const Case& c : cases) EXPECT_EQ(GetTokens(c.line), c.tokens) << c.line;
}

TEST(ScriptTokens, ProcessStringTurnsEscapes) {
    struct Case {
        const char* token;
        const char* text;
    };
    const Case cases[] = {
        {"\"He said \\\"hi\\\"\\n", "He said \"hi\"\r\n"},
        {"C:\\temp\\new", "C:\\temp\r\new"},  // escapes work in bare words too
        {"\"a\\\\nb", "a\\nb"},
        {"a\\Nb", "a\r\nb"},
        {"a\\xb", "a\\xb"},  // other backslashes stay
        {"a\\", "a\\"},      // and one at the very end
        {"\"", ""},
        {"%message", "%message"},
    };
    for (const Case& c : cases) EXPECT_EQ(ProcessString(c.token), c.text) << c.token;
}

struct VarCase {
    const char* script;
    const char* var;
    const char* value;
};

class ScriptValues : public ::testing::TestWithParam<VarCase> {};

TEST_P(ScriptValues, RunLeavesTheVariable) {
    ScriptFixture f;
    const VarCase& c = GetParam();
    ASSERT_TRUE(f.Run(c.script)) << c.script;
    EXPECT_EQ(f.Var(c.var), c.value) << c.script;
}

INSTANTIATE_TEST_SUITE_P(
    Set, ScriptValues,
    ::testing::Values(
        VarCase{"Set $a \"He said \\\"hi\\\"\\n\"", "$a", "He said \"hi\"\r\n"},
        VarCase{"Set #n 007", "#n", "7"}, VarCase{"Set #n +12", "#n", "12"},
        VarCase{"Set #n -12", "#n", "-12"},
        VarCase{"Set $s \" 42\"\nSet #n $s", "#n", "42"},  // canonical form from a variable
        VarCase{"Set &b Friday", "&b", "Friday"},
        VarCase{"Set #x 3\nSet #y 10\nSet &b #x < #y", "&b", "1"},
        VarCase{"Set $x 10\nSet $y 9\nSet &b $x > $y", "&b", "1"},  // numeric: both integers
        VarCase{"Set $x abc\nSet $y abd\nSet &b $x < $y", "&b", "1"},
        VarCase{"Set $x B\nSet $y a\nSet &b $x < $y", "&b", "1"},     // by character codes
        VarCase{"Set $$x 10\nSet $y 9\nSet &b $$x > $y", "&b", "0"},  // $$ forces text
        VarCase{"Set $x \"\"\nSet $y abc\nSet &b $x ^ $y", "&b", "0"},
        VarCase{"Set $x \" \"\nSet $y \"a b\"\nSet &b $x ^ $y", "&b", "0"},
        VarCase{"Set $x bc\nSet $y abc\nSet &b $x ^ $y", "&b", "1"},
        VarCase{"Set $x Bc\nSet $y abc\nSet &b $x ^ $y", "&b", "0"},
        VarCase{"Set $UserData1 a\nSet $userdata1 b", "$USERDATA1", "b"},
        VarCase{"Set $mailpath x", "$mailpath", "x"},  // system variables are ordinary
        VarCase{"Set $a %message", "$a", "%message"}));

INSTANTIATE_TEST_SUITE_P(
    Flow, ScriptValues,
    ::testing::Values(
        VarCase{"Set $a 10\nSet $b 9\nIf $a > $b then L\nSet $r no\nExit\n:L\nSet $r yes", "$r",
                "yes"},
        VarCase{"Set $a abc\nSet $b abd\nIf $a < $b THEN L\nSet $r no\nExit\n:L\nSet $r yes", "$r",
                "yes"},
        VarCase{"Set $x \"\"\nSet $y abc\nIf $x ^ $y then L\nSet $r no\nExit\n:L\nSet $r yes", "$r",
                "no"},
        VarCase{"Set $r start\nGoto Done\n:done\nSet $r first\nExit\n:DONE\nAddStrings $r second",
                "$r", "startsecond"},  // the later label wins
        VarCase{"Set $r a\nGoto Missing\nAddStrings $r b", "$r", "ab"},
        VarCase{"Set $r a\nGoto L\n :L\nAddStrings $r b", "$r", "ab"},  // blank before label
        VarCase{"Set $r a\nGoto L\n:L {x}\nAddStrings $r b", "$r", "ab"},
        VarCase{"Set $l \"the end\"\nGoto $l\nSet $r skipped\n:the end\nSet $q x", "$r", "<none>"},
        VarCase{"Set &f no\nIf &f then L\nSet $r next\n:L", "$r", "next"},
        VarCase{"Set &f Friday\nIf &f whatever L\nSet $r next\n:L", "$r", "<none>"},
        VarCase{"Exit\nSet $r x", "$r", "<none>"},
        VarCase{"Forward %message\nReply x\nSet $r ran", "$r", "ran"},  // no such commands
        VarCase{"\n   {comment}\n{### head\nsEt $r \"x\"", "$r", "x"}));

TEST(ScriptRun, SystemVariablesEndWithASeparator) {
    ScriptFixture f;
    ASSERT_TRUE(f.Run(""));
    EXPECT_EQ(f.Var("$mailpath"), (f.root / "Mail").string() + "/");
    EXPECT_EQ(f.Var("$scriptpath"), (f.root / "Scripts").string() + "/");
    EXPECT_EQ(f.Var("$apppath"), f.root.string() + "/");
    EXPECT_EQ(f.script.Variables().size(), 3u);
}

TEST(ScriptRun, ErrorsCarryTheirTextAndLine) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"Set $a $nothing", "Source variable not previously declared"},
        {"AddStrings $a $nothing", "Variable not previously declared: $nothing"},
        {"Set &b $x ? $y", "Malformed boolean expression, $x?$y"},
        {"Set $a", "Set needs at least 2 parameters"},
        {"Set $a b c", "Set needs 2 parameters for non-boolean operations (set $var $a)"},
        {"Set a b", "First parameter for Set needs to be a variable ($var, #var or &var)"},
        {"Set %m b", "First parameter for Set needs to be a variable ($var, #var or &var)"},
        {"Set &b x y", "Set needs 4 parameters for boolean operations (set $var #a < #b)"},
        {"Set #n \"7\"", "Non-integer assigned to integer variable"},
        {"Set #n 99999999999", "Non-integer assigned to integer variable"},
        {"If &x", "If needs at least 3 parameters (If &var then $label)"},
        {"If &x then L M",
         "If only needs 3 parameters when using boolean variable (If &var then $label)"},
        {"If &undeclared then L", "List index out of bounds (-1)"},
        {"If $a = $b L",
         "If needs 5 parameters when using boolean expression (If #a < #b then $label)"},
        {"Set $a 1\nIf $a = $a than L",
         "Missing \"then\" or malformed If statement (If #a < #b then $label)"},
        {"Goto", "GoTo needs 1 parameter"},
        {"Goto a b", "GoTo needs 1 parameter"},
        {"Exit now", "Exit needs no parameters"},
    };
    for (const Case& c : cases) {
        ScriptFixture f;
        EXPECT_EQ(f.Error(c.script), c.error) << c.script;
    }
}

TEST(ScriptRun, TheFirstErrorStopsTheRunAndNamesItsLine) {
    ScriptFixture f;
    try {
        f.Run("Set $a 1\n{comment}\nAddStrings $b $nothing\nSet $c 3");
        FAIL() << "no error";
    } catch (const ESyntaxError& e) {
        EXPECT_EQ(e.Line(), 3);
        EXPECT_EQ(e.WithLine(), "Line 3: Variable not previously declared: $nothing");
    }
    EXPECT_EQ(f.Var("$c"), "<none>");
    EXPECT_FALSE(f.script.Running());
    // The next run starts afresh.
    EXPECT_TRUE(f.Run("Set $d 4"));
    EXPECT_EQ(f.Var("$a"), "<none>");
}

TEST(ScriptRun, AnEndlessLoopEndsOnTheAbortRequest) {
    ScriptFixture f;
    f.platform.abortAfterPumps = 1000;
    EXPECT_FALSE(f.Run(":top\nAddIntegers #n 1\nGoto top"));
    EXPECT_EQ(f.Var("#n"), "500");  // two lines, one event pass each
    EXPECT_FALSE(f.script.Running());
}

TEST(ScriptRun, CancelRequestEndsTheRunAfterTheCurrentLine) {
    ScriptFixture f;
    f.platform.inputOk = false;
    EXPECT_FALSE(f.Run("Set $v kept\nInputBox $v \"Name?\" x\nSet $after 1"));
    EXPECT_EQ(f.Var("$v"), "kept");
    EXPECT_EQ(f.Var("$after"), "<none>");
    // The request belonged to that run only.
    EXPECT_TRUE(f.Run("Set $a 1"));
}

TEST(ScriptRun, WaitHonoursTheAbortRequest) {
    ScriptFixture f;
    f.platform.abortAfterPumps = 3;
    EXPECT_FALSE(f.Run("Wait 60\nSet $after 1"));
    EXPECT_EQ(f.Var("$after"), "<none>");
    ScriptFixture g;
    EXPECT_TRUE(g.Run("Wait 0\nWait -5\nWait soon"));
    EXPECT_EQ(g.Error("Wait 2147484"), "Arithmetic overflow");
    EXPECT_EQ(g.Error("Wait $undeclared"), "Variable not previously declared: $undeclared");
}

TEST(ScriptRun, ASecondRunDuringARunReturnsAtOnce) {
    ScriptFixture f;
    struct Reentering : TScriptHost {
        TScriptInterpreter* script = nullptr;
        bool inner = true;
        void Beep() override { inner = script->ParseScript({"Set $x 1"}); }
    } host;
    TScriptInterpreter script(f.paths, f.platform, host);
    host.script = &script;
    EXPECT_TRUE(script.ParseScript({"Beep"}));
    EXPECT_FALSE(host.inner);
}

}  // namespace
}  // namespace kivo::test
