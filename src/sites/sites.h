// Positions of sampling sites, from the same sources as the program's.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ortelix::tools {

// The program's capacity: sites of the analysis plus supplementary sites.
constexpr long kMaxSites = 2000;

struct Sites {
  int p = 0;                   // coordinates per site
  long n = 0;                  // sites of the analysis
  long nsup = 0;               // supplementary sites, after the n others
  std::vector<double> coords;  // site i, coordinate k at coords[i * p + k]

  long total() const { return n + nsup; }
  double at(long i, int k) const { return coords[static_cast<std::size_t>(i) * p + k]; }
};

// Positions as the program generates them: 1..n along a line; a grid of
// `rows` X positions by `cols` Y positions, X running fastest.
Sites transect_sites(long n);
Sites grid_sites(long rows, long cols);

// A coordinate file as the program reads it: header n p nsup, then one
// record per site, at most `max_sites` of them (the program's capacity
// unless given). Returns an error message ("file:line: ...") or nothing.
std::optional<std::string> read_coordinate_file(const std::string& path, Sites& sites);
std::optional<std::string> read_coordinate_file_capped(const std::string& path, Sites& sites, long max_sites);

// Either a coordinate file, or a list of X Y positions, two values a line
// (such as Grid.txt, whose fields may touch). Every site counts as a site
// of the analysis in a list.
std::optional<std::string> read_sites_file(const std::string& path, Sites& sites);

}  // namespace ortelix::tools
