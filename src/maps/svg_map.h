// Maps of spatial variables: one panel per variable, one circle per site.
#pragma once

#include <string>
#include <vector>

#include "base/expected.h"
#include "sites/sites.h"

namespace ortelix::maps {

struct MapPanel {
  std::string title;
  std::vector<double> values;  // one per site of the analysis, in site order
};

// Sites with one coordinate are drawn along a line; with more, the first
// two coordinates are drawn at the same scale in X and Y. A circle's area
// is proportional to |value|, scaled per panel; positive values are
// filled, negative ones open. The SVG needs nothing outside itself.
// Fails when the coordinates span more than a double holds.
Expected<std::string> render_map_svg(const std::string& heading, const sites::Sites& sites,
                                     const std::vector<MapPanel>& panels);

// "X", "Y", "X²", "XY", ... : the monomial written in position `index`
// (0-based) of the variable file, for sites of one or two coordinates.
std::string monomial_term(Index index, int p);

}  // namespace ortelix::maps
