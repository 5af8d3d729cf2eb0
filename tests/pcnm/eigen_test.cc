// Householder reduction and QL iteration, for the reference kernels and the
// product's kernels alike: cases worked out by hand (order 1, diagonal
// input, splits at the tolerance, the sign rules on -0.0), the mathematics
// of the result on matrices with known eigenvalues (A v = lambda v,
// orthonormality, eigenvalues against Jacobi), and the non-convergence of a
// NaN matrix. Every matrix is stored with a leading dimension larger than
// its order and NaN in the rows beyond it: a kernel that strays outside its
// matrix poisons its results.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "e2e/pcnm_model.h"
#include "pcnm/constants.h"
#include "pcnm/eigen.h"
#include "pcnm/reference_eigen.h"

namespace ortelix::pcnm {
namespace {

struct ReferenceKernels {
  static void tred2(double* a, int n, int ld, double* d, double* e) { tred2_reference(a, n, ld, d, e); }
  static bool tqli(double* d, double* e, int n, int ld, double* a) { return tqli_reference(d, e, n, ld, a); }
};

struct ProductKernels {
  static void tred2(double* a, int n, int ld, double* d, double* e) { pcnm::tred2(a, n, ld, d, e); }
  static bool tqli(double* d, double* e, int n, int ld, double* a) { return pcnm::tqli(d, e, n, ld, a); }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A symmetric matrix given by rows, laid out column-major with ld = n + 3.
struct Stored {
  int n;
  int ld;
  std::vector<double> a;
  std::vector<double> diag, offdiag;
  double& at(int i, int j) { return a[static_cast<std::size_t>(j - 1) * ld + (i - 1)]; }
};

Stored store(const std::vector<std::vector<double>>& rows) {
  Stored s;
  s.n = static_cast<int>(rows.size());
  s.ld = s.n + 3;
  s.a.assign(static_cast<std::size_t>(s.ld) * s.n, kNaN);
  for (int i = 1; i <= s.n; ++i) {
    for (int j = 1; j <= s.n; ++j) s.at(i, j) = rows[i - 1][j - 1];
  }
  s.diag.assign(s.n, 0.0);
  s.offdiag.assign(s.n, 0.0);
  return s;
}

bool padding_untouched(Stored& s) {
  for (int j = 1; j <= s.n; ++j) {
    for (int i = s.n + 1; i <= s.ld; ++i) {
      if (!std::isnan(s.at(i, j))) return false;
    }
  }
  return true;
}

template <typename K>
class Eigen : public ::testing::Test {
 public:
  // tred2 then tqli; returns tqli's answer.
  static bool decompose(Stored& s) {
    K::tred2(s.a.data(), s.n, s.ld, s.diag.data(), s.offdiag.data());
    return K::tqli(s.diag.data(), s.offdiag.data(), s.n, s.ld, s.a.data());
  }
};

using Kernels = ::testing::Types<ReferenceKernels, ProductKernels>;
class KernelNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, ReferenceKernels> ? "Reference" : "Product";
  }
};
TYPED_TEST_SUITE(Eigen, Kernels, KernelNames);

TYPED_TEST(Eigen, OrderOneIsItsOwnEigenpair) {
  Stored s = store({{3.5}});
  TypeParam::tred2(s.a.data(), 1, s.ld, s.diag.data(), s.offdiag.data());
  EXPECT_EQ(3.5, s.diag[0]);
  EXPECT_EQ(1.0, s.at(1, 1));
  s.offdiag[0] = 42.0;
  EXPECT_TRUE(TypeParam::tqli(s.diag.data(), s.offdiag.data(), 1, s.ld, s.a.data()));
  EXPECT_EQ(3.5, s.diag[0]);
  EXPECT_EQ(42.0, s.offdiag[0]);  // n = 1 returns before touching anything
  EXPECT_EQ(1.0, s.at(1, 1));
  EXPECT_TRUE(padding_untouched(s));
}

// Every scale is below the tolerance and every off-diagonal is zero: the
// eigenvalues come back in input order with the identity as eigenvectors,
// exactly.
TYPED_TEST(Eigen, DiagonalMatrixKeepsOrderAndIdentity) {
  const std::vector<double> values = {3, -1, 7, 0, 2, 7};
  std::vector<std::vector<double>> rows(values.size(), std::vector<double>(values.size(), 0.0));
  for (std::size_t i = 0; i < values.size(); ++i) rows[i][i] = values[i];
  Stored s = store(rows);
  ASSERT_TRUE(TestFixture::decompose(s));
  EXPECT_EQ(values, s.diag);
  for (int i = 1; i <= s.n; ++i) {
    for (int j = 1; j <= s.n; ++j) EXPECT_EQ(i == j ? 1.0 : 0.0, s.at(i, j)) << i << "," << j;
  }
  EXPECT_TRUE(padding_untouched(s));
}

// An off-diagonal element below 9.99999993922529e-09 counts as zero, even
// next to eigenvalues smaller than itself; at the tolerance it does not.
TYPED_TEST(Eigen, OffDiagonalBelowToleranceSplits) {
  struct Case {
    double d1, d2, off;
    bool splits;
  };
  const double just_below = std::nextafter(kTol, 0.0);
  const Case cases[] = {
      {2, 1, 5e-9, true}, {2, 1, just_below, true}, {1e-9, 2e-9, 5e-9, true},
      {2, 1, kTol, false}, {1e-9, 2e-9, 2e-8, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.off);
    Stored s = store({{c.d1, c.off}, {c.off, c.d2}});
    ASSERT_TRUE(TestFixture::decompose(s));
    if (c.splits) {
      EXPECT_EQ(c.d1, s.diag[0]);
      EXPECT_EQ(c.d2, s.diag[1]);
      EXPECT_EQ(0.0, s.at(2, 1));
      EXPECT_EQ(0.0, s.at(1, 2));
    } else {
      EXPECT_NE(0.0, s.at(2, 1));
      // The rotation mixes the axes; the trace is kept.
      EXPECT_NEAR(c.d1 + c.d2, s.diag[0] + s.diag[1], 1e-15);
    }
  }
  // A split in the middle of a tridiagonal matrix leaves the lower block
  // alone: 3 stays an exact eigenvalue with the third axis as its vector.
  Stored s = store({{1, 0.5, 0}, {0.5, 2, 5e-9}, {0, 5e-9, 3}});
  ASSERT_TRUE(TestFixture::decompose(s));
  EXPECT_EQ(3.0, s.diag[2]);
  EXPECT_EQ(0.0, s.at(1, 3));
  EXPECT_EQ(0.0, s.at(2, 3));
  EXPECT_EQ(1.0, s.at(3, 3));
  EXPECT_NEAR(1.5 - std::sqrt(0.5), std::min(s.diag[0], s.diag[1]), 1e-15);
  EXPECT_NEAR(1.5 + std::sqrt(0.5), std::max(s.diag[0], s.diag[1]), 1e-15);
}

// A row whose elements left of the diagonal sum to less than the tolerance
// in magnitude is not reduced: its last element is taken as the
// off-diagonal and the others are dropped, and no reflection is
// accumulated.
TYPED_TEST(Eigen, RowScaleBelowToleranceIsNotReduced) {
  Stored s = store({{1, 0.5, 4e-9}, {0.5, 2, 5e-9}, {4e-9, 5e-9, 3}});
  TypeParam::tred2(s.a.data(), 3, s.ld, s.diag.data(), s.offdiag.data());
  EXPECT_EQ((std::vector<double>{1, 2, 3}), s.diag);
  EXPECT_EQ((std::vector<double>{0, 0.5, 5e-9}), s.offdiag);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(i == j ? 1.0 : 0.0, s.at(i, j)) << i << "," << j;
  }
}

