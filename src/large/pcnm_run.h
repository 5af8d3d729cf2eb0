// A whole PCNM computation of ortelix-pcnm, from sites to written-out
// variables: the ranging, truncation, scaling and counting of the dialogue
// program, on a dense decomposition for a few thousand sites or on the
// truncated operator for many more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/expected.h"
#include "base/index.h"
#include "large/lanczos.h"
#include "sites/sites.h"

namespace ortelix::large {

class Progress;

// Sites the dense decomposition takes at most: two matrices of this order
// (800 MB each) and minutes of work.
constexpr Index kDenseMaxSites = 10000;

enum class Solver { kAuto, kDense, kKrylov };

struct RunOptions {
  bool limit_mst = false;  // the longest edge of a minimum spanning tree
  double limit = 0;        // otherwise, in the units of the coordinates
  Index count = 0;         // the leading variables wanted; 0: every PCNM variable
  bool positive_moran = false;
  Solver solver = Solver::kAuto;
  // Near pairs allowed, for their memory (16 bytes each, both ways).
  std::uint64_t max_pairs = 500'000'000;
};

struct RunResult {
  Index n = 0, nsup = 0;
  int p = 0;
  double rangmax = 0;  // the ranging divisor
  double limit = 0;    // in the units of the coordinates
  double thresh = 0;   // in ranged units: limit / rangmax + 1e-10f
  std::uint64_t near_pairs = 0;
  bool dense = false;

  // The eigenvalues computed, in decreasing order (all of them for the
  // dense decomposition, the leading ones otherwise), and how many of them
  // are PCNM variables under the dialogue program's count.
  std::vector<double> eigenvalues;
  Index npcnm = 0;
  double positive_sum = 0, negative_sum = 0, trace = 0;  // dense only
  LeadingPairs krylov;                                   // Krylov only: products, filter, residual

  // The PCNM variables considered (the first min(count, npcnm)), their
  // Moran's I, and which of them are written.
  double moran_expectation = 0;
  std::vector<double> moran;
  std::vector<Index> written_axes;  // 1-based
  bool correlation_checked = false;
  double largest_correlation = 0;  // with supplementary sites

  // The written variables: one column per written axis, site i of the
  // analysis at row i of a column of `ld` rows (the supplementary sites'
  // rows follow, unwritten).
  std::vector<double> values;
  Index ld = 0;
};

// Fails for data that cannot give PCNM variables, saying why and what to
// do. Usage errors (a solver that cannot take the sites) are the caller's
// to catch first with `check_solver`. A cancelled progress ends the run
// with the failure "interrupted".
Expected<RunResult> run_pcnm(const sites::Sites& sites, const RunOptions& options, Progress* progress = nullptr);

// Whether the options can be carried out on `total` sites, and if not why.
Status check_solver(const RunOptions& options, Index total);

// Whether the dense decomposition serves these options on `total` sites.
bool use_dense(const RunOptions& options, Index total);

}  // namespace ortelix::large
