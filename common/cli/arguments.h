#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The command-line conventions every program of ours follows: GNU-style long
// options ("--name value" or "--name=value"), switches without a value,
// "--" ending the options, "-h"/"--help" and "--version" understood
// everywhere, and one set of exit codes.
namespace VendraCli {

// Exit codes shared by every program; each README documents them.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitFailure = 1,
  kExitUsage = 2,
  kExitCancelled = 3,    // the user cancelled (a window, Ctrl-C)
  kExitBusy = 4,         // another install holds the session lock
};

struct Option {
  std::string name;        // without the leading "--"
  bool takesValue = false;
};

struct Arguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;
  std::set<std::string> switches;
  bool help = false;
  bool version = false;

  bool Has(const std::string& name) const { return values.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& otherwise = {}) const;
  bool Switch(const std::string& name) const { return switches.count(name) != 0; }
};

// Reads args (without the program's name). False with a reason for an
// unknown option, an option without its value, a value given to a switch or
// an option given twice. A program that declares an option "version" gets
// it; "--version" alone still asks for the program's version. Options may stand anywhere among the positional
// words; everything after "--" is positional.
bool Parse(const std::vector<std::string>& args, const std::vector<Option>& options,
           Arguments& out, std::string& reason);

// The arguments as UTF-8 text.
std::vector<std::string> Utf8Arguments(const std::vector<std::u16string>& args);
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Prints "PROGRAM: reason" and a one-line hint on standard error; answers
// kExitUsage.
int UsageError(std::string_view program, std::string_view reason);

// Prints "PROGRAM VERSION" on standard output; answers kExitSuccess.
int PrintVersion(std::string_view program);

// Prints text on standard output; answers kExitSuccess.
int PrintHelp(std::string_view text);

// The version every program of this source tree reports.
extern const char kVersion[];

// A whole non-negative decimal number (no sign, no blanks) that fits in
// an int64; false otherwise.
bool ParseCount(std::string_view text, long long& value);

}  // namespace VendraCli
