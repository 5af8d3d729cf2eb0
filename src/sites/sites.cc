#include "sites/sites.h"

namespace ortelix::sites {

Sites transect_sites(Index n) {
  Sites s;
  s.name = "--transect " + std::to_string(n);
  s.p = 1;
  s.n = n;
  s.coords.reserve(static_cast<std::size_t>(n));
  for (Index i = 1; i <= n; ++i) s.coords.push_back(static_cast<double>(i));
  return s;
}

Sites grid_sites(Index rows, Index cols) {
  Sites s;
  s.name = "--grid " + std::to_string(rows) + " " + std::to_string(cols);
  s.p = 2;
  s.n = rows * cols;
  s.coords.reserve(2 * static_cast<std::size_t>(s.n));
  for (Index y = 1; y <= cols; ++y) {
    for (Index x = 1; x <= rows; ++x) {
      s.coords.push_back(static_cast<double>(x));
      s.coords.push_back(static_cast<double>(y));
    }
  }
  return s;
}

}  // namespace ortelix::sites
