// The fast Householder and QL kernels against the literal ones, bit for bit:
// the reduced matrix, diagonal and off-diagonal after tred2, then the
// eigenvalues and eigenvectors after tqli, for every instruction set this
// processor runs and for one and two threads (two threads forced even on
// tiny matrices, so that the split itself is exercised). A fast kernel that
// reorders one sum, fuses a multiply-add, mixes up the two triangles,
// replays a rotation out of order or lets the second thread miss a row
// differs from the reference in some last bit of these matrices.
//
// Matrices: random symmetric ones of every order 1..64 in several shapes
// (dense, diagonal, rows and off-diagonals below the tolerance, repeated
// eigenvalues, exact zeros), and principal-coordinate matrices (truncated
// distances, halved squares, Gower centring) of transects, grids and random
// sites up to 600 objects. Every matrix is stored with a leading dimension
// larger than its order and NaN beyond it, which must stay untouched.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "pcnm/constants.h"
#include "pcnm/distances.h"
#include "pcnm/eigen.h"
#include "pcnm/fast_eigen.h"
#include "pcnm/pcoa.h"
#include "pcnm/reference_eigen.h"

namespace ortelix::pcnm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Problem {
  std::string name;
  int n = 0;
  int ld = 0;
  std::vector<double> a;  // column-major, ld x n, NaN outside the n x n block
};

struct Result {
  std::vector<double> a, diag, offdiag;  // after tred2
  std::vector<double> vectors, values;   // after tqli
  bool converged = false;
};

struct Variant {
  Isa isa;
  int threads;
  std::string name() const {
    const char* isa_name = isa == Isa::kGeneric ? "generic" : isa == Isa::kAvx2 ? "avx2" : "avx512";
    return std::string(isa_name) + "/" + std::to_string(threads) + " thread" + (threads > 1 ? "s" : "");
  }
};

std::vector<Variant> variants(bool two_threads = true) {
  std::vector<Variant> v;
  for (Isa isa : {Isa::kGeneric, Isa::kAvx2, Isa::kAvx512}) {
    if (!isa_supported(isa)) continue;
    v.push_back({isa, 1});
    if (two_threads) v.push_back({isa, 2});
  }
  return v;
}

// NaN diag/offdiag on entry: neither routine may rely on what is there.
Result solve(const Problem& p, const Variant* fast) {
  Result r;
  r.a = p.a;
  r.diag.assign(p.n, kNaN);
  r.offdiag.assign(p.n, kNaN);
  if (fast) {
    tred2_fast(r.a.data(), p.n, p.ld, r.diag.data(), r.offdiag.data(), {fast->threads, fast->isa});
  } else {
    tred2_reference(r.a.data(), p.n, p.ld, r.diag.data(), r.offdiag.data());
  }
  r.vectors = r.a;
  r.values = r.diag;
  std::vector<double> e = r.offdiag;
  r.converged = fast ? tqli_fast(r.values.data(), e.data(), p.n, p.ld, r.vectors.data(), {fast->threads, fast->isa})
                     : tqli_reference(r.values.data(), e.data(), p.n, p.ld, r.vectors.data());
  return r;
}

// Bitwise, except that any NaN equals any NaN (payloads may differ with the
// order of the operands of a commutative operation).
::testing::AssertionResult same_bits(const std::vector<double>& want, const std::vector<double>& got,
                                     const std::string& what, int ld) {
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (std::isnan(want[i]) && std::isnan(got[i])) continue;
    if (std::bit_cast<std::uint64_t>(want[i]) != std::bit_cast<std::uint64_t>(got[i])) {
      return ::testing::AssertionFailure() << what << " differs at (" << i % ld << ", " << i / ld << "): reference "
                                           << want[i] << ", fast " << got[i];
    }
  }
  return ::testing::AssertionSuccess();
}

void expect_identical(const Problem& p, bool two_threads = true) {
  const Result want = solve(p, nullptr);
  for (const Variant& v : variants(two_threads)) {
    SCOPED_TRACE(p.name + ", " + v.name());
    const Result got = solve(p, &v);
    EXPECT_TRUE(same_bits(want.a, got.a, "tred2 matrix", p.ld));
    EXPECT_TRUE(same_bits(want.diag, got.diag, "tred2 diagonal", p.n));
    EXPECT_TRUE(same_bits(want.offdiag, got.offdiag, "tred2 off-diagonal", p.n));
    EXPECT_EQ(want.converged, got.converged);
    EXPECT_TRUE(same_bits(want.values, got.values, "eigenvalues", p.n));
    EXPECT_TRUE(same_bits(want.vectors, got.vectors, "eigenvectors", p.ld));
  }
}

