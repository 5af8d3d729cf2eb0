#include "tools/sites.h"

#include <cmath>
#include <cstdlib>

#include "tools/text_source.h"

namespace ortelix::tools {
namespace {

std::string_view without_carriage_return(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// The whole of `text` (blanks around allowed) as a number.
bool parse_number(std::string_view text, double& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  std::string copy(text);
  char* end = nullptr;
  value = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size();
}

// A line of X and Y: a Grid.txt record " XXXX.YYYY." read by its fixed
// fields (a 2-by-1000 grid writes "    1.1000."), or two values separated by
// blanks, tabs or a comma.
bool parse_xy_line(std::string_view line, double& x, double& y) {
  line = without_carriage_return(line);
  if (line.size() == 11 && line[0] == ' ' && line[5] == '.' && line[10] == '.' &&
      parse_number(line.substr(1, 5), x) && parse_number(line.substr(6, 5), y)) {
    return true;
  }
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  auto separator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
  while (i < line.size()) {
    while (i < line.size() && separator(line[i])) ++i;
    std::size_t start = i;
    while (i < line.size() && !separator(line[i])) ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  return tokens.size() == 2 && parse_number(tokens[0], x) && parse_number(tokens[1], y);
}

bool is_blank_line(std::string_view line) {
  return without_carriage_return(line).find_first_not_of(" \t") == std::string_view::npos;
}

std::optional<std::string> read_xy_list(const TextSource& source, Sites& sites) {
  sites = Sites{};
  sites.p = 2;
  for (std::size_t i = 0; i < source.line_count(); ++i) {
    if (is_blank_line(source.line(i))) continue;
    double x = 0, y = 0;
    parse_xy_line(source.line(i), x, y);  // every line was checked
    if (!std::isfinite(x) || !std::isfinite(y)) {
      return at_line(source, i + 1, "a coordinate is not a finite number");
    }
    sites.coords.push_back(x);
    sites.coords.push_back(y);
    ++sites.n;
  }
  if (sites.n > kMaxSites) {
    return source.name() + ": " + std::to_string(sites.n) + " sites: the program accepts at most " +
           std::to_string(kMaxSites);
  }
  return std::nullopt;
}

bool looks_like_xy_list(const TextSource& source) {
  bool any = false;
  for (std::size_t i = 0; i < source.line_count(); ++i) {
    if (is_blank_line(source.line(i))) continue;
    double x, y;
    if (!parse_xy_line(source.line(i), x, y)) return false;
    any = true;
  }
  return any;
}

std::optional<std::string> read_coordinates(TextSource& source, Sites& sites, long max_sites) {
  sites = Sites{};
  std::int32_t n = 0, p = 0, nsup = 0;
  std::size_t line = 0;
  if (auto err = source.read_record({n, p, nsup}, line)) {
    if (err->reason == "end of file") return at_line(source, line, "the file ends inside its header (n p nsup)");
    return at_line(source, line, "header (n p nsup): " + err->context + ": " + err->reason);
  }
  const std::size_t header_line = source.next_line();
  const std::string header = std::to_string(n) + " " + std::to_string(p) + " " + std::to_string(nsup);
  if (n < 1 || p < 1 || nsup < 0) {
    return at_line(source, header_line,
                   "header " + header +
                       ": at least 1 site and 1 coordinate are needed, and no negative number of "
                       "supplementary sites");
  }
  if (static_cast<long>(n) + nsup > max_sites) {
    return at_line(source, header_line,
                   "header " + header + ": " + std::to_string(static_cast<long>(n) + nsup) +
                       " sites, the program accepts at most " + std::to_string(max_sites));
  }
  if (p > kMaxSites) {
    return at_line(source, header_line,
                   "header " + header + ": the program accepts at most " + std::to_string(kMaxSites) +
                       " coordinates per site");
  }
  sites.p = p;
  sites.n = n;
  sites.nsup = nsup;
  const long total = sites.total();
  sites.coords.assign(static_cast<std::size_t>(total) * p, 0.0);
  std::vector<textio::Target> targets;
  for (long i = 0; i < total; ++i) {
    targets.clear();
    for (int k = 0; k < p; ++k) targets.emplace_back(sites.coords[static_cast<std::size_t>(i) * p + k]);
    const std::string which = "site " + std::to_string(i + 1) + " of " + std::to_string(total);
    if (auto err = source.read_record(targets, line)) {
      if (err->reason == "end of file") return at_line(source, line, "the file ends before " + which);
      return at_line(source, line, which + ": " + err->context + ": " + err->reason);
    }
    for (int k = 0; k < p; ++k) {
      if (!std::isfinite(sites.at(i, k))) {
        return at_line(source, source.next_line(),
                       which + ": coordinate " + std::to_string(k + 1) + " is not a finite number");
      }
    }
  }
  return std::nullopt;
}

}  // namespace

Sites transect_sites(long n) {
  Sites s;
  s.p = 1;
  s.n = n;
  for (long i = 1; i <= n; ++i) s.coords.push_back(static_cast<double>(i));
  return s;
}

Sites grid_sites(long rows, long cols) {
  Sites s;
  s.p = 2;
  s.n = rows * cols;
  for (long y = 1; y <= cols; ++y) {
    for (long x = 1; x <= rows; ++x) {
      s.coords.push_back(static_cast<double>(x));
      s.coords.push_back(static_cast<double>(y));
    }
  }
  return s;
}

std::optional<std::string> read_coordinate_file_capped(const std::string& path, Sites& sites, long max_sites) {
  std::string text;
  if (auto err = read_whole_file(path, text)) return path + ": " + *err;
  TextSource source(path, std::move(text));
  return read_coordinates(source, sites, max_sites);
}

std::optional<std::string> read_coordinate_file(const std::string& path, Sites& sites) {
  return read_coordinate_file_capped(path, sites, kMaxSites);
}

std::optional<std::string> read_sites_file(const std::string& path, Sites& sites) {
  std::string text;
  if (auto err = read_whole_file(path, text)) return path + ": " + *err;
  TextSource source(path, std::move(text));
  if (looks_like_xy_list(source)) return read_xy_list(source, sites);
  return read_coordinates(source, sites, kMaxSites);
}

}  // namespace ortelix::tools