// f = a(3,2) = -0.0 counts as non-negative: g = -sqrt(h) = -1. Worked by
// hand, every step exact: diag (2, 1, 3), off-diagonal (0, 0, -1) and
// Q = [[0,-1,0],[-1,0,0],[0,0,1]]. Taking the sign of -0.0 instead would
// give +1 and flip the reflection.
TYPED_TEST(Eigen, HouseholderTreatsMinusZeroAsNonNegative) {
  Stored s = store({{1, 0, 1}, {0, 2, -0.0}, {1, -0.0, 3}});
  TypeParam::tred2(s.a.data(), 3, s.ld, s.diag.data(), s.offdiag.data());
  EXPECT_EQ((std::vector<double>{2, 1, 3}), s.diag);
  EXPECT_EQ((std::vector<double>{0, 0, -1}), s.offdiag);
  const double q[3][3] = {{0, -1, 0}, {-1, 0, 0}, {0, 0, 1}};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(q[i - 1][j - 1], s.at(i, j)) << i << "," << j;
  }
}

// Equal diagonal and a negative off-diagonal make the first shift ratio
// g = 0 / (2 e) = -0.0, which takes r' = +r. Worked by hand: the first
// eigenvalue returned is 1.5 with vector (1, -1)/sqrt 2, then 0.5 with
// (1, 1)/sqrt 2. With r' = -r the two would come back the other way round.
TYPED_TEST(Eigen, QlShiftTreatsMinusZeroAsNonNegative) {
  Stored s = store({{1, -0.5}, {-0.5, 1}});
  ASSERT_TRUE(TestFixture::decompose(s));
  const double h = std::sqrt(0.5);
  EXPECT_NEAR(1.5, s.diag[0], 1e-15);
  EXPECT_NEAR(0.5, s.diag[1], 1e-15);
  EXPECT_NEAR(h, s.at(1, 1), 1e-15);
  EXPECT_NEAR(-h, s.at(2, 1), 1e-15);
  EXPECT_NEAR(h, s.at(1, 2), 1e-15);
  EXPECT_NEAR(h, s.at(2, 2), 1e-15);
}

