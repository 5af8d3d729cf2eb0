// The eigen-solvers of ortelix-pcnm side by side on one operator: the
// block solver (Chebyshev-filtered subspace iteration) and shift-invert
// (block Lanczos on (sigma I - G)^-1), each timed alone, with their work
// and the largest difference between their eigenvalues.
//
//   ortelix_solvers KIND N K [SEED] [block|shift|both]
//
// KIND: uniform (N sites over 1000 x 1000), grid (a square grid of about
// N sites, spacing 1, truncated at 1) or clustered (N / 10 centres, 10
// sites each, normally spread with a deviation of 4); the limit is the
// longest edge of a minimum spanning tree, as ortelix-pcnm's --limit mst.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "large/block_solver.h"
#include "large/geometry.h"
#include "large/gower_operator.h"
#include "large/shift_invert.h"

using namespace ortelix;
using namespace ortelix::large;

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long peak_kb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  long kb = 0;
  while (f && std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "VmHWM: %ld", &kb) == 1) break;
  }
  if (f) std::fclose(f);
  return kb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: ortelix_solvers uniform|grid|clustered N K [SEED] [block|shift|both]\n");
    return 2;
  }
  const std::string kind = argv[1];
  const long want = std::atol(argv[2]);
  const int k = std::atoi(argv[3]);
  const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1;
  const std::string which = argc > 5 ? argv[5] : "both";
  sites::Sites s;
  s.p = 2;
  std::mt19937_64 rng(seed);
  const auto uniform = [&] { return static_cast<double>(rng() >> 11) * 0x1p-53; };
  if (kind == "grid") {
    const long side = std::lround(std::sqrt(static_cast<double>(want)));
    for (long j = 1; j <= side; ++j) {
      for (long i = 1; i <= side; ++i) {
        s.coords.push_back(static_cast<double>(i));
        s.coords.push_back(static_cast<double>(j));
      }
    }
  } else if (kind == "clustered") {
    std::normal_distribution<double> spread(0, 4);
    for (long c = 0; c < want / 10; ++c) {
      const double cx = uniform() * 1000, cy = uniform() * 1000;
      for (int i = 0; i < 10; ++i) {
        s.coords.push_back(std::round((cx + spread(rng)) * 1000) / 1000);
        s.coords.push_back(std::round((cy + spread(rng)) * 1000) / 1000);
      }
    }
  } else {
    for (long i = 0; i < want; ++i) {
      s.coords.push_back(std::round(uniform() * 1e6) / 1000);
      s.coords.push_back(std::round(uniform() * 1e6) / 1000);
    }
  }
  s.n = static_cast<long>(s.coords.size()) / 2;
  Expected<Geometry> g = Geometry::euclidean(s);
  if (!g.ok()) return 1;
  const double limit = kind == "grid" ? 1.0 : *g->tree_limit(4'000'000'000ULL, nullptr);
  const double thresh = g->internal_limit(limit);
  const Expected<NearPairs> pairs = g->near_pairs(thresh, 4'000'000'000ULL, nullptr);
  if (!pairs.ok()) return 1;
  std::printf("%s: %ld sites, %.2f pairs a site, K = %d, peak before %.0f MB\n", kind.c_str(), s.n,
              static_cast<double>(pairs->pairs()) / static_cast<double>(s.n), k, peak_kb() / 1024.0);
  const TruncatedGower op(*pairs, thresh, 2);
  LeadingPairs block, shift;
  if (which != "shift") {
    const double t0 = now();
    const Status st = block_leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), k, block);
    std::printf("block         %8.2f s  %s  products %llu  residual %.2g  peak %.0f MB\n", now() - t0,
                st.ok() ? "ok" : st.error().c_str(), static_cast<unsigned long long>(block.products),
                block.largest_residual / std::fabs(block.values.empty() ? 1 : block.values[0]), peak_kb() / 1024.0);
  }
  if (which != "block") {
    const double t0 = now();
    const Status st = shift_invert_leading_eigenpairs(op, k, shift);
    std::printf("shift-invert  %8.2f s  %s  solves %llu  products %llu  factor %.1f a row  sigma - lambda1 %.3g of "
                "lambda1 - lambdaK  residual %.2g  peak %.0f MB\n",
                now() - t0, st.ok() ? "ok" : st.error().c_str(), static_cast<unsigned long long>(shift.solves),
                static_cast<unsigned long long>(shift.products), shift.factor_entries / static_cast<double>(s.n),
                shift.values.empty() ? 0.0 : (shift.shift - shift.values[0]) / (shift.values[0] - shift.values[k - 1]),
                shift.largest_residual / std::fabs(shift.values.empty() ? 1 : shift.values[0]), peak_kb() / 1024.0);
  }
  if (block.values.size() == static_cast<std::size_t>(k) && shift.values.size() == static_cast<std::size_t>(k)) {
    double most = 0;
    for (int j = 0; j < k; ++j) most = std::max(most, std::fabs(block.values[j] - shift.values[j]));
    std::printf("largest difference of the eigenvalues: %.2g of the largest\n", most / std::fabs(block.values[0]));
  }
  return 0;
}
