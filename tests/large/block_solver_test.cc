// The block product against one column at a time, the coarser problem
// against P' G P formed whole, and the leading eigenpairs of the block
// solver and the shift-invert solver against the dense decomposition, a
// grid's spectrum worked out by hand and the Lanczos solver.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "large/block_dense.h"
#include "large/block_solver.h"
#include "large/gower_operator.h"
#include "large/lanczos.h"
#include "large/prepared.h"
#include "large/shift_invert.h"
#include "large/site_sets.h"
#include "large/tall.h"
#include "pcnm/team.h"

namespace ortelix::large {
namespace {

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

std::vector<double> drawn(std::size_t count, std::uint64_t seed) {
  Draw draw(seed);
  std::vector<double> v(count);
  for (double& x : v) x = draw.between(-1, 1);
  return v;
}

}  // namespace

namespace generic {
extern const DenseKernels kernels;
}
namespace avx2 {
extern const DenseKernels kernels;
}

namespace {

// The products with a 16-column block, in both builds of the kernels
// (the plain one runs only where the processor lacks AVX2), against the
// sums written out in the order they promise: over the rows in order for
// a cross product, over V's columns in order for a subtraction; equal to
// the last bit. Row counts around the pieces' edges, odd column counts.
TEST(TallProducts, NarrowProductsAreTheSumsInOrder) {
  const bool avx2 = __builtin_cpu_supports("avx2");
  for (const DenseKernels* kernels : {&generic::kernels, &avx2::kernels}) {
    if (kernels == &avx2::kernels && !avx2) continue;
    for (long rows : {1L, 127L, 128L, 129L, 300L}) {
      for (long l : {1L, 2L, 3L, 17L}) {
        SCOPED_TRACE(std::to_string(rows) + " rows, " + std::to_string(l) + " columns");
        const long ld = rows + 3, w = 16;
        const std::vector<double> v = drawn(static_cast<std::size_t>(ld * l), 21);
        const std::vector<double> x = drawn(static_cast<std::size_t>(ld * w), 22);
        const std::vector<double> c = drawn(static_cast<std::size_t>(l * w), 23);
        std::vector<double> got(static_cast<std::size_t>(l * w));
        kernels->cross(v.data(), x.data(), rows, ld, l, w, got.data());
        for (long j = 0; j < l; ++j) {
          for (long t = 0; t < w; ++t) {
            double sum = 0;
            for (long r = 0; r < rows; ++r) sum += v[j * ld + r] * x[t * ld + r];
            ASSERT_EQ(bits(sum), bits(got[t * l + j])) << "cross " << j << ", " << t;
          }
        }
        std::vector<double> y = x, want = x;
        kernels->subtract(y.data(), v.data(), rows, ld, w, l, c.data());
        for (long t = 0; t < w; ++t) {
          for (long r = 0; r < ld; ++r) {
            if (r < rows) {
              for (long j = 0; j < l; ++j) want[t * ld + r] -= v[j * ld + r] * c[t * l + j];
            }
            ASSERT_EQ(bits(want[t * ld + r]), bits(y[t * ld + r])) << "subtract " << r << ", " << t;
          }
        }
      }
    }
  }
}

// A block projected out of an orthonormal basis twice, in the three passes
// of the fused product, against the two projections written out, on blocks
// lying almost wholly along the basis (as a shift-invert solve's do): one
// pass would leave rounding of their size along it. Row counts on either
// side of the two threads' split, pieces of many rows and of few.
TEST(TallProducts, ProjectionTwiceLeavesNothingAlongTheBasis) {
  struct Case {
    long n, l, a;
  } cases[] = {{100, 7, 3}, {5000, 40, 16}, {9000, 300, 5}, {4100, 1, 2}};
  pcnm::Team team(2);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " x " + std::to_string(c.l) + ", " + std::to_string(c.a) + " columns");
    const long n = c.n;
    std::vector<double> v = drawn(static_cast<std::size_t>(n * c.l), 7);
    Tall tall(team, n, c.l + c.a);
    std::uint64_t seed = 1;
    orthonormalize(tall, v.data(), c.l, nullptr, 0, seed);
    // X = V R 1e6 + E, E of order one.
    const std::vector<double> r = drawn(static_cast<std::size_t>(c.l * c.a), 8);
    std::vector<double> x = drawn(static_cast<std::size_t>(n * c.a), 9);
    for (long j = 0; j < c.a; ++j) {
      for (long i = 0; i < c.l; ++i) {
        for (long row = 0; row < n; ++row) x[j * n + row] += 1e6 * r[j * c.l + i] * v[i * n + row];
      }
    }
    std::vector<double> want = x;
    std::vector<double> coefficients(static_cast<std::size_t>(c.l * c.a), 0.0);
    for (int pass = 0; pass < 2; ++pass) {
      for (long j = 0; j < c.a; ++j) {
        std::vector<double> along(static_cast<std::size_t>(c.l), 0.0);
        for (long i = 0; i < c.l; ++i) {
          for (long row = 0; row < n; ++row) along[i] += v[i * n + row] * want[j * n + row];
        }
        for (long i = 0; i < c.l; ++i) {
          for (long row = 0; row < n; ++row) want[j * n + row] -= along[i] * v[i * n + row];
          coefficients[j * c.l + i] += along[i];
        }
      }
    }
    const Matrix got = tall.project_out_twice(x.data(), c.a, v.data(), c.l);
    for (long j = 0; j < c.a; ++j) {
      for (long i = 0; i < c.l; ++i) EXPECT_NEAR(got(i, j), coefficients[j * c.l + i], 1e-6);
      for (long row = 0; row < n; ++row) ASSERT_NEAR(x[j * n + row], want[j * n + row], 1e-8) << "row " << row;
    }
    const Matrix left = tall.cross(v.data(), c.l, x.data(), c.a);
    EXPECT_LT(left.cwiseAbs().maxCoeff(), 1e-13);
  }
}

