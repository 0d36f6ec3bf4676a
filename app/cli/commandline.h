#pragma once
// A command's arguments after its name, split by the options the command declares in the
// command table: every command gets the same habits (--opt value and --opt=value, "--" ends
// the options, -h/--help, -q/--quiet, -v/--verbose) from this one parser, and `kivo help`
// lists the same declarations.

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/verbosity.h"

namespace kivo::cli {

// A wrong command line: main prints the text and the usage of the command.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class TOptionValue {
    None,          // a switch: --yes
    One,           // --to TARGET or --to=TARGET
    OneMaybeText,  // --show CRITERION [TEXT]: a second word that is no option is taken too
};

struct Option {
    std::string_view name;   // "--to"
    std::string_view value;  // the value's placeholder in help ("TARGET"); empty for a switch
    std::string_view help;   // one line for `kivo help CMD`
    TOptionValue takes = TOptionValue::None;
};

// The options every command takes besides its own.
std::span<const Option> CommonOptions();

class CommandLine {
  public:
    struct Given {
        std::string name;  // as declared: "--to"
        std::string value;
        std::optional<std::string> text;  // the second word of a OneMaybeText option
    };

    CommandLine() = default;
    // Throws UsageError for an unknown option or a missing value.
    CommandLine(std::span<const std::string> args, std::span<const Option> options);

    // The arguments that are no options, in order; a command line reads like them.
    const std::vector<std::string>& Positional() const { return positional_; }
    std::size_t size() const { return positional_.size(); }
    bool empty() const { return positional_.empty(); }
    const std::string& operator[](std::size_t i) const { return positional_[i]; }
    const std::string& front() const { return positional_.front(); }
    auto begin() const { return positional_.begin(); }
    auto end() const { return positional_.end(); }

    bool Has(std::string_view name) const;
    // The value given last, if any.
    std::optional<std::string> Value(std::string_view name) const;
    // Every value given, in order (options that may be repeated: --to, --attach).
    std::vector<std::string> Values(std::string_view name) const;
    // Every option given, in order.
    const std::vector<Given>& Options() const { return given_; }

    bool HelpAsked() const { return help_; }
    TVerbosity Verbosity() const { return verbosity_; }
    void SetVerbosity(TVerbosity verbosity) { verbosity_ = verbosity; }

  private:
    std::vector<std::string> positional_;
    std::vector<Given> given_;
    bool help_ = false;
    TVerbosity verbosity_ = TVerbosity::Normal;
};

// Message numbers as typed: "7", "3-7", "1,4,9", "1-3,8". Ranges are kept as ranges, so
// "1-99999999" costs nothing.
class TNumberSet {
  public:
    // Adds the numbers of one argument; throws UsageError for anything else.
    void Add(std::string_view text);
    bool Contains(int number) const;
    bool Empty() const { return spans_.empty(); }
    // The numbers given one by one (not through a range): each must exist.
    const std::vector<int>& Singles() const { return singles_; }
    // The one number of a command that takes one message; throws UsageError otherwise.
    int One() const;

  private:
    struct Span {
        int first, last;
    };
    std::vector<Span> spans_;
    std::vector<int> singles_;
};

// The numbers of one or more arguments.
TNumberSet NumbersOf(std::span<const std::string> args);

}  // namespace kivo::cli
