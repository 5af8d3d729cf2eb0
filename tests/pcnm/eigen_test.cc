// Householder reduction and QL iteration: cases worked out by hand and
// matrices with known eigenvalues, for every kernel; then the product's
// entry points and the fast kernels (every instruction set this processor
// runs, one and two threads, two forced even on tiny matrices) against the
// literal ones bit for bit: a reordered sum, a fused multiply-add or a row
// the second thread missed differs in some last bit of these matrices.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "pcnm/constants.h"
#include "pcnm/eigen.h"
#include "pcnm/fast_eigen.h"
#include "pcnm/matrix.h"
#include "pcnm/pcoa.h"
#include "pcnm/reference_eigen.h"

namespace ortelix::pcnm {
namespace {

struct Kernel {
  std::string name;
  std::function<void(double*, int, int, double*, double*)> tred2;
  std::function<bool(double*, double*, int, int, double*)> tqli;
};

std::vector<Kernel> kernels(bool two_threads = true) {  // the literal ones first
  std::vector<Kernel> k = {{"reference", tred2_reference, tqli_reference}, {"product", tred2, tqli}};
  for (Isa isa : {Isa::kGeneric, Isa::kAvx2, Isa::kAvx512}) {
    for (int threads = 1; threads <= (two_threads ? 2 : 1) && isa_supported(isa); ++threads) {
      const FastOptions o{threads, isa};
      k.push_back({"instruction set " + std::to_string(int(isa)) + ", threads " + std::to_string(threads),
                   [o](double* a, int n, int ld, double* d, double* e) { tred2_fast(a, n, ld, d, e, o); },
                   [o](double* d, double* e, int n, int ld, double* a) { return tqli_fast(d, e, n, ld, a, o); }});
    }
  }
  return k;
}

// NaN diag/offdiag on entry: neither routine may rely on what is there.
struct Result {
  Matrix q, vectors;  // after tred2, after tqli
  std::vector<double> diag, offdiag, values;
  bool converged;
  Result(const Kernel& k, const Matrix& m) : q(m), diag(m.n, kNaN), offdiag(m.n, kNaN) {
    k.tred2(q.a.data(), m.n, m.ld, diag.data(), offdiag.data());
    vectors = q;
    values = diag;
    std::vector<double> e = offdiag;
    converged = k.tqli(values.data(), e.data(), m.n, m.ld, vectors.a.data());
  }
};

void expect_near(const std::vector<double>& want, const std::vector<double>& got, double tolerance = 1e-15) {
  ASSERT_EQ(want.size(), got.size());
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(want[k], got[k], tolerance) << "element " << k;
}

// The vectors, then the n x n block of the matrix row by row.
std::vector<double> flat(std::vector<double> a, const std::vector<double>& b, const Matrix& m) {
  a.insert(a.end(), b.begin(), b.end());
  for (int i = 1; i <= m.n; ++i) {
    for (int j = 1; j <= m.n; ++j) a.push_back(m(i, j));
  }
  return a;
}

// After tred2: diagonal, off-diagonal and Q; after tqli: eigenvalues and
// eigenvectors (none where not worked out).
TEST(Eigen, WorkedByHand) {
  const double h = std::sqrt(0.5);
  struct Case {
    const char* what;
    Rows a;
    std::vector<double> reduced, decomposed;
  };
  const Case cases[] = {
      {"order one", {{3.5}}, {3.5, 0, 1}, {3.5, 1}},
      {"diagonal: every scale below the tolerance, order and identity kept",
       {{3, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 7}},
       {3, -1, 0, 7, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
       {3, -1, 0, 7, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
      {"a row whose left part sums below the tolerance is not reduced",
       {{1, 0.5, 4e-9}, {0.5, 2, 5e-9}, {4e-9, 5e-9, 3}},
       {1, 2, 3, 0, 0.5, 5e-9, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {}},
      {"f = -0.0 counts as non-negative: g = -sqrt(h) = -1", {{1, 0, 1}, {0, 2, -0.0}, {1, -0.0, 3}},
       {2, 1, 3, 0, 0, -1, 0, -1, 0, -1, 0, 0, 0, 0, 1}, {}},
      {"shift ratio g = 0 / (2 e) = -0.0 takes r' = +r: 1.5 comes first", {{1, -0.5}, {-0.5, 1}}, {},
       {1.5, 0.5, h, h, -h, h}},
  };
  for (const Kernel& k : kernels()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(k.name + ": " + c.what);
      Result r(k, Matrix::of(c.a));
      ASSERT_TRUE(r.converged);
      if (!c.reduced.empty()) expect_near(c.reduced, flat(r.diag, r.offdiag, r.q));
      if (!c.decomposed.empty()) expect_near(c.decomposed, flat(r.values, {}, r.vectors));
    }
  }
}

// An off-diagonal element below 9.99999993922529e-09 counts as zero, even
// next to eigenvalues smaller than itself; at the tolerance it does not. A
// split in the middle of a tridiagonal matrix leaves the lower block alone:
// 3 stays an exact eigenvalue with the third axis as its vector.
TEST(Eigen, OffDiagonalBelowToleranceSplits) {
  struct Case {
    double d1, d2, off;
    bool splits;
  };
  for (const Kernel& k : kernels()) {
    SCOPED_TRACE(k.name);
    for (const Case& c : {Case{2, 1, 5e-9, true}, Case{2, 1, std::nextafter(kTol, 0.0), true},
                          Case{1e-9, 2e-9, 5e-9, true}, Case{2, 1, kTol, false}, Case{1e-9, 2e-9, 2e-8, false}}) {
      Result r(k, Matrix::of({{c.d1, c.off}, {c.off, c.d2}}));
      EXPECT_EQ(c.splits, r.vectors(2, 1) == 0.0) << c.off;
      EXPECT_TRUE(!c.splits || r.values == (std::vector<double>{c.d1, c.d2})) << c.off;
    }
    Result r(k, Matrix::of({{1, 0.5, 0}, {0.5, 2, 5e-9}, {0, 5e-9, 3}}));
    EXPECT_EQ(3.0, r.values[2]);
    EXPECT_EQ((std::vector<double>{0, 0, 1}), (std::vector<double>{r.vectors(1, 3), r.vectors(2, 3), r.vectors(3, 3)}));
    EXPECT_NEAR(1.5 - std::sqrt(0.5), std::min(r.values[0], r.values[1]), 1e-15);
    EXPECT_NEAR(1.5 + std::sqrt(0.5), std::max(r.values[0], r.values[1]), 1e-15);
  }
}

// Q diag(lambda) Q^T, Q the reflection I - 2 u u^T / (u^T u): V^T V = I, the
// eigenvalues built in (equal ones included), and A v = lambda v within twice
// the tolerance: the QL step stops once an off-diagonal element is below it,
// and the two beside an eigenvalue perturb its residual by that much each.
TEST(Eigen, KnownEigenvalues) {
  std::vector<std::pair<std::vector<double>, Matrix>> cases;
  for (auto [lambda, u] : {std::pair<std::vector<double>, std::vector<double>>{{5, 3, 3, -1, 0.5}, {1, 2, -1, 0.5, 3}},
                           {{2, 2, 2, 2}, {1, -1, 2, 0.25}},
                           {{4, 4, -4, -4, 0, 0}, {0.3, 1, -2, 1, 0.7, -0.1}},
                           {{1e-3, 2e-3, 10, 10, 10}, {2, 1, 1, -1, 1}}}) {
    const int n = static_cast<int>(lambda.size());
    double uu = 0;
    for (double v : u) uu += v * v;
    auto q = [&](int i, int k) { return (i == k ? 1.0 : 0.0) - 2 * u[i] * u[k] / uu; };
    Matrix m(n);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j <= i; ++j) {
        double s = 0;
        for (int k = 0; k < n; ++k) s += q(i, k) * lambda[k] * q(j, k);
        m.sym(i + 1, j + 1, s);
      }
    }
    std::sort(lambda.begin(), lambda.end());
    cases.push_back({lambda, m});
  }
  for (const Kernel& k : kernels(false)) {
    for (const auto& [lambda, m] : cases) {
      SCOPED_TRACE(k.name + ", order " + std::to_string(m.n));
      Result r(k, m);
      ASSERT_TRUE(r.converged);
      for (int a = 1; a <= m.n; ++a) {
        for (int i = 1; i <= m.n; ++i) {
          double av = 0, dot = 0;
          for (int j = 1; j <= m.n; ++j) av += m(i, j) * r.vectors(j, a);
          for (int j = 1; j <= m.n; ++j) dot += r.vectors(j, i) * r.vectors(j, a);
          EXPECT_NEAR(r.values[a - 1] * r.vectors(i, a), av, 2 * kTol + 1e-12) << "pair " << a << ", row " << i;
          EXPECT_NEAR(i == a ? 1.0 : 0.0, dot, 1e-12) << a << "," << i;
        }
      }
      std::sort(r.values.begin(), r.values.end());
      expect_near(lambda, r.values, 1e-13);
    }
  }
}

// Every kernel gives the bits of the literal ones: matrix, diagonal and
// off-diagonal after tred2, outcome, eigenvalues and eigenvectors after tqli.
void expect_identical(const std::string& name, const Matrix& m, bool two_threads = true) {
  auto bits = [&](const Kernel& k) {
    Result r(k, m);
    for (const auto* v : {&r.diag, &r.offdiag, &r.values, &r.vectors.a}) {
      r.q.a.insert(r.q.a.end(), v->begin(), v->end());
    }
    r.q.a.push_back(r.converged);
    return r.q.a;
  };
  const std::vector<Kernel> all = kernels(two_threads);
  const std::vector<double> want = bits(all[0]);
  for (std::size_t k = 1; k < all.size(); ++k) EXPECT_TRUE(same_bits(want, bits(all[k]), name + ", " + all[k].name));
}

TEST(EigenBitIdentity, SmallMatricesOfEveryShape) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int n = 1; n <= 64; ++n) {
    const bool two = n <= 9 || n % 6 == 1 || n == 64;  // every hand-over costs a wake-up
    Matrix dense(n, 5), diagonal(n, 5), repeated(n, 5);
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= i; ++j) dense.sym(i, j, unit(rng));
      diagonal(i, i) = unit(rng);
    }
    // Rows far below the tolerance or zero are left as they are, the
    // tridiagonal splits there, and the accumulation skips their steps.
    Matrix split = dense;
    for (int i = 3; i <= n; i += 3) {
      for (int j = 1; j < i; ++j) split.sym(i, j, i % 2 ? unit(rng) * 1e-12 : 0.0);
    }
    for (int i = 1; i + 1 <= n; i += 2) {  // copies of one 2 x 2 block
      repeated(i, i) = repeated(i + 1, i + 1) = 2.0;
      repeated.sym(i + 1, i, 1.0);
    }
    if (n % 2 == 1) repeated(n, n) = 3.0;
    for (const auto& [name, m] : {std::pair{"dense", &dense}, {"diagonal", &diagonal}, {"split", &split},
                                  {"repeated eigenvalues", &repeated}}) {
      expect_identical(name + (" n=" + std::to_string(n)), *m, two);
    }
  }
  // NaN never compares below the tolerance, so the first eigenvalue never
  // settles and the iteration limit ends the QL step, for every kernel.
  Matrix nan(40, 5);
  for (int i = 1; i <= 40; ++i) {
    for (int j = 1; j <= i; ++j) nan.sym(i, j, unit(rng));
  }
  nan.sym(18, 4, kNaN);
  EXPECT_FALSE(Result(kernels()[0], nan).converged);
  expect_identical("NaN", nan);
}

