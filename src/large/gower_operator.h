// The Gower-centred matrix of truncated distances as an operator: y = G x
// without ever forming G.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/index.h"

#include "large/near_pairs.h"

namespace ortelix::pcnm {
class Team;
}

namespace ortelix::large {

class Progress;

class CentredSparse;

// All that an iterative eigen-solver asks of a symmetric matrix: its order
// and its product with a vector. A distributed solver can wrap the same
// product (a shell matrix whose multiplication calls apply on its rows).
class SymmetricOperator {
 public:
  virtual ~SymmetricOperator() = default;
  virtual Index size() const = 0;
  virtual void apply(const double* x, double* y) const = 0;

  // y = alpha G x + beta x + gamma y for the b columns of x and y (size()
  // rows each, column-major, one after the other). With gamma 0, y is
  // only written. A block solver's products; this one takes the columns
  // one at a time, an operator that can do better overrides it.
  virtual void apply_block(const double* x, double* y, long b, double alpha = 1, double beta = 0,
                           double gamma = 0) const;

  // Each column x_j (size() rows, column-major) becomes p_j(G) x_j, p_j
  // the Chebyshev polynomial of degree degree[j] >= 1 of the operator that
  // maps [lower, cut] onto [-1, 1], scaled by its value at `top` (the
  // three-term recurrence of Zhou and Saad, 2007); gx holds G x and is
  // used up. This one runs the recurrence on whole blocks with
  // apply_block; an operator that can keep a few columns in cache from one
  // step to the next overrides it.
  virtual void chebyshev_block(double* x, double* gx, long b, const int* degree, double lower, double cut,
                               double top) const;

  // For a start from a coarser problem: P' G P, P's columns the unit
  // indicators of `group` consecutive rows at a time (the last group may
  // be smaller), or null where the operator cannot form it.
  virtual std::unique_ptr<CentredSparse> coarsened(long group) const;

  // A long filtering polls `progress` between two of its steps (on the
  // calling thread), so that a run asked to stop stops within a step.
  void watch(Progress* progress) const { progress_ = progress; }

 protected:
  void between_steps() const;

 private:
  mutable Progress* progress_ = nullptr;
};

// A sparse symmetric B minus what centring takes away, as coarsening a
// centred operator leaves it:
//     G = B - (g s' + s g') / m + beta s s' / m^2.
// The truncated Gower operator is the case s = 1, g = B 1, beta = 1' B 1,
// m = n; grouping rows keeps the form (B -> P' B P, s -> P' s, g -> P' g).
class CentredSparse : public SymmetricOperator {
 public:
  CentredSparse();
  ~CentredSparse() override;
  Index size() const override { return n; }
  void apply(const double* x, double* y) const override { apply_block(x, y, 1); }
  void apply_block(const double* x, double* y, long b, double alpha = 1, double beta = 0,
                   double gamma = 0) const override;
  std::unique_ptr<CentredSparse> coarsened(long group) const override;

  long n = 0;
  std::vector<std::uint64_t> start;  // row r: [start[r], start[r + 1]), its diagonal included
  std::vector<std::uint32_t> column;
  std::vector<double> value;
  std::vector<double> s, g;
  double beta = 0, m = 1;
  double source_entries = 0;  // stored entries a row of the operator it was coarsened from (with the diagonal)

 private:
  std::unique_ptr<pcnm::Team> team_;
  mutable std::vector<double> tile_, out_;  // workspaces of the products
};

// After truncation every far pair carries the same transformed value
// f = -((4t)^2 / 2), t the internal limit, so that A = f (11' - I) + S with
// S(i, j) = a(i, j) - f for the near pairs only (a = -(d^2 / 2)). The
// centring projector C = I - 11'/n annihilates 11', hence
//     G = C A C = C (-f I + S) C,
// and G x costs one pass over the near pairs and two means. Rows and
// columns are those of the near pairs (the k-d tree's order of the sites).
class TruncatedGower : public SymmetricOperator {
 public:
  // `threads`: 1 or 2; the products do not depend on it.
  TruncatedGower(const NearPairs& pairs, double thresh, int threads);
  ~TruncatedGower() override;

  Index size() const override { return pairs_.n; }
  void apply(const double* x, double* y) const override;
  // The same sums as apply for each column, whatever b and the threads. A
  // single column goes without the tiles below (and their memory: 256
  // bytes a site).
  void apply_block(const double* x, double* y, long b, double alpha = 1, double beta = 0,
                   double gamma = 0) const override;
  // Sixteen columns at a time through all their steps, interleaved row by
  // row: each step one pass over the pairs, reading the last iterate and
  // overwriting the one before, and no other pass over memory.
  void chebyshev_block(double* x, double* gx, long b, const int* degree, double lower, double cut,
                       double top) const override;
  std::unique_ptr<CentredSparse> coarsened(long group) const override;

  // Every eigenvalue of G lies in [lower, upper]: G's spectrum on the
  // centred vectors lies within that of B = -f I + S, bounded by
  // Gershgorin's discs, and the constant vector adds the eigenvalue 0.
  double lower_bound() const { return lower_; }
  double upper_bound() const { return upper_; }

  std::uint64_t products() const { return products_; }

  // B = -f I + S, whose centring G is, for a solver that factors it.
  const NearPairs& near_pairs() const { return pairs_; }
  double far_value() const { return far_; }

 private:
  const NearPairs& pairs_;
  double far_;  // f, the transformed value of every far pair
  std::vector<double> row_sum_;  // of B, in pair order
  double total_ = 0;             // their sum, in row order
  double lower_ = 0, upper_ = 0;
  Index split_ = 0;  // rows [0, split_) and [split_, n) for the two threads
  std::unique_ptr<pcnm::Team> team_;
  mutable std::uint64_t products_ = 0;
  // Workspaces of apply_block, kept from one product to the next: two
  // tiles of columns centred and interleaved by row, and each thread's
  // products of a run of rows.
  mutable std::vector<double> tile_, out_;
  std::size_t ready_tiles() const;  // sizes them; the numbers of one tile
  // y = alpha G x + beta x + gamma y for one column, one pass over the
  // pairs.
  void column_product(const double* x, double* y, double alpha, double beta, double gamma) const;
};

}  // namespace ortelix::large