// alpha G x + beta x + gamma y for each column, from apply, in the order
// the block product promises; equal to the last bit, whatever the number
// of columns (one alone without tiles, tiles of sixteen, a last one partly
// filled) and threads.
TEST(BlockProduct, IsTheColumnProductCombined) {
  const Prepared p = prepare(uniform_sites(6000, 300, 200, 61));
  const long n = p.n;
  const struct Case {
    long b;
    double alpha, beta, gamma;
    int threads;
  } cases[] = {
      {1, 1, 0, 0, 1},         {1, -1, 0.7, -0.2, 2},     {3, 1, 0, 0, 2},           {8, -0.75, 0, 0, 2},
      {13, 2.5, -0.3, 0, 1},   {13, 2.5, -0.3, 0, 2},     {17, 0.4, 1.25, -0.6, 2},
  };
  for (const Case& c : cases) {
    const TruncatedGower op(p.pairs, p.thresh, c.threads);
    const std::vector<double> x = drawn(static_cast<std::size_t>(n) * c.b, 7);
    const std::vector<double> y0 = drawn(static_cast<std::size_t>(n) * c.b, 8);
    std::vector<double> y = y0, z(n);
    op.apply_block(x.data(), y.data(), c.b, c.alpha, c.beta, c.gamma);
    for (long j = 0; j < c.b; ++j) {
      const double* xc = x.data() + j * n;
      op.apply(xc, z.data());
      for (long r = 0; r < n; ++r) {
        double want = c.alpha * z[r];
        if (c.beta != 0) want += c.beta * xc[r];
        if (c.gamma != 0) want += c.gamma * y0[j * n + r];
        ASSERT_EQ(bits(want), bits(y[j * n + r])) << "b " << c.b << " column " << j << " row " << r;
      }
    }
  }
}

