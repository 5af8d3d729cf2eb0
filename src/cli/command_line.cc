#include "tools/command_line.h"

#include <cstdio>
#include <cstdlib>

namespace ortelix::tools {

std::string exact_number(double value) {
  char buf[40];
  for (int digits = 9; digits <= 17; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    if (std::strtod(buf, nullptr) == value) break;
  }
  return buf;
}

bool parse_count(const std::string& text, long max, long& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stol(text);
  return value >= 1 && value <= max;
}

std::string parse_design(int argc, char** argv, int& i, Sites& sites, long max_sites) {
  const std::string option = argv[i];
  long rows = 0, cols = 0;
  const std::string limit = std::to_string(max_sites);
  if (option == "--transect") {
    if (i + 1 >= argc) return "--transect needs the number of points";
    if (!parse_count(argv[i + 1], max_sites, rows)) {
      return "--transect: '" + std::string(argv[i + 1]) + "' is not a number of points from 1 to " + limit;
    }
    sites = transect_sites(rows);
    i += 2;
    return "";
  }
  if (i + 2 >= argc) return "--grid needs two numbers: rows (X positions) and columns (Y positions)";
  if (!parse_count(argv[i + 1], max_sites, rows) || !parse_count(argv[i + 2], max_sites, cols)) {
    return "--grid: '" + std::string(argv[i + 1]) + " " + argv[i + 2] + "' are not two numbers from 1 to " + limit;
  }
  if (rows * cols > max_sites) {
    return "--grid " + std::to_string(rows) + " " + std::to_string(cols) + ": " + std::to_string(rows * cols) +
           " points, the program generates at most " + limit;
  }
  sites = grid_sites(rows, cols);
  i += 3;
  return "";
}

}  // namespace ortelix::tools
