// The integer, boolean and date commands. Integer commands never fail on bad numbers: they
// fall back to 0 or 1, and any arithmetic failure stores 0.

#include <cmath>
#include <optional>

#include "base/bytes.h"
#include "base/datetime.h"
#include "compose/placeholders.h"
#include "mail/rfc822date.h"
#include "script/commandhelp.h"
#include "script/scriptvalues.h"

namespace kivo {

namespace {

// #a := op(#a, v) with the fallback for a target or value that is no integer; 0 when the
// operation fails (overflow, division by zero).
template <typename Op>
void Arithmetic(TScriptInterpreter& s, TScriptParams p, const char* countMsg, const char* sigilMsg,
                int fallback, Op op) {
    NeedParams(p, 2, countMsg);
    const int index = OutputVar(s, p[0], '#', sigilMsg);
    int value = 0;
    if (!ReadScriptInt(s.GetValue(p[1]), value)) value = fallback;
    int target = 0;
    if (!ReadScriptInt(s.VarValue(index), target)) target = fallback;
    const std::optional<long long> result = op(static_cast<long long>(target), value);
    const bool fits = result && *result >= INT32_MIN && *result <= INT32_MAX;
    s.VarValue(index) = fits ? std::to_string(*result) : "0";
}

void AddIntegers(TScriptInterpreter& s, TScriptParams p) {
    Arithmetic(s, p, "AddIntegers needs 2 parameters",
               "First parameter for AddIntegers has to be an integer variable (#var)", 0,
               [](long long a, long long b) -> std::optional<long long> { return a + b; });
}

void SubIntegers(TScriptInterpreter& s, TScriptParams p) {
    Arithmetic(s, p, "SubIntegers needs 2 parameters",
               "First parameter for SubIntegers has to be an integer variable (#var)", 0,
               [](long long a, long long b) -> std::optional<long long> { return a - b; });
}

void Multiply(TScriptInterpreter& s, TScriptParams p) {
    Arithmetic(s, p, "Multiply needs 2 parameters",
               "First parameter for Multiply has to be an integer variable (#var)", 1,
               [](long long a, long long b) -> std::optional<long long> { return a * b; });
}

void Divide(TScriptInterpreter& s, TScriptParams p) {
    Arithmetic(s, p, "Divide needs 2 parameters",
               "First parameter for Divide has to be an integer variable (#var)", 1,
               [](long long a, long long b) -> std::optional<long long> {
                   if (b == 0) return std::nullopt;
                   return a / b;  // truncates toward zero
               });
}

template <typename Op>
void Logic(TScriptInterpreter& s, TScriptParams p, const char* countMsg, const char* sigilMsg,
           Op op) {
    NeedParams(p, 2, countMsg);
    const int index = OutputVar(s, p[0], '&', sigilMsg);
    const bool value = StrToBool(s.GetValue(p[1]));
    s.VarValue(index) = BoolToStr(op(StrToBool(s.VarValue(index)), value));
}

void And(TScriptInterpreter& s, TScriptParams p) {
    Logic(s, p, "And needs 2 parameters",
          "First parameter for And has to be a boolean variable (&var)",
          [](bool a, bool b) { return a && b; });
}

void Or(TScriptInterpreter& s, TScriptParams p) {
    Logic(s, p, "Or needs 2 parameters",
          "First parameter for Or has to be a boolean variable (&var)",
          [](bool a, bool b) { return a || b; });
}

void Xor(TScriptInterpreter& s, TScriptParams p) {
    Logic(s, p, "Xor needs 2 parameters",
          "First parameter for Xor has to be a boolean variable (&var)",
          [](bool a, bool b) { return a != b; });
}

void Not(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "Not needs 1 parameter");
    std::string& value = s.VarValue(
        OutputVar(s, p[0], '&', "Parameter for Not has to be a boolean variable (&var)"));
    value = BoolToStr(!StrToBool(value));
}

void IsNumber(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "IsNumber needs 2 parameters");
    const int index =
        OutputVar(s, p[0], '&', "First parameter for IsNumber has to be a boolean variable (&var)");
    int unused = 0;
    bool number = false;
    try {
        number = ReadScriptInt(s.GetValue(p[1]), unused);
    } catch (const ESyntaxError&) {
        number = false;
    }
    s.VarValue(index) = BoolToStr(number);
}

void IsBoolean(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 2, "IsBoolean needs 2 parameters");
    const int index = OutputVar(
        s, p[0], '&', "First parameter for IsBoolean has to be a boolean variable (&var)");
    const std::string value = LowerCase(s.GetValue(p[1]));
    bool known = false;
    for (std::string_view word : {"0", "1", "true", "false", "on", "off", "no", "yes"}) {
        known = known || value == word;
    }
    s.VarValue(index) = BoolToStr(known);
}

void GetDate(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "GetDate needs 1 parameter");
    s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for GetDate has to be a string variable ($var)")) =
        FormatShortDate(DateTime::Now());
}

void GetTime(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 1, "GetTime needs 1 parameter");
    s.VarValue(
        OutputVar(s, p[0], '$', "Parameter for GetTime has to be a string variable ($var)")) =
        FormatLongTime(DateTime::Now());
}

// Days since 1/1/1970 of a calendar date (proleptic Gregorian), with the time as a fraction.
double DayNumber(const DateTime& dt) {
    const int y = dt.year - (dt.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (dt.month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + dt.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = era * 146097.0 + doe - 719468.0;
    return days + (dt.hour * 3600 + dt.minute * 60 + dt.second) / 86400.0;
}

// A date in the program's short form, else a Date header's form.
std::optional<double> ReadDate(std::string_view text) {
    if (const std::optional<DateTime> dt = ParseProgramDate(Trim(text))) return DayNumber(*dt);
    const Rfc822Date rfc = ParseRfc822Date(text);
    if (rfc.Valid()) return DayNumber(rfc.date);
    return std::nullopt;
}

void SubDays(TScriptInterpreter& s, TScriptParams p) {
    NeedParams(p, 3, "SubDays needs 3 parameter");
    const int index =
        OutputVar(s, p[0], '#', "First parameter for SubDays has to be an integer variable (#var)");
    const std::string first = s.GetValue(p[1]);
    const std::string second = s.GetValue(p[2]);
    const std::optional<double> a = ReadDate(first);
    const std::optional<double> b = a ? ReadDate(second) : std::nullopt;
    s.VarValue(index) =
        a && b ? std::to_string(static_cast<long long>(std::fabs(*a - *b))) : std::string("-1");
}

constexpr TCommandEntry kCommands[] = {
    {"addintegers", AddIntegers},
    {"subintegers", SubIntegers},
    {"multiply", Multiply},
    {"divide", Divide},
    {"and", And},
    {"or", Or},
    {"xor", Xor},
    {"not", Not},
    {"isnumber", IsNumber},
    {"isboolean", IsBoolean},
    {"getdate", GetDate},
    {"gettime", GetTime},
    {"subdays", SubDays},
};

}  // namespace

std::span<const TCommandEntry> NumberCommands() {
    return kCommands;
}

}  // namespace kivo