// The operator's own Chebyshev filter, sixteen columns at a time kept in
// cache, against the generic one made of block products: the same numbers
// to the last bit, with degrees that differ from column to column (a
// column that stops early, the last tile partly filled), on one thread or
// two.
TEST(BlockProduct, FilterInCacheIsTheFilterOfBlockProducts) {
  const Prepared p = prepare(uniform_sites(5000, 300, 200, 64));
  const long n = p.n, b = 21;
  std::vector<int> degree(b);
  for (long j = 0; j < b; ++j) degree[j] = 1 + static_cast<int>((j * 7) % 12);
  for (int threads : {1, 2}) {
    const TruncatedGower op(p.pairs, p.thresh, threads);
    const std::vector<double> x0 = drawn(static_cast<std::size_t>(n) * b, 11);
    std::vector<double> x = x0, gx(x.size()), want = x0, gwant(x.size());
    op.apply_block(x.data(), gx.data(), b);
    gwant = gx;
    const double lower = op.lower_bound(), cut = 0.3 * op.upper_bound(), top = op.upper_bound();
    op.chebyshev_block(x.data(), gx.data(), b, degree.data(), lower, cut, top);
    op.SymmetricOperator::chebyshev_block(want.data(), gwant.data(), b, degree.data(), lower, cut, top);
    for (std::size_t i = 0; i < x.size(); ++i) {
      ASSERT_EQ(bits(want[i]), bits(x[i])) << threads << " threads, column " << i / n << " row " << i % n;
    }
  }
}

// P' G P with P the unit indicators of groups of consecutive rows, formed
// from the whole matrix, against the coarsened operator's products; twice
// coarsened against P2' P' G P P2.
TEST(BlockProduct, CoarsenedIsTheGroupedOperator) {
  const struct Case {
    const char* name;
    sites::Sites sites;
    double limit;
    long group;
  } cases[] = {
      {"uniform", uniform_sites(700, 100, 80, 62), 0, 16},
      {"clusters with twins", clustered_sites(6, 60, 30, 63), 0, 5},
      {"grid", sites::grid_sites(20, 17), 1, 16},
  };
  for (const Case& c : cases) {
    const Prepared p = prepare(c.sites, c.limit);
    const long n = p.n;
    const std::vector<double> site_g = dense_gower(p);
    // G in row order.
    std::vector<double> g(static_cast<std::size_t>(n) * n);
    for (long j = 0; j < n; ++j) {
      for (long i = 0; i < n; ++i) g[j * n + i] = site_g[p.pairs.order[j] * n + p.pairs.order[i]];
    }
    const TruncatedGower op(p.pairs, p.thresh, 1);
    std::vector<double> level = g;
    long size = n;
    std::unique_ptr<CentredSparse> coarse = op.coarsened(c.group);
    for (int depth = 0; depth < 2; ++depth) {
      // P' level P by hand.
      const long nc = (size + c.group - 1) / c.group;
      ASSERT_EQ(nc, coarse->size()) << c.name;
      const auto weight = [&](long r) {
        const long h = r / c.group;
        return 1 / std::sqrt(static_cast<double>(std::min(size, (h + 1) * c.group) - h * c.group));
      };
      std::vector<double> next(static_cast<std::size_t>(nc) * nc, 0.0);
      for (long j = 0; j < size; ++j) {
        for (long i = 0; i < size; ++i) next[(j / c.group) * nc + i / c.group] += weight(i) * level[j * size + i] * weight(j);
      }
      double norm = 0;
      for (double v : next) norm = std::max(norm, std::fabs(v));
      const std::vector<double> x = drawn(static_cast<std::size_t>(nc) * 3, 9);
      std::vector<double> y(x.size());
      coarse->apply_block(x.data(), y.data(), 3);
      for (long col = 0; col < 3; ++col) {
        for (long i = 0; i < nc; ++i) {
          double want = 0;
          for (long j = 0; j < nc; ++j) want += next[j * nc + i] * x[col * nc + j];
          EXPECT_NEAR(want, y[col * nc + i], 1e-12 * norm * nc) << c.name << " depth " << depth << " row " << i;
        }
      }
      level = std::move(next);
      size = nc;
      coarse = coarse->coarsened(c.group);
    }
  }
}

