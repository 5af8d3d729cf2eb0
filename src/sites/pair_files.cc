#include "sites/pair_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string_view>
#include <tuple>

#include "textio/text_source.h"

namespace ortelix::sites {
namespace {

std::string at(const std::string& name, std::size_t line, const std::string& message) {
  return name + ":" + std::to_string(line) + ": " + message;
}

bool whole_number(std::string_view text, Index& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool number(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return (ec == std::errc() || ec == std::errc::result_out_of_range) && end == text.data() + text.size();
}

}  // namespace

Expected<PairList> parse_pair_text(const std::string& name, const std::string& text, Index capacity) {
  PairList list;
  list.name = name;
  std::vector<std::size_t> lines;  // of each pair, for messages
  std::size_t line = 0;
  bool have_count = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view raw = textio::without_carriage_return(std::string_view(text).substr(start, end - start));
    start = end + 1;
    ++line;
    const std::vector<std::string_view> f = textio::split_fields(raw);
    if (f.empty()) continue;
    if (!have_count) {
      if (f.size() != 1 || !whole_number(f[0], list.n)) {
        return fail(at(name, line, "the first line gives the number of sites, a whole number alone"));
      }
      if (list.n < 1 || list.n > capacity) {
        return fail(at(name, line, std::to_string(list.n) + " sites: expected 1 to " + std::to_string(capacity)));
      }
      have_count = true;
      continue;
    }
    Index i = 0, j = 0;
    double d = 0;
    if (f.size() != 3 || !whole_number(f[0], i) || !whole_number(f[1], j) || !number(f[2], d)) {
      return fail(at(name, line, "a pair is two site numbers and a distance: i j d"));
    }
    if (i < 1 || i > list.n || j < 1 || j > list.n) {
      return fail(at(name, line, "site " + std::to_string(i < 1 || i > list.n ? i : j) + " is not one of the " +
                                     std::to_string(list.n) + " sites (1 to " + std::to_string(list.n) + ")"));
    }
    if (i == j) return fail(at(name, line, "site " + std::to_string(i) + " paired with itself"));
    if (!std::isfinite(d)) return fail(at(name, line, "the distance is not a finite number"));
    if (d < 0) return fail(at(name, line, "the distance is negative"));
    list.first.push_back(std::min(i, j) - 1);
    list.second.push_back(std::max(i, j) - 1);
    list.dist.push_back(d);
    lines.push_back(line);
  }
  if (!have_count) return fail(name + ": no number of sites: the file is empty");
  // A pair listed twice, either way round, gives two distances to one pair.
  std::vector<std::size_t> order(list.dist.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::tie(list.first[a], list.second[a], lines[a]) < std::tie(list.first[b], list.second[b], lines[b]);
  });
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t repeat = kNone;  // the pair of the earliest line that repeats one
  for (std::size_t k = 1; k < order.size(); ++k) {
    const std::size_t a = order[k - 1], b = order[k];
    if (list.first[a] == list.first[b] && list.second[a] == list.second[b] &&
        (repeat == kNone || lines[b] < lines[repeat])) {
      repeat = b;
    }
  }
  if (repeat != kNone) {
    const std::size_t b = repeat;
    std::size_t first_line = lines[b];
    for (std::size_t k = 0; k < order.size(); ++k) {
      if (list.first[k] == list.first[b] && list.second[k] == list.second[b]) first_line = std::min(first_line, lines[k]);
    }
    return fail(at(name, lines[b], "the pair " + std::to_string(list.first[b] + 1) + " " +
                                       std::to_string(list.second[b] + 1) + " is listed already, on line " +
                                       std::to_string(first_line)));
  }
  return list;
}

Expected<PairList> read_pair_file(const std::string& path, Index capacity) {
  Expected<std::string> text = textio::read_whole_file(path);
  if (!text.ok()) return fail(text.error());
  return parse_pair_text(textio::display_name(path), *text, capacity);
}

}  // namespace ortelix::sites
