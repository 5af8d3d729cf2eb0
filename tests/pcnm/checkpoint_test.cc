// Checkpoints of the long kernels: a check installed on the calling thread
// stops each kernel between two steps, with both threads; without one, or
// with one that lets them go on, the kernels give the same bits.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pcnm/checkpoint.h"
#include "pcnm/correl.h"
#include "pcnm/fast_eigen.h"
#include "pcnm/matrix.h"

namespace ortelix::pcnm {
namespace {

struct Stop {};

Matrix random_symmetric(int n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  Matrix m(n);
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j; ++i) m.sym(i, j, u(rng));
  }
  return m;
}

// Checks counted, and a stop at the `stop_at`-th (0: never).
struct Counter {
  int calls = 0, stop_at = 0;
  std::function<void()> check() {
    return [this] {
      if (++calls == stop_at) throw Stop{};
    };
  }
};

TEST(Checkpoint, EachKernelStopsAtTheCheckOfItsThread) {
  const int n = 150;
  for (int threads : {1, 2}) {
    const FastOptions o{threads, Isa::kAuto};
    Matrix a = random_symmetric(n, 5);
    std::vector<double> d(n), e(n);
    Counter reduce{0, 40};
    {
      const CheckpointScope scope(reduce.check());
      EXPECT_THROW(householder_reduce_fast(a.a.data(), n, a.ld, d.data(), e.data(), o), Stop);
    }
    EXPECT_EQ(40, reduce.calls);

    // Whole runs, counting the checks; then a stop among them.
    Counter whole;
    a = random_symmetric(n, 5);
    {
      const CheckpointScope scope(whole.check());
      tred2_fast(a.a.data(), n, a.ld, d.data(), e.data(), o);
    }
    const int in_tred2 = whole.calls;
    EXPECT_GE(in_tred2, n - 1);  // a row of the reduction at a time, at least
    Counter ql{0, 30};
    {
      const CheckpointScope scope(ql.check());
      EXPECT_THROW(tqli_fast(d.data(), e.data(), n, a.ld, a.a.data(), o), Stop);
    }
    EXPECT_EQ(30, ql.calls);
  }
}

TEST(Checkpoint, TheCorrelationCheckStops) {
  const int n = 300, nvar = 200;
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  // Every matrix with the leading dimension n, as the run lays them out.
  std::vector<double> x(std::size_t(n) * nvar), vsum(nvar), vsumsq(nvar), vmean(nvar), vsd(nvar),
      corlin(std::size_t(n) * n), xprime(std::size_t(n) * n);
  for (double& v : x) v = u(rng);
  Counter stop{0, 2};
  const CheckpointScope scope(stop.check());
  EXPECT_THROW(correl(n, nvar, x.data(), n, vsum.data(), vsumsq.data(), vmean.data(), vsd.data(), corlin.data(),
                      xprime.data()),
               Stop);
}

TEST(Checkpoint, AnInstalledCheckChangesNoBitAndScopesNest) {
  const int n = 97;
  Matrix plain = random_symmetric(n, 9), checked = plain;
  std::vector<double> d1(n), e1(n), d2(n), e2(n);
  tred2_fast(plain.a.data(), n, plain.ld, d1.data(), e1.data());
  ASSERT_TRUE(tqli_fast(d1.data(), e1.data(), n, plain.ld, plain.a.data()));
  Counter outer, inner;
  {
    const CheckpointScope a(outer.check());
    {
      const CheckpointScope b(inner.check());
      tred2_fast(checked.a.data(), n, checked.ld, d2.data(), e2.data());
    }
    ASSERT_TRUE(tqli_fast(d2.data(), e2.data(), n, checked.ld, checked.a.data()));
  }
  EXPECT_TRUE(same_bits(plain.a, checked.a, "vectors"));
  EXPECT_TRUE(same_bits(d1, d2, "values"));
  EXPECT_GT(inner.calls, 0);  // the reduction's, in the inner scope
  EXPECT_EQ(n, outer.calls);  // the QL iteration's, one per eigenvalue, back in the outer
  const int before = outer.calls;
  checkpoint();  // no scope any more
  EXPECT_EQ(before, outer.calls);
}

}  // namespace
}  // namespace ortelix::pcnm