// Q diag(lambda) Q^T with Q a Householder reflection I - 2 u u^T / (u^T u).
std::vector<std::vector<double>> with_eigenvalues(const std::vector<double>& lambda, const std::vector<double>& u) {
  const std::size_t n = lambda.size();
  double uu = 0;
  for (double v : u) uu += v * v;
  std::vector<std::vector<double>> q(n, std::vector<double>(n));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) q[i][j] = (i == j ? 1.0 : 0.0) - 2 * u[i] * u[j] / uu;
  }
  std::vector<std::vector<double>> a(n, std::vector<double>(n, 0.0));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      for (std::size_t k = 0; k < n; ++k) a[i][j] += q[i][k] * lambda[k] * q[j][k];
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < i; ++j) a[i][j] = a[j][i];
  }
  return a;
}

std::vector<std::vector<double>> random_symmetric(int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  std::vector<std::vector<double>> a(n, std::vector<double>(n));
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= i; ++j) a[i][j] = a[j][i] = u(gen);
  }
  return a;
}

// V^T V = I and eigenvalues as Jacobi finds them, to 1e-12 relative to the
// size of the matrix; A v = lambda v to within twice the tolerance: the QL
// step stops once an off-diagonal element is below 9.99999993922529e-09 in
// absolute terms, and the two left beside an eigenvalue perturb its
// residual by at most that much each.
template <typename TestFixture>
void expect_true_decomposition(const std::vector<std::vector<double>>& rows) {
  const int n = static_cast<int>(rows.size());
  Stored s = store(rows);
  ASSERT_TRUE(TestFixture::decompose(s));
  EXPECT_TRUE(padding_untouched(s));
  double norm = 0;
  e2e::model::Square m(n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      norm = std::max(norm, std::fabs(rows[i - 1][j - 1]));
      m(i, j) = rows[i - 1][j - 1];
    }
  }
  const double tol = 1e-12 * std::max(norm, 1.0);
  for (int k = 1; k <= n; ++k) {
    for (int i = 1; i <= n; ++i) {
      double av = 0;
      for (int j = 1; j <= n; ++j) av += rows[i - 1][j - 1] * s.at(j, k);
      EXPECT_NEAR(s.diag[k - 1] * s.at(i, k), av, 2 * kTol + tol) << "pair " << k << ", row " << i;
    }
    for (int l = 1; l <= n; ++l) {
      double dot = 0;
      for (int i = 1; i <= n; ++i) dot += s.at(i, k) * s.at(i, l);
      EXPECT_NEAR(k == l ? 1.0 : 0.0, dot, 1e-12) << k << "," << l;
    }
  }
  std::vector<double> sorted = s.diag;
  std::sort(sorted.rbegin(), sorted.rend());
  std::vector<double> jac = e2e::model::jacobi(m);
  for (int k = 0; k < n; ++k) EXPECT_NEAR(jac[k], sorted[k], tol) << "eigenvalue " << k + 1;
}

