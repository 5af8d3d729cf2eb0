// Positions of sampling sites: the designs the dialogue program generates,
// and the set of sites every program works on.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/index.h"

namespace ortelix::sites {

// The dialogue program's capacity: sites of the analysis plus
// supplementary sites. The companion programs that stand beside it
// (ortelix-threshold, ortelix-map) accept what it accepts.
constexpr Index kDialogueCapacity = 2000;

// Sites read at most by the programs of large site sets: the coordinates
// and near pairs of more would not fit a machine's memory anyway.
constexpr Index kLargeCapacity = 50'000'000;

struct Sites {
  std::string name;            // for messages: the file, or "--grid 3 2"
  int p = 0;                   // coordinates per site
  Index n = 0;                 // sites of the analysis
  Index nsup = 0;              // supplementary sites, after the n others
  std::vector<double> coords;  // site i, coordinate k at coords[i * p + k]

  Index total() const { return n + nsup; }
  double at(Index i, int k) const { return coords[static_cast<std::size_t>(i) * p + k]; }
  const double* site(Index i) const { return coords.data() + static_cast<std::size_t>(i) * p; }
};

// Positions as the dialogue program generates them, spacing 1: 1..n along
// a line; a grid of `rows` X positions by `cols` Y positions, X running
// fastest (site 2 is X = 2, Y = 1).
Sites transect_sites(Index n);
Sites grid_sites(Index rows, Index cols);

}  // namespace ortelix::sites
