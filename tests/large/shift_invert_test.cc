// The shift-invert operator against a bordered system formed and solved
// whole, its factor's refusal below B's largest eigenvalue, and a cancelled
// run.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "large/gower_operator.h"
#include "large/prepared.h"
#include "large/progress.h"
#include "large/shift_invert.h"
#include "large/site_sets.h"

namespace ortelix::large {
namespace {

// B = -f I + S in row order, from the near pairs' distances by the
// definition: -(d^2 / 2) - f for a near pair, -f on the diagonal.
Eigen::MatrixXd dense_b(const Prepared& p) {
  const long n = p.n;
  const double far = -((p.thresh * 4.0) * (p.thresh * 4.0) * 0.5);
  Eigen::MatrixXd b = Eigen::MatrixXd::Identity(n, n) * -far;
  for (long r = 0; r < n; ++r) {
    for (std::uint64_t k = p.pairs.start[r]; k < p.pairs.start[r + 1]; ++k) {
      const double d = p.pairs.dist[k];
      b(r, p.pairs.column[k]) = -(d * d * 0.5) - far;
    }
  }
  return b;
}

// G in row order, from the dialogue program's own centring.
Eigen::MatrixXd dense_g(const Prepared& p) {
  const long n = p.n;
  const std::vector<double> g = dense_gower(p);
  Eigen::MatrixXd out(n, n);
  for (long j = 0; j < n; ++j) {
    for (long i = 0; i < n; ++i) out(i, j) = g[p.pairs.order[j] * n + p.pairs.order[i]];
  }
  return out;
}

struct Case {
  const char* name;
  sites::Sites sites;
  double limit;
};

std::vector<Case> small_cases() {
  std::vector<Case> cases;
  cases.push_back({"uniform", uniform_sites(300, 100, 80, 21), 0});
  cases.push_back({"clusters with twins", clustered_sites(5, 50, 25, 22), 0});
  cases.push_back({"grid", sites::grid_sites(14, 11), 1});
  return cases;
}

// x = T r against the bordered system [sigma I - G, 1; 1', 0] [x; mu] =
// [C r; 0], solved whole by LU: the x orthogonal to 1 with (sigma I - G) x
// = C r. Shifts just above B's largest eigenvalue and far above it.
TEST(ShiftInvert, SolvesTheCentredShiftedSystem) {
  for (const Case& c : small_cases()) {
    const Prepared p = prepare(c.sites, c.limit);
    const long n = p.n;
    const Eigen::MatrixXd g = dense_g(p);
    const double top_b = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(dense_b(p)).eigenvalues()[n - 1];
    const TruncatedGower op(p.pairs, p.thresh, 1);
    ShiftInvert t(op);
    const double width = op.upper_bound() - op.lower_bound();
    for (double gap : {1e-4, 1e-1}) {
      const double sigma = top_b + gap * width;
      ASSERT_TRUE(t.factor(sigma)) << c.name;
      Eigen::MatrixXd bordered = Eigen::MatrixXd::Zero(n + 1, n + 1);
      bordered.topLeftCorner(n, n) = sigma * Eigen::MatrixXd::Identity(n, n) - g;
      bordered.block(0, n, n, 1).setOnes();
      bordered.block(n, 0, 1, n).setOnes();
      const Eigen::FullPivLU<Eigen::MatrixXd> lu(bordered);
      Draw draw(5);
      // More columns than a piece of the solve, the last piece short.
      const long b = 19;
      Eigen::MatrixXd r(n, b);
      for (long i = 0; i < r.size(); ++i) r.data()[i] = draw.between(-1, 1);
      Eigen::MatrixXd x(n, b);
      t.solve(r.data(), x.data(), b);
      for (long j = 0; j < b; ++j) {
        Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n + 1);
        rhs.head(n) = r.col(j).array() - r.col(j).mean();
        const Eigen::VectorXd want = lu.solve(rhs).head(n);
        EXPECT_LE((want - x.col(j)).norm(), 1e-9 * want.norm()) << c.name << " gap " << gap << " column " << j;
        EXPECT_NEAR(0.0, x.col(j).sum(), 1e-12 * want.lpNorm<1>()) << c.name;
      }
    }
  }
}

// sigma I - B is positive definite just above B's largest eigenvalue and
// not below it, however close; the Lanczos estimate of that eigenvalue
// lies under it, and near it.
TEST(ShiftInvert, FactorsOnlyAboveTheLargestEigenvalueOfB) {
  for (const Case& c : small_cases()) {
    const Prepared p = prepare(c.sites, c.limit);
    const long n = p.n;
    const double top_b = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(dense_b(p)).eigenvalues()[n - 1];
    const TruncatedGower op(p.pairs, p.thresh, 1);
    ShiftInvert t(op);
    const double width = op.upper_bound() - op.lower_bound();
    EXPECT_FALSE(t.factor(top_b - 1e-9 * width)) << c.name;
    EXPECT_TRUE(t.factor(top_b + 1e-9 * width)) << c.name;
    const double estimate = largest_of_b(op, 120);
    EXPECT_LE(estimate, top_b + 1e-12 * width) << c.name;
    EXPECT_GE(estimate, top_b - 1e-3 * width) << c.name;
  }
}

// The chooser: shift-invert where the sites lie on a lattice (a grid, a
// line of evenly spaced sites), the block solver where they are spread at
// random; either way the eigenvalues of the Lanczos solver, an independent
// method, and residuals within the bound.
TEST(ShiftInvert, ChosenOnLatticesOnly) {
  struct Chosen {
    const char* name;
    sites::Sites sites;
    double limit;
    int k;
    const char* method;
  };
  const Chosen cases[] = {
      {"grid 100 x 60", sites::grid_sites(100, 60), 1, 40, "shift-invert"},
      {"line of 6000", sites::grid_sites(1, 6000), 1, 30, "shift-invert"},
      {"uniform", uniform_sites(8000, 1000, 1000, 31), 0, 40, "block"},
      {"clusters with twins", clustered_sites(60, 110, 40, 32), 0, 30, "block"},
  };
  for (const Chosen& c : cases) {
    const Prepared p = prepare(c.sites, c.limit);
    const TruncatedGower op(p.pairs, p.thresh, 2);
    LeadingPairs got, lanczos;
    const Status st = gower_leading_eigenpairs(op, c.k, got);
    ASSERT_TRUE(st.ok()) << c.name << ": " << st.error();
    EXPECT_EQ(std::string(c.method), got.method) << c.name;
    ASSERT_TRUE(lanczos_leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), c.k, lanczos).ok()) << c.name;
    const double scale = std::fabs(lanczos.values[0]);
    EXPECT_LE(got.largest_residual, 1e-9 * scale) << c.name;
    for (int j = 0; j < c.k; ++j) {
      EXPECT_NEAR(lanczos.values[j], got.values[j], 1e-9 * scale) << c.name << " eigenvalue " << j + 1;
    }
  }
}

// A run asked to stop leaves by Cancelled at one of its polls, whichever.
class StopAfter : public Progress {
 public:
  explicit StopAfter(int polls) : left_(polls) {}
  bool cancelled() override { return --left_ < 0; }
  int left() const { return left_; }

 private:
  int left_;
};

TEST(ShiftInvert, StopsWhenCancelled) {
  const Prepared p = prepare(sites::grid_sites(80, 70), 1);
  const TruncatedGower op(p.pairs, p.thresh, 2);
  for (int polls : {0, 1, 4, 12}) {
    StopAfter stop(polls);
    LeadingPairs got;
    EXPECT_THROW((void)shift_invert_leading_eigenpairs(op, 30, got, &stop), Cancelled) << polls;
    EXPECT_EQ(-1, stop.left()) << "stopped at the first poll that asked, " << polls;
  }
}

}  // namespace
}  // namespace ortelix::large
