// Distances between sites given pair by pair, for distances that no
// coordinates give: along rivers, coastlines, roads, or across a landscape
// of resistance.
#pragma once

#include <string>
#include <vector>

#include "base/expected.h"
#include "base/index.h"

namespace ortelix::sites {

struct PairList {
  std::string name;  // for messages
  Index n = 0;       // sites
  // Pair k joins sites first[k] < second[k] (0-based) at distance dist[k].
  std::vector<Index> first, second;
  std::vector<double> dist;
};

// A line with the number of sites n, then one pair a line: two site
// numbers from 1 to n and their distance, separated by blanks, tabs or a
// comma. Blank lines are skipped. A pair of a site with itself, a pair
// listed twice (either way round), a site number out of range and a
// negative or non-finite distance are refused with the file and line. At
// most `capacity` sites; "-" reads standard input.
Expected<PairList> read_pair_file(const std::string& path, Index capacity);
Expected<PairList> parse_pair_text(const std::string& name, const std::string& text, Index capacity);

}  // namespace ortelix::sites