double largest_magnitude(const std::vector<double>& v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// The checks every solution must pass: unit, orthogonal vectors whose
// residuals, computed here, are within the tolerance.
void expect_eigenpairs(const SymmetricOperator& op, const LeadingPairs& got, int k, const std::string& name) {
  const long n = op.size();
  ASSERT_EQ(static_cast<std::size_t>(k), got.values.size()) << name;
  ASSERT_EQ(static_cast<std::size_t>(n) * k, got.vectors.size()) << name;
  const double scale = largest_magnitude(got.values);
  std::vector<double> w(n);
  for (int j = 0; j < k; ++j) {
    const double* v = got.vectors.data() + static_cast<std::size_t>(j) * n;
    if (j > 0) {
      EXPECT_GE(got.values[j - 1], got.values[j]) << name << " order at " << j + 1;
    }
    op.apply(v, w.data());
    double rr = 0;
    for (long r = 0; r < n; ++r) rr += (w[r] - got.values[j] * v[r]) * (w[r] - got.values[j] * v[r]);
    EXPECT_LE(std::sqrt(rr), 1e-9 * scale) << name << " residual " << j + 1;
    for (int i = std::max(0, j - 12); i <= j; ++i) {
      const double* u = got.vectors.data() + static_cast<std::size_t>(i) * n;
      double dot = 0;
      for (long r = 0; r < n; ++r) dot += u[r] * v[r];
      EXPECT_NEAR(i == j ? 1.0 : 0.0, dot, 1e-10) << name << " vectors " << i + 1 << ", " << j + 1;
    }
  }
}

struct Case {
  const char* name;
  sites::Sites sites;
  double limit;
  int k;
  const char* start = "random";  // the block solver's: random, coarse or krylov
};

const char* start_of(const LeadingPairs& got) {
  return got.levels > 0 ? "coarse" : got.krylov_columns > 0 ? "krylov" : "random";
}

// The two solvers for large operators, each named as it names its result.
struct Solver {
  const char* method;
  Status (*run)(const TruncatedGower& op, int k, LeadingPairs& out);
};
const Solver kSolvers[] = {
    {"block",
     [](const TruncatedGower& op, int k, LeadingPairs& out) {
       return block_leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), k, out);
     }},
    {"shift-invert",
     [](const TruncatedGower& op, int k, LeadingPairs& out) { return shift_invert_leading_eigenpairs(op, k, out); }},
};

// Against all the eigenvalues of the dense decomposition: the count of
// eigenvalues above the k-th found, minus a hair, is at least k, and the
// count above it plus the hair at most k - 1 (no eigenvalue missed, none
// found twice, whatever ties there are); each found one within 1e-9 of the
// largest of the dense one of its rank. `k` 0: the first k from 30 on whose
// eigenvalue the next one repeats (a tie across the border of the block).
void expect_dense_leading(const Case& c) {
  const Prepared p = prepare(c.sites, c.limit);
  const DenseEigen e = dense_eigen(p);
  const double norm = largest_magnitude(e.values);
  int k = c.k;
  if (k == 0) {
    k = 30;
    while (e.values[k - 1] - e.values[k] > 1e-12 * norm) ++k;
  }
  const TruncatedGower op(p.pairs, p.thresh, 2);
  const double hair = 1e-9 * norm;
  const auto above = [&](double v) {
    return std::count_if(e.values.begin(), e.values.end(), [&](double x) { return x > v; });
  };
  for (const Solver& solver : kSolvers) {
    const std::string name = std::string(c.name) + ", " + solver.method;
    LeadingPairs got;
    { const Status st = solver.run(op, k, got); ASSERT_TRUE(st.ok()) << name << ": " << st.error(); }
    EXPECT_EQ(solver.method, got.method) << name;
    if (got.method == "block") {
      EXPECT_STREQ(c.start, start_of(got)) << name;
    }
    expect_eigenpairs(op, got, k, name);
    EXPECT_GE(above(got.values[k - 1] - hair), k) << name;
    EXPECT_LE(above(got.values[k - 1] + hair), k - 1) << name;
    for (int j = 0; j < k; ++j) EXPECT_NEAR(e.values[j], got.values[j], hair) << name << " eigenvalue " << j + 1;
  }
}

