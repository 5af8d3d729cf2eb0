// The Gower-centred matrix of truncated distances as an operator: y = G x
// without ever forming G.
#pragma once

#include <cstdint>
#include <memory>

#include "base/index.h"

#include "large/near_pairs.h"

namespace ortelix::pcnm {
class Team;
}

namespace ortelix::large {

// All that an iterative eigen-solver asks of a symmetric matrix: its order
// and its product with a vector. A distributed solver can wrap the same
// product (a shell matrix whose multiplication calls apply on its rows).
class SymmetricOperator {
 public:
  virtual ~SymmetricOperator() = default;
  virtual Index size() const = 0;
  virtual void apply(const double* x, double* y) const = 0;
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

  // Every eigenvalue of G lies in [lower, upper]: G's spectrum on the
  // centred vectors lies within that of B = -f I + S, bounded by
  // Gershgorin's discs, and the constant vector adds the eigenvalue 0.
  double lower_bound() const { return lower_; }
  double upper_bound() const { return upper_; }

  std::uint64_t products() const { return products_; }

 private:
  const NearPairs& pairs_;
  double far_;  // f, the transformed value of every far pair
  double lower_ = 0, upper_ = 0;
  Index split_ = 0;  // rows [0, split_) and [split_, n) for the two threads
  std::unique_ptr<pcnm::Team> team_;
  mutable std::uint64_t products_ = 0;
};

}  // namespace ortelix::large
