// The correlation check and the matrix product against a transcription of
// their steps written here, one element at a time in the stated order, bit
// for bit: standardized variables, transpose, every element of the
// correlation matrix (lower triangle included), the sums and the largest
// absolute correlation. Sizes straddle the vector and block widths of the
// fast loops, so their remainders are exercised too.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "pcnm/constants.h"
#include "pcnm/correl.h"

namespace ortelix::pcnm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void literal_produit(const double* a, const double* b, double* c, int m, int k, int q, long ld) {
  for (long r = 0; r < m; ++r) {
    for (long s = 0; s < q; ++s) {
      double sum = 0.0;
      for (long t = 0; t < k; ++t) sum = sum + a[t * ld + r] * b[s * ld + t];
      c[s * ld + r] = sum;
    }
  }
}

struct State {
  int ld;
  std::vector<double> x, corlin, xprime, vsum, vsumsq, vmean, vsd;
  CorrelResult result;
};

State fresh(const std::vector<double>& x, int ld) {
  // NaN where nothing may be read before it is written.
  return State{ld, x, std::vector<double>(x.size(), kNaN), std::vector<double>(x.size(), kNaN),
               std::vector<double>(ld, kNaN), std::vector<double>(ld, kNaN), std::vector<double>(ld, kNaN),
               std::vector<double>(ld, kNaN), {}};
}

void literal_correl(int n, int nvar, State& st) {
  const long l = st.ld;
  const double dn = n;
  double* x = st.x.data();
  for (long j = 0; j < nvar; ++j) st.vsum[j] = st.vsumsq[j] = 0.0;
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) {
      st.vsum[j] = st.vsum[j] + x[j * l + i];
      st.vsumsq[j] = st.vsumsq[j] + x[j * l + i] * x[j * l + i];
    }
  }
  for (long j = 0; j < nvar; ++j) {
    st.vmean[j] = st.vsum[j] / dn;
    double variance = (st.vsumsq[j] - st.vsum[j] * st.vsum[j] / dn) / (dn - 1.0);
    st.vsd[j] = variance >= 0.0 ? std::sqrt(variance) : 0.0;
  }
  for (long j = 0; j < nvar; ++j) {
    if (st.vsd[j] < kTol) {
      st.result.zero_variance = static_cast<int>(j + 1);
      return;
    }
  }
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) x[j * l + i] = (x[j * l + i] - st.vmean[j]) / st.vsd[j];
  }
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) st.xprime[i * l + j] = x[j * l + i];
  }
  literal_produit(st.xprime.data(), x, st.corlin.data(), nvar, n, nvar, l);
  for (long a = 0; a < nvar; ++a) {
    for (long b = 0; b < nvar; ++b) st.corlin[b * l + a] = st.corlin[b * l + a] / (dn - 1.0);
  }
  double largest = 0.0;
  for (long a = 0; a < nvar - 1; ++a) {
    for (long b = a + 1; b < nvar; ++b) {
      if (std::fabs(st.corlin[b * l + a]) >= largest) largest = std::fabs(st.corlin[b * l + a]);
    }
  }
  st.result.largest = largest;
}

::testing::AssertionResult same_bits(const std::vector<double>& want, const std::vector<double>& got,
                                     const std::string& what) {
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (std::isnan(want[i]) && std::isnan(got[i])) continue;
    if (std::bit_cast<std::uint64_t>(want[i]) != std::bit_cast<std::uint64_t>(got[i])) {
      return ::testing::AssertionFailure() << what << " differs at element " << i << ": " << want[i] << " against "
                                           << got[i];
    }
  }
  return ::testing::AssertionSuccess();
}

void expect_identical(int n, int nvar, const std::vector<double>& x, int ld) {
  SCOPED_TRACE("n=" + std::to_string(n) + " nvar=" + std::to_string(nvar));
  State want = fresh(x, ld);
  literal_correl(n, nvar, want);
  State got = fresh(x, ld);
  got.result = correl(n, nvar, got.x.data(), ld, got.vsum.data(), got.vsumsq.data(), got.vmean.data(),
                      got.vsd.data(), got.corlin.data(), got.xprime.data());
  EXPECT_EQ(want.result.zero_variance, got.result.zero_variance);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(want.result.largest), std::bit_cast<std::uint64_t>(got.result.largest));
  EXPECT_TRUE(same_bits(want.x, got.x, "x"));
  EXPECT_TRUE(same_bits(want.vsum, got.vsum, "vsum"));
  EXPECT_TRUE(same_bits(want.vsumsq, got.vsumsq, "vsumsq"));
  EXPECT_TRUE(same_bits(want.vmean, got.vmean, "vmean"));
  EXPECT_TRUE(same_bits(want.vsd, got.vsd, "vsd"));
  EXPECT_TRUE(same_bits(want.xprime, got.xprime, "xprime"));
  EXPECT_TRUE(same_bits(want.corlin, got.corlin, "corlin"));
}

std::vector<double> random_columns(int rows, int cols, int ld, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> x(static_cast<std::size_t>(ld) * ld, kNaN);
  for (int j = 0; j < cols; ++j) {
    for (int i = 0; i < rows; ++i) x[static_cast<std::size_t>(j) * ld + i] = u(rng) * (1 + j % 5) + 0.3 * j;
  }
  return x;
}

TEST(CorrelBitIdentity, RandomVariablesAcrossBlockSizes) {
  const int ld = 160;
  std::uint64_t seed = 1;
  for (int n : {2, 3, 9, 40, 150}) {
    for (int nvar : {1, 2, 7, 8, 31, 32, 33, 65, 140}) {
      expect_identical(n, nvar, random_columns(n, nvar, ld, seed++), ld);
    }
  }
}

TEST(CorrelBitIdentity, ZeroVarianceStopsAtTheSameVariable) {
  const int ld = 50;
  std::vector<double> x = random_columns(20, 40, ld, 99);
  for (int i = 0; i < 20; ++i) x[static_cast<std::size_t>(23) * ld + i] = 0.25;  // constant
  x[static_cast<std::size_t>(30) * ld + 4] = kNaN;                               // NaN variance
  expect_identical(20, 40, x, ld);
  for (int i = 0; i < 20; ++i) x[static_cast<std::size_t>(23) * ld + i] = 0.25 + i;
  expect_identical(20, 40, x, ld);
}

TEST(CorrelBitIdentity, ProductOfGeneralShapesLeavesTheRestAlone) {
  const int ld = 90;
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  for (auto [m, k, q] : {std::tuple{1, 1, 1}, std::tuple{5, 3, 70}, std::tuple{33, 80, 9}, std::tuple{64, 17, 65},
                         std::tuple{85, 90, 85}, std::tuple{4, 0, 6}}) {
    SCOPED_TRACE(std::to_string(m) + "x" + std::to_string(k) + " times " + std::to_string(k) + "x" +
                 std::to_string(q));
    std::vector<double> a(static_cast<std::size_t>(ld) * ld), b(a.size());
    for (double& v : a) v = u(rng);
    for (double& v : b) v = u(rng);
    std::vector<double> want(a.size(), -7.0), got(a.size(), -7.0);
    literal_produit(a.data(), b.data(), want.data(), m, k, q, ld);
    produit(a.data(), b.data(), got.data(), m, k, q, ld);
    EXPECT_TRUE(same_bits(want, got, "c"));
  }
}

}  // namespace
}  // namespace ortelix::pcnm