TEST(BlockSolver, DenseLeadingOnesOfSpreadSites) {
  expect_dense_leading({"uniform", uniform_sites(2400, 1000, 700, 71), 0, 60, "krylov"});
  expect_dense_leading({"clusters with twins", clustered_sites(20, 110, 40, 72), 0, 50, "krylov"});
}

TEST(BlockSolver, DenseLeadingOnesOfGrids) {
  expect_dense_leading({"square grid, tie at the k-th", sites::grid_sites(46, 46), 1, 0, "coarse"});
  expect_dense_leading({"oblong grid", sites::grid_sites(60, 38), 1, 80, "krylov"});
}

// Beyond the dense decomposition: the same eigenvalues as the Lanczos
// solver, an independent method.
void expect_lanczos_leading(const Case& c) {
  const Prepared p = prepare(c.sites, c.limit);
  const TruncatedGower op(p.pairs, p.thresh, 2);
  LeadingPairs block, lanczos;
  ASSERT_TRUE(block_leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), c.k, block).ok()) << c.name;
  ASSERT_TRUE(lanczos_leading_eigenpairs(op, op.lower_bound(), op.upper_bound(), c.k, lanczos).ok())
      << c.name;
  expect_eigenpairs(op, block, c.k, c.name);
  for (int j = 0; j < c.k; ++j) {
    EXPECT_NEAR(lanczos.values[j], block.values[j], 1e-9 * lanczos.values[0]) << c.name << " eigenvalue " << j + 1;
  }
}

