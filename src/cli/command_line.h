// What both companion programs share on their command line.
#pragma once

#include <string>

#include "tools/sites.h"

namespace ortelix::tools {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitBadData = 1;  // unreadable file or data that cannot serve
constexpr int kExitUsage = 2;

// At least 9 significant digits, and as many more as it takes for the text
// to read back as exactly `value`.
std::string exact_number(double value);

// A whole number from 1 to `max`, written with digits only.
bool parse_count(const std::string& text, long max, long& value);

// "--transect N" or "--grid ROWS COLS" at argv[i]: the positions that the
// program generates for that design, at most `max_sites` of them. Advances
// i past the option's values; returns an error message on bad values, else
// "".
std::string parse_design(int argc, char** argv, int& i, Sites& sites, long max_sites = kMaxSites);

}  // namespace ortelix::tools
