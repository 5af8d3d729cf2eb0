#include "sites/site_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "textio/text_source.h"

namespace ortelix::sites {
namespace {

using textio::at_line;
using textio::is_blank_line;
using textio::TextSource;
using textio::without_carriage_return;

std::string latitude_outside(double latitude) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", latitude);
  return std::string("latitude ") + text + " is outside -90 to 90 degrees";
}

// The whole of `text` (blanks around allowed) as a number.
bool parse_number(std::string_view text, double& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 400) return false;
  const std::string copy(text);
  char* end = nullptr;
  value = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size();
}

// A line of X and Y: a Grid.txt record " XXXX.YYYY." read by its fixed
// fields (a 2-by-1000 grid writes "    1.1000."), or two values.
bool parse_xy_line(std::string_view line, double& x, double& y) {
  line = without_carriage_return(line);
  if (line.size() == 11 && line[0] == ' ' && line[5] == '.' && line[10] == '.' &&
      parse_number(line.substr(1, 5), x) && parse_number(line.substr(6, 5), y)) {
    return true;
  }
  const std::vector<std::string_view> f = textio::split_fields(line);
  return f.size() == 2 && parse_number(f[0], x) && parse_number(f[1], y);
}

// Two names and no number, such as "x,y" or "lon lat": the column names of
// a table saved as text.
bool is_column_names(std::string_view line) {
  const std::vector<std::string_view> f = textio::split_fields(without_carriage_return(line));
  double ignored;
  return f.size() == 2 && !parse_number(f[0], ignored) && !parse_number(f[1], ignored);
}

// How many values the lines of a table hold, when there are at least two
// non-blank lines and every one holds the same number of numbers; 0
// otherwise.
std::size_t table_width(const TextSource& source) {
  std::size_t width = 0, rows = 0;
  for (std::size_t i = 0; i < source.line_count(); ++i) {
    if (is_blank_line(source.line(i))) continue;
    const std::vector<std::string_view> f = textio::split_fields(without_carriage_return(source.line(i)));
    double ignored;
    for (std::string_view v : f) {
      if (!parse_number(v, ignored)) return 0;
    }
    if (width != 0 && f.size() != width) return 0;
    width = f.size();
    ++rows;
  }
  return rows >= 2 ? width : 0;
}

// Where an X-Y list starts (after its names), or npos when `source` is not
// one. A list of a single position gives nothing to compute; a line of two
// numbers alone is rather a coordinate file cut short.
constexpr std::size_t kNotAList = static_cast<std::size_t>(-1);
std::size_t xy_list_start(const TextSource& source) {
  std::size_t first = 0;
  while (first < source.line_count() && is_blank_line(source.line(first))) ++first;
  if (first == source.line_count()) return kNotAList;
  const std::size_t start = is_column_names(source.line(first)) ? first + 1 : first;
  int positions = 0;
  for (std::size_t i = start; i < source.line_count(); ++i) {
    if (is_blank_line(source.line(i))) continue;
    double x, y;
    if (!parse_xy_line(source.line(i), x, y)) return kNotAList;
    ++positions;
  }
  return positions >= 2 ? start : kNotAList;
}

Expected<Sites> read_xy_list(const TextSource& source, std::size_t start, Index capacity, bool longlat) {
  Sites sites;
  sites.name = source.name();
  sites.p = 2;
  for (std::size_t i = start; i < source.line_count(); ++i) {
    if (is_blank_line(source.line(i))) continue;
    double x = 0, y = 0;
    parse_xy_line(source.line(i), x, y);  // every line was checked
    if (!std::isfinite(x) || !std::isfinite(y)) {
      return fail(at_line(source, i + 1, "a coordinate is not a finite number"));
    }
    if (longlat && !(y >= -90 && y <= 90)) return fail(at_line(source, i + 1, latitude_outside(y)));
    if (sites.n == capacity) {
      return fail(at_line(source, i + 1, "more than " + std::to_string(capacity) + " sites: the program accepts at most " +
                                             std::to_string(capacity)));
    }
    sites.coords.push_back(x);
    sites.coords.push_back(y);
    ++sites.n;
  }
  return sites;
}