Problem blank(std::string name, int n) {
  Problem p;
  p.name = std::move(name);
  p.n = n;
  p.ld = n + 5;
  p.a.assign(static_cast<std::size_t>(p.ld) * n, kNaN);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) p.a[static_cast<std::size_t>(j) * p.ld + i] = 0.0;
  }
  return p;
}

void set(Problem& p, int i, int j, double v) {
  p.a[static_cast<std::size_t>(j) * p.ld + i] = v;
  p.a[static_cast<std::size_t>(i) * p.ld + j] = v;
}

TEST(EigenBitIdentity, SmallMatricesOfEveryShape) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int n = 1; n <= 64; ++n) {
    // The split between two threads on a spread of orders (every hand-over
    // costs a wake-up, and a tiny matrix is nothing but hand-overs).
    const bool two = n <= 9 || n % 6 == 1 || n == 64;
    Problem dense = blank("dense n=" + std::to_string(n), n);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j <= i; ++j) set(dense, i, j, unit(rng));
    }
    expect_identical(dense, two);

    // Diagonal: every scale below the tolerance, nothing rotates.
    Problem diagonal = blank("diagonal n=" + std::to_string(n), n);
    for (int i = 0; i < n; ++i) set(diagonal, i, i, unit(rng));
    expect_identical(diagonal, two);

    // Off-diagonal elements of a few rows far below the tolerance: those
    // rows are left as they are, the tridiagonal splits there, and the
    // accumulation skips their steps.
    Problem split = dense;
    split.name = "split n=" + std::to_string(n);
    for (int i = 2; i < n; i += 3) {
      for (int j = 0; j < i; ++j) set(split, i, j, unit(rng) * 1e-12);
    }
    expect_identical(split, two);

    // Repeated eigenvalues: a block-diagonal matrix of copies of one 2 x 2
    // block, and exact zeros in every other row.
    Problem repeated = blank("repeated n=" + std::to_string(n), n);
    for (int i = 0; i + 1 < n; i += 2) {
      set(repeated, i, i, 2.0);
      set(repeated, i + 1, i + 1, 2.0);
      set(repeated, i + 1, i, 1.0);
    }
    if (n % 2 == 1) set(repeated, n - 1, n - 1, 3.0);
    expect_identical(repeated, two);

    Problem sparse = dense;
    sparse.name = "zero rows n=" + std::to_string(n);
    for (int i = 1; i < n; i += 2) {
      for (int j = 0; j < n; ++j) set(sparse, i, j, 0.0);
    }
    expect_identical(sparse, two);
  }
}

TEST(EigenBitIdentity, NaNStopsTheSameWay) {
  Problem p = blank("nan", 40);
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 40; ++i) {
    for (int j = 0; j <= i; ++j) set(p, i, j, unit(rng));
  }
  set(p, 17, 3, kNaN);
  const Result want = solve(p, nullptr);
  ASSERT_FALSE(want.converged);
  for (const Variant& v : variants()) {
    SCOPED_TRACE(v.name());
    const Result got = solve(p, &v);
    EXPECT_FALSE(got.converged);
    EXPECT_TRUE(same_bits(want.values, got.values, "eigenvalues", p.n));
    EXPECT_TRUE(same_bits(want.vectors, got.vectors, "eigenvectors", p.ld));
  }
}

// The accumulation on its own, against its steps transcribed here, from an
// arbitrary state of the reduction: some steps skipped (|h| at most the
// tolerance), and one step whose vectors hold an infinity. That step makes
// NaN of the columns already born and must leave alone those born after it.
void literal_accumulation(std::vector<double>& a, int n, int ld, std::vector<double>& d, std::vector<double>& e) {
  auto at = [&](int i, int j) -> double& { return a[static_cast<std::size_t>(j) * ld + i]; };
  d[0] = 0.0;
  e[0] = 0.0;
  for (int i = 0; i < n; ++i) {
    if (std::fabs(d[i]) > kTol) {
      for (int j = 0; j < i; ++j) {
        double g = 0.0;
        for (int k = 0; k < i; ++k) g = g + at(i, k) * at(k, j);
        for (int k = 0; k < i; ++k) at(k, j) = at(k, j) - g * at(k, i);
      }
    }
    d[i] = at(i, i);
    at(i, i) = 1.0;
    for (int j = 0; j < i; ++j) at(i, j) = at(j, i) = 0.0;
  }
}

