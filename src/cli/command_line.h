// The command line of every tool, read the way Unix programs read theirs:
// "--name value" and "--name=value", short aliases such as "-o value",
// "--" ending the options, "-" an operand (standard input or output).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "base/index.h"

namespace ortelix::cli {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitData = 1;   // unreadable or unsuitable data, a file that cannot be read or written
constexpr int kExitUsage = 2;  // a wrong command line

struct OptionForm {
  std::string_view name;   // "--limit"
  std::string_view alias;  // "-o", or empty
  int values = 0;          // values that follow it: 0 (a switch), 1 or 2
};

struct Occurrence {
  std::string_view name;  // the form's name, whichever spelling was used
  std::vector<std::string> values;
};

struct ParsedLine {
  std::vector<Occurrence> options;  // in the order given
  std::vector<std::string> operands;
};

// Fails with a message for an unknown option, a missing value, a value
// given with '=' to an option that takes none or two, or an empty
// argument.
Expected<ParsedLine> parse_line(std::span<const std::string> args, std::span<const OptionForm> forms);

// argv[1..argc-1].
std::vector<std::string> arguments(int argc, char** argv);

// A whole number from 1 to `max`, written with digits only.
bool parse_count(std::string_view text, Index max, Index& value);

// A finite number above zero, and nothing else.
bool parse_positive(std::string_view text, double& value);

}  // namespace ortelix::cli
