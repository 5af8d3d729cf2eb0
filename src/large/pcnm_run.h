// A whole PCNM computation, from sites to the variables written out: the
// ranging, truncation, scaling and counting of the dialogue program, on a
// dense decomposition for a few thousand sites or on the truncated operator
// for many more, at one or several limits; and the values of its variables
// at new sites.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/expected.h"
#include "base/index.h"
#include "large/geometry.h"
#include "large/lanczos.h"
#include "sites/sites.h"

namespace ortelix::large {

class Progress;

// Sites the dense decomposition takes at most: two matrices of this order
// (800 MB each) and minutes of work.
constexpr Index kDenseMaxSites = 10000;

enum class Solver { kAuto, kDense, kKrylov };

// A truncation limit, in the units of the sites.
struct Limit {
  bool mst = false;  // the longest edge of a minimum spanning tree
  double value = 0;  // otherwise
};

struct RunOptions {
  std::vector<Limit> limits;  // one or more scales
  Index count = 0;            // the leading variables wanted at each; 0: every PCNM variable
  bool positive_moran = false;
  Solver solver = Solver::kAuto;
  // Threads of the Krylov products: 1 or 2; 0 takes two where the
  // processor has them. The results do not depend on it.
  int threads = 0;
  // Near pairs allowed, for their memory (16 bytes each, both ways).
  std::uint64_t max_pairs = 500'000'000;
};

// What one limit gave.
struct ScaleResult {
  bool limit_mst = false;
  double limit = 0;   // in the units of the sites
  double thresh = 0;  // what distances are compared with (ranged units for coordinates)
  std::uint64_t near_pairs = 0;
  bool dense = false;

  // The eigenvalues computed, in decreasing order (all of them for the
  // dense decomposition, the leading ones otherwise), and how many of them
  // are PCNM variables under the dialogue program's count.
  std::vector<double> eigenvalues;
  Index npcnm = 0;
  double positive_sum = 0, negative_sum = 0, trace = 0;  // dense only
  LeadingPairs krylov;                                   // Krylov only: products, filter, residual

  // Runs [first, last) of equal eigenvalues among those computed, whose
  // variables are in the solver-free basis of their eigenspace; and, when
  // --count would have cut one of them, the count that takes it whole.
  std::vector<std::pair<Index, Index>> clusters;
  Index count_raised_to = 0;

  // The PCNM variables considered (the first min(count, npcnm), clusters
  // whole), their Moran's I, and which of them are written.
  double moran_expectation = 0;
  std::vector<double> moran;
  std::vector<Index> written_axes;  // 1-based
  bool correlation_checked = false;
  double largest_correlation = 0;  // with supplementary sites

  // The written variables are columns first_column.. of the run's values.
  Index first_column = 0;
  // For new sites, per written column: its mean over every site (zero but
  // for rounding), Gower's constant sum of the variable less that mean
  // times the rows' means, the eigenvalue, and the standardization of the
  // written values (empty when they are not standardized).
  std::vector<double> placement_mean, placement_constant, placement_eigenvalue, mean, sd;
  double far_value = 0;  // the transformed distance of every far pair
};

struct RunResult {
  std::shared_ptr<const Geometry> geometry;
  Index n = 0, nsup = 0;
  int p = 0;
  double rangmax = 1;  // the ranging divisor (coordinates only)
  std::vector<ScaleResult> scales;
  // The written variables of every limit side by side: site i of column c
  // at values[c * ld + i], rows n.. being the supplementary sites (not
  // written).
  std::vector<double> values;
  Index ld = 0;
  // What the user should know of how the run settled a choice: a cluster
  // that --count would have cut.
  std::vector<std::string> notes;

  Index columns() const { return ld == 0 ? 0 : static_cast<Index>(values.size()) / ld; }
};

// Fails for data that cannot give PCNM variables, saying why and what to
// do. Usage errors (a solver that cannot take the sites) are the caller's
// to catch first with `check_solver`. A cancelled progress ends the run
// with the failure "interrupted".
Expected<RunResult> run_pcnm(std::shared_ptr<const Geometry> geometry, const RunOptions& options,
                             Progress* progress = nullptr);
// Sites with coordinates, distances straight lines.
Expected<RunResult> run_pcnm(const sites::Sites& sites, const RunOptions& options, Progress* progress = nullptr);

// The values of the written variables at new sites, placed among the sites
// of the analysis by Gower's formula for adding a point to a principal
// coordinate analysis: site i of column c at out[c * m + i], m new sites.
// A site of the analysis given again gets back its own values.
Expected<std::vector<double>> predict(const RunResult& result, const sites::Sites& new_sites,
                                      Progress* progress = nullptr);

// Whether the options can be carried out on `total` sites, and if not why.
Status check_solver(const RunOptions& options, Index total);

// Whether the dense decomposition serves these options on `total` sites.
bool use_dense(const RunOptions& options, Index total);

}  // namespace ortelix::large