TEST(EigenBitIdentity, AccumulationFromAnyReducedState) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int n : {1, 6, 45, 97}) {
    Problem p = blank("accumulation n=" + std::to_string(n), n);
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) p.a[static_cast<std::size_t>(j) * p.ld + i] = unit(rng);
    }
    std::vector<double> d(n), e(n, 0.5);
    for (int i = 0; i < n; ++i) d[i] = i % 7 == 3 ? 1e-9 : unit(rng);
    if (n > 20) p.a[static_cast<std::size_t>(2) * p.ld + n / 2] = std::numeric_limits<double>::infinity();
    std::vector<double> want = p.a, want_d = d, want_e = e;
    literal_accumulation(want, n, p.ld, want_d, want_e);
    for (const Variant& v : variants()) {
      SCOPED_TRACE(p.name + ", " + v.name());
      std::vector<double> got = p.a, got_d = d, got_e = e;
      householder_accumulate_fast(got.data(), n, p.ld, got_d.data(), got_e.data(), {v.threads, v.isa});
      EXPECT_TRUE(same_bits(want, got, "Q", p.ld));
      EXPECT_TRUE(same_bits(want_d, got_d, "diagonal", n));
      EXPECT_TRUE(same_bits(want_e, got_e, "off-diagonal", n));
    }
  }
}

// The principal-coordinate matrix of sites (p coordinates each, column-major
// in xy with leading dimension n) truncated at `limit`, as the PCNM stage
// builds it.
Problem pcnm_matrix(std::string name, const std::vector<double>& xy, int n, int p, double limit) {
  const int ld = n + 3;
  std::vector<double> x(static_cast<std::size_t>(ld) * p, 0.0);
  for (int k = 0; k < p; ++k) {
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(k) * ld + i] = xy[static_cast<std::size_t>(k) * n + i];
  }
  std::vector<double> d(static_cast<std::size_t>(ld) * ld, 0.0);
  compute_distances(x.data(), n, p, ld, d.data());
  truncate_distances(d.data(), n, ld, limit);
  Problem prob = blank(std::move(name), n);
  prob.ld = ld;
  prob.a.assign(static_cast<std::size_t>(ld) * n, kNaN);
  auto at = [&](int i, int j) -> double& { return prob.a[static_cast<std::size_t>(j) * ld + i]; };
  for (int i = 0; i < n; ++i) {
    at(i, i) = 0.0;
    for (int j = i + 1; j < n; ++j) {
      double dij = d[static_cast<std::size_t>(j) * ld + i];
      at(i, j) = -((dij * dij) * 0.5);
      at(j, i) = at(i, j);
    }
  }
  std::vector<double> colmean(n);
  gower(prob.a.data(), colmean.data(), n, ld);
  return prob;
}

TEST(EigenBitIdentity, PrincipalCoordinateMatricesOfTransectsGridsAndRandomSites) {
  // Transect: positions 0, s, 2s, ... truncated at the spacing.
  for (int n : {2, 3, 97, 310}) {
    std::vector<double> xy(n);
    const double s = 10.0 / n;
    for (int i = 0; i < n; ++i) xy[i] = i * s;
    expect_identical(pcnm_matrix("transect n=" + std::to_string(n), xy, n, 1, s + 1e-10));
  }
  // Grid: rows x cols points, truncated at the diagonal of one cell.
  for (auto [rows, cols] : {std::pair{7, 9}, std::pair{20, 25}}) {
    const int n = rows * cols;
    std::vector<double> xy(2 * n);
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        xy[r * cols + c] = c * 0.4;
        xy[n + r * cols + c] = r * 0.4;
      }
    }
    expect_identical(
        pcnm_matrix("grid " + std::to_string(rows) + "x" + std::to_string(cols), xy, n, 2, 0.4 * std::sqrt(2.0)));
  }
  // Random sites in the plane, truncated at a quarter of their extent.
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> pos(0.0, 10.0);
  for (int n : {150, 600}) {
    std::vector<double> xy(2 * n);
    for (double& v : xy) v = pos(rng);
    expect_identical(pcnm_matrix("random n=" + std::to_string(n), xy, n, 2, 2.5));
  }
}

TEST(EigenBitIdentity, ProductEntryPointsGiveTheReferenceBits) {
  // What pcoa calls must be the fast path with its own choice of threads
  // and vectors, and still give the reference's bits.
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> pos(0.0, 10.0);
  const int n = 300;
  std::vector<double> xy(2 * n);
  for (double& v : xy) v = pos(rng);
  Problem p = pcnm_matrix("random n=300", xy, n, 2, 2.0);
  const Result want = solve(p, nullptr);
  Result got;
  got.a = p.a;
  got.diag.assign(n, 0.0);
  got.offdiag.assign(n, 0.0);
  tred2(got.a.data(), n, p.ld, got.diag.data(), got.offdiag.data());
  EXPECT_TRUE(same_bits(want.a, got.a, "tred2 matrix", p.ld));
  ASSERT_TRUE(tqli(got.diag.data(), got.offdiag.data(), n, p.ld, got.a.data()));
  EXPECT_TRUE(same_bits(want.values, got.diag, "eigenvalues", n));
  EXPECT_TRUE(same_bits(want.vectors, got.a, "eigenvectors", p.ld));
}

}  // namespace
}  // namespace ortelix::pcnm