// The leading eigenvalues of a grid of rows x cols sites truncated at the
// spacing, worked out by hand. B = -f I + w A, A the adjacency of the grid
// (every near pair the same distance apart), has the eigenvectors u_i x u_j
// of the paths' adjacencies, u_i(k) = sin(pi i k / (N + 1)) (normalized),
// with the eigenvalues d = -f + w (2 cos(pi i / (rows + 1)) + 2 cos(pi j /
// (cols + 1))). Where i or j is even, u_i x u_j sums to 0: C leaves it,
// and d is an eigenvalue of G. The others, with c their unit vectors' sums
// over root n, give G = C B C the eigenvalue 0 (the constant vector) and
// the roots of sum c^2 / (d - lambda) = 0, one between each two distinct
// d (Golub's secular equation for a projection), besides each repeated d
// as many times less one as it repeats.
std::vector<double> grid_leading_eigenvalues(const Prepared& p, long rows, long cols, int count) {
  const double far = -((p.thresh * 4.0) * (p.thresh * 4.0) * 0.5);
  const double d1 = p.pairs.dist[0];
  const double w = -(d1 * d1 * 0.5) - far;
  const double pi = std::acos(-1.0);
  const auto path = [&](long i, long size) { return 2 * std::cos(pi * static_cast<double>(i) / (size + 1)); };
  // Sum of the unit path eigenvector i: 0 for i even.
  const auto path_sum = [&](long i, long size) {
    if (i % 2 == 0) return 0.0;
    return std::sqrt(2.0 / (size + 1)) / std::tan(pi * static_cast<double>(i) / (2 * (size + 1)));
  };
  std::vector<double> values;
  std::vector<std::pair<double, double>> odd;  // d, c^2
  for (long i = 1; i <= rows; ++i) {
    for (long j = 1; j <= cols; ++j) {
      const double d = -far + w * (path(i, rows) + path(j, cols));
      if (i % 2 == 0 || j % 2 == 0) {
        values.push_back(d);
      } else {
        const double c = path_sum(i, rows) * path_sum(j, cols) / std::sqrt(static_cast<double>(rows * cols));
        odd.emplace_back(d, c * c);
      }
    }
  }
  values.push_back(0.0);
  std::sort(odd.begin(), odd.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  // Groups of equal d (to rounding), their weights summed.
  std::vector<std::pair<double, double>> groups;
  for (const auto& [d, c2] : odd) {
    if (!groups.empty() && std::fabs(groups.back().first - d) <= 1e-13 * std::fabs(d)) {
      groups.back().second += c2;
      values.push_back(d);  // a repeated d stays an eigenvalue
    } else {
      groups.emplace_back(d, c2);
    }
  }
  const auto secular = [&](double lambda) {
    double f = 0;
    for (const auto& [d, c2] : groups) f += c2 / (d - lambda);
    return f;
  };
  for (std::size_t g = 0; g + 1 < groups.size() && static_cast<int>(g) < count + 8; ++g) {
    double lo = groups[g + 1].first, hi = groups[g].first;  // f rises from -inf to +inf
    for (int step = 0; step < 200 && hi - lo > 1e-17 * std::fabs(hi); ++step) {
      const double mid = lo + (hi - lo) / 2;
      (secular(mid) < 0 ? lo : hi) = mid;
    }
    values.push_back(lo + (hi - lo) / 2);
  }
  std::sort(values.begin(), values.end(), std::greater<double>());
  values.resize(static_cast<std::size_t>(count));
  return values;
}

// The worked-out spectrum against the dense decomposition, on a grid small
// enough for it.
TEST(BlockSolver, GridEigenvaluesByHandAreTheDenseOnes) {
  const long rows = 23, cols = 17;
  const Prepared p = prepare(sites::grid_sites(rows, cols), 1);
  const DenseEigen e = dense_eigen(p);
  const std::vector<double> hand = grid_leading_eigenvalues(p, rows, cols, 120);
  for (int j = 0; j < 120; ++j) EXPECT_NEAR(e.values[j], hand[j], 1e-12 * e.values[0]) << "eigenvalue " << j + 1;
}

// A 150 x 150 grid, whose 100th and 101st eigenvalues are equal: the same
// count test against the spectrum worked out by hand.
TEST(BlockSolver, LeadingOnesOfA150By150GridByHand) {
  const long side = 150;
  const int k = 100;
  const Prepared p = prepare(sites::grid_sites(side, side), 1);
  const std::vector<double> hand = grid_leading_eigenvalues(p, side, side, k + 20);
  const double hair = 1e-9 * hand[0];
  ASSERT_NEAR(hand[k - 1], hand[k], hair);  // the tie across the block's border
  const TruncatedGower op(p.pairs, p.thresh, 2);
  const auto above = [&](double v) { return std::count_if(hand.begin(), hand.end(), [&](double x) { return x > v; }); };
  for (const Solver& solver : kSolvers) {
    const std::string name = std::string("grid 150 x 150, ") + solver.method;
    LeadingPairs got;
    { const Status st = solver.run(op, k, got); ASSERT_TRUE(st.ok()) << name << ": " << st.error(); }
    expect_eigenpairs(op, got, k, name);
    EXPECT_GE(above(got.values[k - 1] - hair), k) << name;
    EXPECT_LE(above(got.values[k - 1] + hair), k - 1) << name;
    for (int j = 0; j < k; ++j) EXPECT_NEAR(hand[j], got.values[j], hair) << name << " eigenvalue " << j + 1;
  }
}

TEST(BlockSolver, LanczosLeadingOnesOfSpreadSites) {
  expect_lanczos_leading({"uniform", uniform_sites(12000, 1000, 1000, 81), 0, 40});
  expect_lanczos_leading({"clusters with twins", clustered_sites(100, 120, 40, 82), 0, 40});
}

// A diagonal operator: its eigenvectors the unit vectors.
class Diagonal : public SymmetricOperator {
 public:
  explicit Diagonal(std::vector<double> d) : d_(std::move(d)) {}
  Index size() const override { return static_cast<Index>(d_.size()); }
  void apply(const double* x, double* y) const override {
    for (std::size_t i = 0; i < d_.size(); ++i) y[i] = d_[i] * x[i];
  }

 private:
  std::vector<double> d_;
};

// The Krylov start's cut is an estimate from the spectral measure of one
// random vector (the solver's own, drawn again here): an operator whose
// leading eigenvectors are the unit vectors along that vector's largest
// entries makes the measure's top heavy, the estimate falls above the
// k-th eigenvalue, and a filter cut there damps it. Both kinds of spectrum
// (the k-1 leading ones apart from the rest, or crowded at its top) must
// still give the k leading eigenvalues, from a start whose cut lies below
// the k-th.
TEST(BlockSolver, AnEstimatedCutAboveTheKthIsNotKept) {
  const struct {
    const char* name;
    double step;  // between the leading k-1
  } cases[] = {{"apart", 0.03}, {"crowded", 1e-4}};
  const long n = 3000;
  const int k = 30;
  std::vector<double> q(static_cast<std::size_t>(n));
  fill_random(q.data(), q.size(), 77);
  std::vector<long> order(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](long a, long b) { return std::fabs(q[a]) > std::fabs(q[b]); });
  for (const auto& c : cases) {
    // Decreasing: the leading k-1 from 1.2 down, then the rest from 1 to -1.
    std::vector<double> values(static_cast<std::size_t>(n));
    for (int j = 0; j < k - 1; ++j) values[j] = 1.2 + (k - 2 - j) * c.step;
    for (long j = k - 1; j < n; ++j) values[j] = 1.0 - 2.0 * (j - (k - 1)) / (n - k);
    std::vector<double> d(static_cast<std::size_t>(n));
    for (long j = 0; j < n; ++j) d[order[j]] = values[j];
    const Diagonal op(d);
    LeadingPairs got;
    const Status st = block_leading_eigenpairs(op, -1.0, values[0], k, got);
    ASSERT_TRUE(st.ok()) << c.name << ": " << st.error();
    EXPECT_GT(got.krylov_columns, 0u) << c.name;
    EXPECT_GE(got.rejected_cuts, 1) << c.name << ": the estimate was not above the k-th";
    EXPECT_LT(got.cut, values[k - 1]) << c.name;
    for (int j = 0; j < k; ++j) EXPECT_NEAR(values[j], got.values[j], 1e-9 * values[0]) << c.name << " " << j + 1;
  }
}

// The run's result does not depend on the threads.
TEST(BlockSolver, SameOnOneOrTwoThreads) {
  const Prepared p = prepare(uniform_sites(12000, 500, 400, 91));
  const TruncatedGower one(p.pairs, p.thresh, 1), two(p.pairs, p.thresh, 2);
  LeadingPairs a, b;
  ASSERT_TRUE(block_leading_eigenpairs(one, one.lower_bound(), one.upper_bound(), 20, a).ok());
  ASSERT_TRUE(block_leading_eigenpairs(two, two.lower_bound(), two.upper_bound(), 20, b).ok());
  ASSERT_EQ(a.vectors.size(), b.vectors.size());
  for (std::size_t i = 0; i < a.values.size(); ++i) ASSERT_EQ(bits(a.values[i]), bits(b.values[i])) << i;
  for (std::size_t i = 0; i < a.vectors.size(); ++i) ASSERT_EQ(bits(a.vectors[i]), bits(b.vectors[i])) << i;
}

}  // namespace
}  // namespace ortelix::large
