// Site sets that look like field surveys, drawn from fixed seeds: spread
// evenly, in clusters (with twin sites), along a winding river, on a grid.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "sites/sites.h"

namespace ortelix::large {

class Draw {
 public:
  explicit Draw(std::uint64_t seed) : rng_(seed) {}
  // Uniform in [0, 1), the same numbers with every standard library.
  double uniform() { return static_cast<double>(rng_() >> 11) * 0x1p-53; }
  double between(double a, double b) { return a + (b - a) * uniform(); }

 private:
  std::mt19937_64 rng_;
};

inline sites::Sites sites_of(std::vector<double> coords, int p, long nsup = 0) {
  sites::Sites s;
  s.p = p;
  s.coords = std::move(coords);
  s.n = static_cast<long>(s.coords.size()) / p - nsup;
  s.nsup = nsup;
  return s;
}

// n sites over a w by h plot, coordinates to the centimetre.
inline sites::Sites uniform_sites(long n, double w, double h, std::uint64_t seed, long nsup = 0) {
  Draw draw(seed);
  std::vector<double> c;
  for (long i = 0; i < n; ++i) {
    c.push_back(std::round(draw.between(0, w) * 100) / 100);
    c.push_back(std::round(draw.between(0, h) * 100) / 100);
  }
  return sites_of(std::move(c), 2, nsup);
}

// `groups` patches of `each` sites, about `spread` wide, around centres
// spread over 1000 by 600; every tenth site has a twin at the same place.
inline sites::Sites clustered_sites(int groups, int each, double spread, std::uint64_t seed, long nsup = 0) {
  Draw draw(seed);
  std::vector<double> c;
  for (int g = 0; g < groups; ++g) {
    const double cx = draw.between(0, 1000), cy = draw.between(0, 600);
    for (int i = 0; i < each; ++i) {
      const double x = std::round((cx + spread * (draw.uniform() + draw.uniform() - 1)) * 10) / 10;
      const double y = std::round((cy + spread * (draw.uniform() + draw.uniform() - 1)) * 10) / 10;
      c.push_back(x);
      c.push_back(y);
      if (i % 10 == 9 && ++i < each) {
        c.push_back(x);
        c.push_back(y);
      }
    }
  }
  return sites_of(std::move(c), 2, nsup);
}

// Sites every 40 to 60 m along a winding river, a few metres off its line.
inline sites::Sites river_sites(long n, std::uint64_t seed) {
  Draw draw(seed);
  std::vector<double> c;
  double along = 0;
  for (long i = 0; i < n; ++i) {
    along += draw.between(40, 60);
    const double x = along + 300 * std::sin(along / 900);
    const double y = 400 * std::sin(along / 1500) + draw.between(-8, 8);
    c.push_back(std::round(x * 10) / 10);
    c.push_back(std::round(y * 10) / 10);
  }
  return sites_of(std::move(c), 2);
}

}  // namespace ortelix::large