// The principal-coordinate matrix of sites (xy[k] holds coordinate k + 1)
// truncated at `limit`, as the PCNM stage builds it.
Matrix pcnm_matrix(const Rows& xy, double limit) {
  const int n = static_cast<int>(xy[0].size());
  Matrix a(n);
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      double s = 0;
      for (const auto& column : xy) s = s + (column[i - 1] - column[j - 1]) * (column[i - 1] - column[j - 1]);
      const double d = std::sqrt(s) > limit ? limit * 4 : std::sqrt(s);
      a.sym(i, j, -((d * d) * 0.5));
    }
  }
  std::vector<double> colmean(n);
  gower(a.a.data(), colmean.data(), n, a.ld);
  return a;
}

TEST(EigenBitIdentity, PrincipalCoordinateMatricesOfTransectsGridsAndRandomSites) {
  for (int n : {2, 3, 97, 310}) {  // truncated at the spacing
    Rows xy(1);
    for (int i = 0; i < n; ++i) xy[0].push_back(i * (10.0 / n));
    expect_identical("transect n=" + std::to_string(n), pcnm_matrix(xy, 10.0 / n + 1e-10));
  }
  for (auto [rows, cols] : {std::pair{7, 9}, std::pair{20, 25}}) {  // truncated at a cell's diagonal
    Rows xy(2);
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        xy[0].push_back(c * 0.4);
        xy[1].push_back(r * 0.4);
      }
    }
    expect_identical("grid " + std::to_string(rows) + "x" + std::to_string(cols),
                     pcnm_matrix(xy, 0.4 * std::sqrt(2.0)));
  }
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> pos(0.0, 10.0);
  for (int n : {150, 600}) {
    Rows xy(2);
    for (int i = 0; i < 2 * n; ++i) xy[i % 2].push_back(pos(rng));
    expect_identical("random n=" + std::to_string(n), pcnm_matrix(xy, 2.5));
  }
}

}  // namespace
}  // namespace ortelix::pcnm