TYPED_TEST(Eigen, KnownEigenvaluesIncludingEqualOnes) {
  struct Case {
    std::vector<double> lambda;
    std::vector<double> u;
  };
  const Case cases[] = {
      {{5, 3, 3, -1, 0.5}, {1, 2, -1, 0.5, 3}},
      {{2, 2, 2, 2}, {1, -1, 2, 0.25}},
      {{4, 4, -4, -4, 0, 0}, {0.3, 1, -2, 1, 0.7, -0.1}},
      {{1e-3, 2e-3, 10, 10, 10}, {2, 1, 1, -1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lambda.size());
    auto rows = with_eigenvalues(c.lambda, c.u);
    expect_true_decomposition<TestFixture>(rows);
    Stored s = store(rows);
    ASSERT_TRUE(TestFixture::decompose(s));
    std::vector<double> got = s.diag, want = c.lambda;
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(want[k], got[k], 1e-13);
  }
}

TYPED_TEST(Eigen, RandomSymmetricMatrices) {
  for (int n : {2, 3, 4, 7, 12, 31}) {
    for (unsigned seed : {1u, 2u}) {
      SCOPED_TRACE(std::to_string(n) + " seed " + std::to_string(seed));
      expect_true_decomposition<TestFixture>(random_symmetric(n, seed * 100 + n));
    }
  }
}

// Bit for bit the same as the independent transcription of the rules in
// the end-to-end model, whose storage and indexing share nothing with the
// kernels. Matrices of order 1e-7 put |f| and |g| of the QL rotations
// within the tolerance of each other often, where the choice between the
// two forms of a rotation decides the last bits.
TYPED_TEST(Eigen, SameBitsAsAnIndependentTranscription) {
  for (double scale : {1.0, 1e-7, 3e-7, 1e-6}) {
    for (int n : {3, 6, 11, 20}) {
      SCOPED_TRACE("scale " + std::to_string(scale) + ", n " + std::to_string(n));
      auto rows = random_symmetric(n, static_cast<unsigned>(n * 7 + scale * 1e9));
      e2e::model::Square m(n);
      for (auto& row : rows) {
        for (double& v : row) v *= scale;
      }
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) m(i, j) = rows[i - 1][j - 1];
      }
      std::vector<double> d(n, 0.0), e(n, 0.0);
      e2e::model::householder(m, d, e);
      ASSERT_TRUE(e2e::model::ql(d, e, m));
      Stored s = store(rows);
      ASSERT_TRUE(TestFixture::decompose(s));
      EXPECT_EQ(d, s.diag);
      int differing = 0;
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) differing += m(i, j) != s.at(i, j);
      }
      EXPECT_EQ(0, differing);
    }
  }
}

// NaN never compares below the tolerance, so the first eigenvalue never
// converges and the 50-iteration limit ends the QL step.
TYPED_TEST(Eigen, NaNOrInfinityNeverConverges) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {kNaN, inf}) {
    SCOPED_TRACE(bad);
    Stored s = store({{1, 2, bad}, {2, 3, 1}, {bad, 1, 0}});
    EXPECT_FALSE(TestFixture::decompose(s));
  }
  // A NaN off-diagonal handed straight to the QL step.
  Stored s = store({{1, 0}, {0, 2}});
  TypeParam::tred2(s.a.data(), 2, s.ld, s.diag.data(), s.offdiag.data());
  s.offdiag[1] = kNaN;
  EXPECT_FALSE(TypeParam::tqli(s.diag.data(), s.offdiag.data(), 2, s.ld, s.a.data()));
}

}  // namespace
}  // namespace ortelix::pcnm
