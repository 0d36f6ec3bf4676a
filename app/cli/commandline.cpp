#include "app/cli/commandline.h"

#include <algorithm>

#include "base/bytes.h"

namespace kivo::cli {

namespace {

// clang-format off
constexpr Option kCommon[] = {
    {"--help", "", "print this help (also -h)"},
    {"--quiet", "", "print only errors on the error stream, no progress (also -q)"},
    {"--verbose", "", "also print the program folder and what is being done (also -v)"},
    {"--home", "DIR", "the program folder (see kivo --help for the default)", TOptionValue::One},
};
// clang-format on

// Options are long ("--to") but for the three short ones every command takes; "-5", "-" or
// "-urgent" are arguments (a number, standard input, a text to find).
bool LooksLikeOption(std::string_view arg) {
    return arg.starts_with("--") || arg == "-h" || arg == "-q" || arg == "-v";
}

const Option* Find(std::span<const Option> options, std::string_view name) {
    for (const Option& o : options) {
        if (o.name == name) return &o;
    }
    return nullptr;
}

}  // namespace

std::span<const Option> CommonOptions() {
    return kCommon;
}

CommandLine::CommandLine(std::span<const std::string> args, std::span<const Option> options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !LooksLikeOption(arg)) {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            help_ = true;
            continue;
        }
        if (arg == "-q" || arg == "--quiet") {
            verbosity_ = TVerbosity::Quiet;
            continue;
        }
        if (arg == "-v" || arg == "--verbose") {
            verbosity_ = TVerbosity::Verbose;
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const Option* option = !name.starts_with("--") ? nullptr
                               : Find(options, name)   ? Find(options, name)
                                                       : Find(kCommon, name);
        if (!option) throw UsageError("unknown option '" + name + "'");
        Given given{name, {}, {}};
        if (option->takes == TOptionValue::None) {
            if (eq != std::string::npos) throw UsageError(name + " takes no value");
        } else if (eq != std::string::npos) {
            given.value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            given.value = args[++i];
        } else {
            throw UsageError(name + " needs a value");
        }
        if (option->takes == TOptionValue::OneMaybeText && i + 1 < args.size() &&
            !LooksLikeOption(args[i + 1])) {
            given.text = args[++i];
        }
        given_.push_back(std::move(given));
    }
}

bool CommandLine::Has(std::string_view name) const {
    return std::any_of(given_.begin(), given_.end(),
                       [&](const Given& g) { return g.name == name; });
}

std::optional<std::string> CommandLine::Value(std::string_view name) const {
    std::optional<std::string> value;
    for (const Given& g : given_) {
        if (g.name == name) value = g.value;
    }
    return value;
}

std::vector<std::string> CommandLine::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const Given& g : given_) {
        if (g.name == name) values.push_back(g.value);
    }
    return values;
}

void TNumberSet::Add(std::string_view text) {
    const auto bad = [&] { return UsageError("not a message number: " + std::string(text)); };
    if (text.empty()) throw bad();
    for (const std::string& part : SplitWords(text, ",")) {
        const std::size_t dash = part.find('-', 1);
        int first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!ParseInt(part, first) || first < 1) throw bad();
            singles_.push_back(first);
            last = first;
        } else if (!ParseInt(part.substr(0, dash), first) ||
                   !ParseInt(part.substr(dash + 1), last) || first < 1 || last < first) {
            throw bad();
        }
        spans_.push_back({first, last});
    }
    if (text.front() == ',' || text.back() == ',' || text.find(",,") != std::string_view::npos)
        throw bad();
}

bool TNumberSet::Contains(int number) const {
    return std::any_of(spans_.begin(), spans_.end(),
                       [&](const Span& s) { return number >= s.first && number <= s.last; });
}

int TNumberSet::One() const {
    if (spans_.size() != 1 || spans_[0].first != spans_[0].last)
        throw UsageError("takes one message number");
    return spans_[0].first;
}

TNumberSet NumbersOf(std::span<const std::string> args) {
    TNumberSet set;
    for (const std::string& arg : args) set.Add(arg);
    return set;
}

}  // namespace kivo::cli