// `header_refused` tells whether the failure, if any, was the header's.
Expected<Sites> read_coordinates(TextSource& source, Index capacity, bool longlat, bool* header_refused = nullptr) {
  if (header_refused) *header_refused = true;
  Sites sites;
  sites.name = source.name();
  std::int32_t n = 0, p = 0, nsup = 0;
  std::size_t line = 0;
  if (auto r = source.read_record({n, p, nsup}, line); !r.ok()) {
    if (r.error().reason == "end of file") {
      return fail(at_line(source, line, "the file ends inside its header (n p nsup)"));
    }
    return fail(at_line(source, line, "header (n p nsup): " + r.error().context + ": " + r.error().reason));
  }
  const std::size_t header_line = source.next_line();
  const std::string header = std::to_string(n) + " " + std::to_string(p) + " " + std::to_string(nsup);
  if (n < 1 || p < 1 || nsup < 0) {
    return fail(at_line(source, header_line,
                        "header " + header +
                            ": at least 1 site and 1 coordinate are needed, and no negative number of "
                            "supplementary sites"));
  }
  if (header_refused) *header_refused = false;
  if (longlat && p != 2) {
    return fail(at_line(source, header_line,
                        "header " + header + ": longitude and latitude are 2 coordinates a site, not " +
                            std::to_string(p)));
  }
  const Index total = static_cast<Index>(n) + nsup;
  if (total > capacity) {
    return fail(at_line(source, header_line,
                        "header " + header + ": " + std::to_string(total) + " sites, the program accepts at most " +
                            std::to_string(capacity)));
  }
  // More coordinates than sites describe nothing that fewer could not, and
  // the product would be a memory request nobody meant.
  if (p > kDialogueCapacity) {
    return fail(at_line(source, header_line,
                        "header " + header + ": the program accepts at most " + std::to_string(kDialogueCapacity) +
                            " coordinates per site"));
  }
  sites.p = p;
  sites.n = n;
  sites.nsup = nsup;
  // Memory grows with what is read, not with what the header announces.
  sites.coords.reserve(std::min(static_cast<std::size_t>(total) * p, source.size() / 2 + 1));
  std::vector<double> row(static_cast<std::size_t>(p));
  std::vector<textio::Target> targets(row.begin(), row.end());
  for (Index i = 0; i < total; ++i) {
    auto which = [&] { return "site " + std::to_string(i + 1) + " of " + std::to_string(total); };
    if (auto r = source.read_record(targets, line); !r.ok()) {
      if (r.error().reason == "end of file") return fail(at_line(source, line, "the file ends before " + which()));
      return fail(at_line(source, line, which() + ": " + r.error().context + ": " + r.error().reason));
    }
    for (int k = 0; k < p; ++k) {
      if (!std::isfinite(row[k])) {
        return fail(at_line(source, source.next_line(),
                            which() + ": coordinate " + std::to_string(k + 1) + " is not a finite number"));
      }
    }
    if (longlat && !(row[1] >= -90 && row[1] <= 90)) {
      return fail(at_line(source, source.next_line(), which() + ": " + latitude_outside(row[1])));
    }
    sites.coords.insert(sites.coords.end(), row.begin(), row.end());
  }
  return sites;
}

Expected<Sites> parse_any(const std::string& name, std::string text, Index capacity, bool longlat) {
  TextSource source(name, std::move(text));
  if (const std::size_t start = xy_list_start(source); start != kNotAList) {
    return read_xy_list(source, start, capacity, longlat);
  }
  bool header_refused = false;
  Expected<Sites> sites = read_coordinates(source, capacity, longlat, &header_refused);
  if (!sites.ok() && header_refused) {
    // A table of another width is neither kind of file; saying so is more
    // use than a complaint about a header it never meant to have.
    const std::size_t width = table_width(source);
    if (width != 0 && width != 2) {
      return fail(name + ": neither a coordinate file (header n p nsup, then the sites) nor a list of X Y positions "
                         "(two values a line): every line holds " + std::to_string(width) +
                  (width == 1 ? " value" : " values"));
    }
  }
  return sites;
}

}  // namespace

Expected<Sites> parse_coordinate_text(const std::string& name, std::string text, Index capacity) {
  TextSource source(name, std::move(text));
  return read_coordinates(source, capacity, false);
}

Expected<Sites> parse_sites_text(const std::string& name, std::string text, Index capacity) {
  return parse_any(name, std::move(text), capacity, false);
}

Expected<Sites> parse_longlat_text(const std::string& name, std::string text, Index capacity) {
  return parse_any(name, std::move(text), capacity, true);
}

Expected<Sites> read_longlat_file(const std::string& path, Index capacity) {
  Expected<std::string> text = textio::read_whole_file(path);
  if (!text.ok()) return fail(text.error());
  return parse_longlat_text(textio::display_name(path), std::move(*text), capacity);
}

Expected<Sites> read_coordinate_file(const std::string& path, Index capacity) {
  Expected<std::string> text = textio::read_whole_file(path);
  if (!text.ok()) return fail(text.error());
  return parse_coordinate_text(textio::display_name(path), std::move(*text), capacity);
}

Expected<Sites> read_sites_file(const std::string& path, Index capacity) {
  Expected<std::string> text = textio::read_whole_file(path);
  if (!text.ok()) return fail(text.error());
  return parse_sites_text(textio::display_name(path), std::move(*text), capacity);
}

}  // namespace ortelix::sites
