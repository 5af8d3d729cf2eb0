#include "large/gower_operator.h"

#include <algorithm>
#include <cmath>

#include "large/progress.h"
#include "pcnm/rules.h"
#include "pcnm/team.h"

namespace ortelix::large {

using pcnm::transformed;

namespace {

// Columns a block product takes at a time, interleaved row by row so that
// one pair's weight serves them all from one cache line, and each lane of
// a vector register keeps a column of its own: no sum is split, and the
// products are those of one column at a time.
constexpr long kTile = 16;
// Rows taken a column at a time when a tile is laid out or its products
// spread back, so that the tile's part stays in the first-level cache.
constexpr long kRun = 128;
// Pairs ahead whose tile rows the kernels ask the cache for.
constexpr std::uint64_t kAhead = 12;

// Rows [r0, r1) of B z for the tile, from out[0] on: the truncated
// operator's weights, computed from the distances as apply computes them.
__attribute__((target_clones("avx512f", "avx2", "default"))) void truncated_rows(
    long r0, long r1, const std::uint64_t* start, const std::uint32_t* column, const double* dist, double diag,
    double far, const double* tile, double* out) {
  const std::uint64_t end = start[r1];
  for (long r = r0; r < r1; ++r) {
    double acc[kTile];
    for (long t = 0; t < kTile; ++t) acc[t] = diag * tile[r * kTile + t];
    for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) {
      // The tile rows of pairs a little ahead, which may lie anywhere.
      if (k + kAhead < end) {
        const double* ahead = tile + static_cast<std::size_t>(column[k + kAhead]) * kTile;
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + 8);
      }
      const double w = transformed(dist[k]) - far;
      const double* z = tile + static_cast<std::size_t>(column[k]) * kTile;
      for (long t = 0; t < kTile; ++t) acc[t] += w * z[t];
    }
    for (long t = 0; t < kTile; ++t) out[(r - r0) * kTile + t] = acc[t];
  }
}

// The same with stored weights (the diagonal among them).
__attribute__((target_clones("avx512f", "avx2", "default"))) void sparse_rows(
    long r0, long r1, const std::uint64_t* start, const std::uint32_t* column, const double* value,
    const double* tile, double* out) {
  for (long r = r0; r < r1; ++r) {
    double acc[kTile] = {};
    for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) {
      const double w = value[k];
      const double* z = tile + static_cast<std::size_t>(column[k]) * kTile;
      for (long t = 0; t < kTile; ++t) acc[t] += w * z[t];
    }
    for (long t = 0; t < kTile; ++t) out[r * kTile + t] = acc[t];
  }
}

// Rows [r0, r1) of a step of the recurrence on a tile: y0 becomes
// a (G y1) + bb y1 + g y0, G y1 = (z - mean B 1) - mean_y with z = B y1
// from run[0] on; s and w gather the sums of the new rows, plain and
// weighted by the row sums of B. Each lane is a column of its own.
__attribute__((target_clones("avx512f", "avx2", "default"))) void recurrence_rows(
    long r0, long r1, const double* __restrict run, const double* __restrict row_sum, const double* __restrict y1s,
    double* __restrict y0s, const double* a, const double* bb, const double* g, const double* mean,
    const double* mean_y, double* s, double* w) {
  double ca[kTile], cb[kTile], cg[kTile], cm[kTile], cy[kTile], ls[kTile], lw[kTile];
  for (long t = 0; t < kTile; ++t) {
    ca[t] = a[t];
    cb[t] = bb[t];
    cg[t] = g[t];
    cm[t] = mean[t];
    cy[t] = mean_y[t];
    ls[t] = s[t];
    lw[t] = w[t];
  }
  for (long r = r0; r < r1; ++r) {
    const double* z = run + (r - r0) * kTile;
    const double* y1 = y1s + r * kTile;
    double* y0 = y0s + r * kTile;
    const double rs = row_sum[r];
    for (long t = 0; t < kTile; ++t) {
      const double v = (ca[t] * ((z[t] - cm[t] * rs) - cy[t]) + cb[t] * y1[t]) + cg[t] * y0[t];
      y0[t] = v;
      ls[t] += v;
      lw[t] += rs * v;
    }
  }
  for (long t = 0; t < kTile; ++t) {
    s[t] = ls[t];
    w[t] = lw[t];
  }
}

// Which of the two parts a row belongs to when rows are split at `split`.
struct Half {
  long r0, r1;
};
inline Half half(int part, long split, long n) { return part == 0 ? Half{0, split} : Half{split, n}; }

// y = alpha (z - shift) + beta x + gamma y for rows [r0, r1) of one
// column, z from its row r0 on.
inline void combine(long r0, long r1, const double* z, long zstride, double shift, const double* x, double* y,
                    double alpha, double beta, double gamma) {
  for (long r = r0; r < r1; ++r) {
    double v = alpha * (z[(r - r0) * zstride] - shift);
    if (beta != 0) v += beta * x[r];
    if (gamma != 0) v += gamma * y[r];
    y[r] = v;
  }
}

// The group of consecutive rows and its unit indicator's weight.
struct Groups {
  long group, n, count;
  long first(long g) const { return g * group; }
  long last(long g) const { return std::min(n, (g + 1) * group); }
  double root(long g) const { return std::sqrt(static_cast<double>(last(g) - first(g))); }
};

// P' B P over the groups, B's row r given by `row(r, visit)` calling
// visit(column, value) for each stored entry, the diagonal among them.
template <typename Row>
void coarsen_rows(const Groups& gr, const Row& row, CentredSparse& c) {
  c.n = gr.count;
  c.start.assign(1, 0);
  std::vector<double> acc(static_cast<std::size_t>(gr.count), 0.0);
  std::vector<char> seen(static_cast<std::size_t>(gr.count), 0);
  std::vector<std::uint32_t> touched;
  for (long g = 0; g < gr.count; ++g) {
    touched.clear();
    for (long r = gr.first(g); r < gr.last(g); ++r) {
      row(r, [&](long col, double v) {
        const auto h = static_cast<std::uint32_t>(col / gr.group);
        if (!seen[h]) {
          seen[h] = 1;
          touched.push_back(h);
        }
        acc[h] += v;
      });
    }
    std::sort(touched.begin(), touched.end());
    for (std::uint32_t h : touched) {
      c.column.push_back(h);
      c.value.push_back(acc[h] / (gr.root(g) * gr.root(h)));
      acc[h] = 0.0;
      seen[h] = 0;
    }
    c.start.push_back(c.column.size());
  }
}

}  // namespace

void SymmetricOperator::between_steps() const {
  if (progress_) progress_->poll();
}

void SymmetricOperator::apply_block(const double* x, double* y, long b, double alpha, double beta,
                                    double gamma) const {
  const long n = size();
  std::vector<double> z(static_cast<std::size_t>(n));
  for (long c = 0; c < b; ++c) {
    const double* xc = x + static_cast<std::size_t>(c) * n;
    apply(xc, z.data());
    combine(0, n, z.data(), 1, 0.0, xc, y + static_cast<std::size_t>(c) * n, alpha, beta, gamma);
  }
}

// The recurrence's coefficients at each step, the same for every column.
struct Chebyshev {
  double e, c, sigma1, sigma;
  Chebyshev(double lower, double cut, double top)
      : e((cut - lower) / 2), c((cut + lower) / 2), sigma1(e / (top - c)), sigma(sigma1) {}
  // Step 1: y1 = (sigma1 / e) (G x - c x).
  double first() const { return sigma1 / e; }
  // Step s >= 2: y_s = alpha G y_(s-1) + beta y_(s-1) + gamma y_(s-2).
  void next(double& alpha, double& beta, double& gamma) {
    const double following = 1 / (2 / sigma1 - sigma);
    alpha = 2 * following / e;
    beta = -alpha * c;
    gamma = -sigma * following;
    sigma = following;
  }
};

void SymmetricOperator::chebyshev_block(double* x, double* gx, long b, const int* degree, double lower, double cut,
                                        double top) const {
  const long n = size();
  const auto col = [n](double* base, long j) { return base + static_cast<std::size_t>(j) * n; };
  Chebyshev ch(lower, cut, top);
  const double first = ch.first();
  for (long j = 0; j < b; ++j) {
    double* y = col(gx, j);
    const double* xc = col(x, j);
    for (long r = 0; r < n; ++r) y[r] = first * (y[r] - ch.c * xc[r]);
  }
  // The newest iterate of a column in gx after odd steps, in x after even
  // ones; the columns still going at a step are those of a degree at
  // least that step.
  int most = 1;
  for (long j = 0; j < b; ++j) most = std::max(most, degree[j]);
  std::vector<long> going;
  for (int step = 2; step <= most; ++step) {
    between_steps();
    double alpha, beta, gamma;
    ch.next(alpha, beta, gamma);
    for (long j = 0; j < b;) {
      if (degree[j] < step) {
        ++j;
        continue;
      }
      long end = j;
      while (end < b && degree[end] >= step) ++end;
      if (step % 2 == 0) {
        apply_block(col(gx, j), col(x, j), end - j, alpha, beta, gamma);
      } else {
        apply_block(col(x, j), col(gx, j), end - j, alpha, beta, gamma);
      }
      j = end;
    }
  }
  for (long j = 0; j < b; ++j) {
    if (degree[j] % 2 == 1) std::copy_n(col(gx, j), n, col(x, j));
  }
}

std::unique_ptr<CentredSparse> SymmetricOperator::coarsened(long) const { return nullptr; }

TruncatedGower::TruncatedGower(const NearPairs& pairs, double thresh, int threads)
    : pairs_(pairs), far_(transformed(pcnm::far_distance(thresh))), team_(new pcnm::Team(threads)) {
  const long n = pairs.n;
  double low = 0, high = 0;
  row_sum_.resize(static_cast<std::size_t>(n));
  for (long r = 0; r < n; ++r) {
    double radius = 0, sum = -far_;
    for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
      radius += std::fabs(transformed(pairs.dist[k]) - far_);
      sum += transformed(pairs.dist[k]) - far_;
    }
    row_sum_[r] = sum;
    total_ += sum;
    low = std::min(low, -far_ - radius);
    high = std::max(high, -far_ + radius);
  }
  // A little slack for the rounding of the sums above.
  const double slack = 1e-12 * (high - low);
  lower_ = low - slack;
  upper_ = high + slack;
  // Halves of the work, which is mostly the pairs.
  const std::uint64_t total = pairs.start[n] + static_cast<std::uint64_t>(n);
  split_ = 0;
  while (split_ < n && pairs.start[split_] + static_cast<std::uint64_t>(split_) < total / 2) ++split_;
}

TruncatedGower::~TruncatedGower() = default;

// G x = B (x - m 1) - m' 1 = B x - m B 1 - m' 1, m the mean of x and m'
// that of B (x - m 1), which B's symmetry makes (1' B x - m 1' B 1) / n:
// both means come from one pass over x, before the pass over the pairs,
// so that each product is written as soon as it is summed. The vectors an
// eigen-solver multiplies are centred, or nearly, so taking m B 1 away
// after the product loses nothing to cancellation. Every sum over the
// rows is the sum over [0, split_) plus that over [split_, n), each in
// increasing order, on one thread or two; apply and each column of
// apply_block do the same operations in the same order.
void TruncatedGower::apply(const double* x, double* y) const { column_product(x, y, 1, 0, 0); }

void TruncatedGower::column_product(const double* x, double* y, double alpha, double beta, double gamma) const {
  ++products_;
  const long n = pairs_.n;
  const double dn = static_cast<double>(n);
  const bool split = n >= 4096;
  double part_sum[2][2];
  team_->run(split, [&](int part) {
    const Half h = half(part, split_, n);
    double sum = 0.0, weighted = 0.0;
    for (long i = h.r0; i < h.r1; ++i) {
      sum += x[i];
      weighted += row_sum_[i] * x[i];
    }
    part_sum[part][0] = sum;
    part_sum[part][1] = weighted;
  });
  const double mean = (part_sum[0][0] + part_sum[1][0]) / dn;
  const double mean_y = ((part_sum[0][1] + part_sum[1][1]) - mean * total_) / dn;
  const double diag = -far_;
  const std::uint64_t* start = pairs_.start.data();
  const std::uint32_t* column = pairs_.column.data();
  const double* dist = pairs_.dist.data();
  const double far = far_;
  team_->run(split, [&](int part) {
    const Half h = half(part, split_, n);
    for (long r = h.r0; r < h.r1; ++r) {
      double acc = diag * x[r];
      for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) acc += (transformed(dist[k]) - far) * x[column[k]];
      double v = alpha * ((acc - mean * row_sum_[r]) - mean_y);
      if (beta != 0) v += beta * x[r];
      if (gamma != 0) v += gamma * y[r];
      y[r] = v;
    }
  });
}

// Two tiles, so that the threads lay out the next while they multiply
// this one, kept from one product to the next; the numbers in one.
std::size_t TruncatedGower::ready_tiles() const {
  const std::size_t cells = static_cast<std::size_t>(pairs_.n) * kTile;
  if (tile_.size() < 2 * cells) tile_.assign(2 * cells, 0.0);
  if (out_.size() < static_cast<std::size_t>(2 * kRun * kTile)) out_.assign(2 * kRun * kTile, 0.0);
  return cells;
}

void TruncatedGower::apply_block(const double* x, double* y, long b, double alpha, double beta,
                                 double gamma) const {
  if (b == 1) return column_product(x, y, alpha, beta, gamma);
  products_ += static_cast<std::uint64_t>(b);
  const long n = pairs_.n;
  const double dn = static_cast<double>(n);
  const bool split = n >= 4096;
  const std::size_t cells = ready_tiles();
  const double diag = -far_;
  const double* row_sum = row_sum_.data();
  std::vector<double> part_sum(4 * static_cast<std::size_t>(b));  // per column and part: sum, weighted sum
  // Columns [c0, c0 + kTile) of x into a tile for the rows of h,
  // interleaved, with their part of the sums.
  const auto lay_out = [&](long c0, double* tile, const Half& h, int part) {
    const long width = std::min(kTile, b - c0);
    double sum[kTile] = {}, weighted[kTile] = {};
    for (long r0 = h.r0; r0 < h.r1; r0 += kRun) {
      const long r1 = std::min(h.r1, r0 + kRun);
      for (long t = 0; t < width; ++t) {
        const double* xc = x + static_cast<std::size_t>(c0 + t) * n;
        double s = sum[t], w = weighted[t];
        for (long r = r0; r < r1; ++r) {
          tile[r * kTile + t] = xc[r];
          s += xc[r];
          w += row_sum[r] * xc[r];
        }
        sum[t] = s;
        weighted[t] = w;
      }
      for (long t = width; t < kTile; ++t) {
        for (long r = r0; r < r1; ++r) tile[r * kTile + t] = 0.0;
      }
    }
    for (long t = 0; t < width; ++t) {
      part_sum[4 * (c0 + t) + 2 * part] = sum[t];
      part_sum[4 * (c0 + t) + 2 * part + 1] = weighted[t];
    }
  };
  team_->run(split, [&](int part) { lay_out(0, tile_.data(), half(part, split_, n), part); });
  for (long c0 = 0, which = 0; c0 < b; c0 += kTile, which ^= 1) {
    const long width = std::min(kTile, b - c0);
    const double* tile = tile_.data() + which * cells;
    double mean[kTile] = {}, mean_y[kTile] = {};
    for (long t = 0; t < width; ++t) {
      const double* ps = part_sum.data() + 4 * (c0 + t);
      mean[t] = (ps[0] + ps[2]) / dn;
      mean_y[t] = ((ps[1] + ps[3]) - mean[t] * total_) / dn;
    }
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      double* run = out_.data() + part * kRun * kTile;
      for (long r0 = h.r0; r0 < h.r1; r0 += kRun) {
        const long r1 = std::min(h.r1, r0 + kRun);
        truncated_rows(r0, r1, pairs_.start.data(), pairs_.column.data(), pairs_.dist.data(), diag, far_, tile,
                       run);
        for (long t = 0; t < width; ++t) {
          double* yc = y + static_cast<std::size_t>(c0 + t) * n;
          const double m = mean[t], my = mean_y[t];
          for (long r = r0; r < r1; ++r) {
            double v = alpha * ((run[(r - r0) * kTile + t] - m * row_sum[r]) - my);
            if (beta != 0) v += beta * tile[r * kTile + t];
            if (gamma != 0) v += gamma * yc[r];
            yc[r] = v;
          }
        }
      }
      if (c0 + kTile < b) lay_out(c0 + kTile, tile_.data() + (which ^ 1) * cells, h, part);
    });
  }
}

void TruncatedGower::chebyshev_block(double* x, double* gx, long b, const int* degree, double lower, double cut,
                                     double top) const {
  const long n = pairs_.n;
  const double dn = static_cast<double>(n);
  const bool split = n >= 4096;
  const std::size_t cells = ready_tiles();
  const double diag = -far_;
  const double* row_sum = row_sum_.data();
  // A tile runs all its lanes to its highest degree, and degrees grow
  // along the block: a tile narrower than the rest goes first, where the
  // degrees are lowest (last, it ran its padding to the highest degree of
  // all: 7% of a filtering's work on 100 000 sites spread at random).
  for (long c0 = 0, width = b % kTile ? b % kTile : kTile; c0 < b; c0 += width, width = kTile) {
    int most = 1;
    for (long t = 0; t < width; ++t) {
      most = std::max(most, degree[c0 + t]);
      products_ += static_cast<std::uint64_t>(degree[c0 + t] - 1);
    }
    // older: the iterate before last, newer: the last; per thread and lane
    // the sums over its rows of the last one (plain, and weighted by the
    // row sums of B).
    double* older = tile_.data();
    double* newer = tile_.data() + cells;
    double sums[2][2][kTile] = {};
    Chebyshev ch(lower, cut, top);
    const double first = ch.first();
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      double s[kTile] = {}, w[kTile] = {};
      for (long r0 = h.r0; r0 < h.r1; r0 += kRun) {
        const long r1 = std::min(h.r1, r0 + kRun);
        for (long t = 0; t < kTile; ++t) {
          const double* xc = t < width ? x + static_cast<std::size_t>(c0 + t) * n : nullptr;
          const double* yc = t < width ? gx + static_cast<std::size_t>(c0 + t) * n : nullptr;
          for (long r = r0; r < r1; ++r) {
            const double x0 = xc ? xc[r] : 0.0;
            const double x1 = xc ? first * (yc[r] - ch.c * x0) : 0.0;
            older[r * kTile + t] = x0;
            newer[r * kTile + t] = x1;
            s[t] += x1;
            w[t] += row_sum[r] * x1;
          }
        }
      }
      for (long t = 0; t < kTile; ++t) {
        sums[part][0][t] = s[t];
        sums[part][1][t] = w[t];
      }
    });
    for (int step = 2; step <= most; ++step) {
      between_steps();
      double alpha, beta, gamma;
      ch.next(alpha, beta, gamma);
      // A lane past its degree keeps its last iterate: 0 G y + 1 y + 0 z.
      double a[kTile], bb[kTile], g[kTile], mean[kTile], mean_y[kTile];
      for (long t = 0; t < kTile; ++t) {
        const bool going = t < width && degree[c0 + t] >= step;
        a[t] = going ? alpha : 0.0;
        bb[t] = going ? beta : 1.0;
        g[t] = going ? gamma : 0.0;
        mean[t] = (sums[0][0][t] + sums[1][0][t]) / dn;
        mean_y[t] = ((sums[0][1][t] + sums[1][1][t]) - mean[t] * total_) / dn;
      }
      team_->run(split, [&](int part) {
        const Half h = half(part, split_, n);
        double* run = out_.data() + part * kRun * kTile;
        double s[kTile] = {}, w[kTile] = {};
        for (long r0 = h.r0; r0 < h.r1; r0 += kRun) {
          const long r1 = std::min(h.r1, r0 + kRun);
          truncated_rows(r0, r1, pairs_.start.data(), pairs_.column.data(), pairs_.dist.data(), diag, far_, newer,
                         run);
          recurrence_rows(r0, r1, run, row_sum, newer, older, a, bb, g, mean, mean_y, s, w);
        }
        for (long t = 0; t < kTile; ++t) {
          sums[part][0][t] = s[t];
          sums[part][1][t] = w[t];
        }
      });
      std::swap(older, newer);
    }
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      for (long t = 0; t < width; ++t) {
        double* xc = x + static_cast<std::size_t>(c0 + t) * n;
        for (long r = h.r0; r < h.r1; ++r) xc[r] = newer[r * kTile + t];
      }
    });
  }
}

std::unique_ptr<CentredSparse> TruncatedGower::coarsened(long group) const {
  const long n = pairs_.n;
  auto c = std::make_unique<CentredSparse>();
  const Groups gr{group, n, (n + group - 1) / group};
  const double diag = -far_;
  coarsen_rows(
      gr,
      [&](long r, const auto& visit) {
        visit(r, diag);
        for (std::uint64_t k = pairs_.start[r]; k < pairs_.start[r + 1]; ++k) {
          visit(pairs_.column[k], transformed(pairs_.dist[k]) - far_);
        }
      },
      *c);
  // s = 1, g = B 1 before grouping.
  c->s.resize(static_cast<std::size_t>(gr.count));
  c->g.resize(static_cast<std::size_t>(gr.count));
  double total = 0;
  for (long g = 0; g < gr.count; ++g) {
    double sum = 0;
    for (long r = gr.first(g); r < gr.last(g); ++r) {
      double row = diag;
      for (std::uint64_t k = pairs_.start[r]; k < pairs_.start[r + 1]; ++k) row += transformed(pairs_.dist[k]) - far_;
      sum += row;
    }
    total += sum;
    c->s[g] = static_cast<double>(gr.last(g) - gr.first(g)) / gr.root(g);
    c->g[g] = sum / gr.root(g);
  }
  c->beta = total;
  c->m = static_cast<double>(n);
  c->source_entries = static_cast<double>(pairs_.start[n]) / static_cast<double>(n) + 1;
  return c;
}

CentredSparse::CentredSparse() : team_(new pcnm::Team(pcnm::usable_processors() >= 2 ? 2 : 1)) {}
CentredSparse::~CentredSparse() = default;

void CentredSparse::apply_block(const double* x, double* y, long b, double alpha, double beta_x,
                                double gamma) const {
  const bool split = n >= 4096;
  const long mid = n / 2;
  const std::size_t cells = static_cast<std::size_t>(n) * kTile;
  if (tile_.size() < cells) {
    tile_.assign(cells, 0.0);
    out_.assign(cells, 0.0);
  }
  double* tile = tile_.data();
  double* out = out_.data();
  for (long c0 = 0; c0 < b; c0 += kTile) {
    const long width = std::min(kTile, b - c0);
    const double* xs = x + static_cast<std::size_t>(c0) * n;
    double* ys = y + static_cast<std::size_t>(c0) * n;
    double sx[2][kTile] = {}, gx[2][kTile] = {};
    team_->run(split, [&](int part) {
      const Half h = half(part, mid, n);
      double a[kTile] = {}, c[kTile] = {};
      for (long r0 = h.r0; r0 < h.r1; r0 += kRun) {
        const long r1 = std::min(h.r1, r0 + kRun);
        for (long t = 0; t < width; ++t) {
          const double* xc = xs + static_cast<std::size_t>(t) * n;
          for (long r = r0; r < r1; ++r) {
            a[t] += s[r] * xc[r];
            c[t] += g[r] * xc[r];
            tile[r * kTile + t] = xc[r];
          }
        }
        for (long t = width; t < kTile; ++t) {
          for (long r = r0; r < r1; ++r) tile[r * kTile + t] = 0.0;
        }
      }
      for (long t = 0; t < kTile; ++t) {
        sx[part][t] = a[t];
        gx[part][t] = c[t];
      }
    });
    double on_s[kTile] = {}, on_g[kTile] = {};
    for (long t = 0; t < width; ++t) {
      const double s_x = sx[0][t] + sx[1][t], g_x = gx[0][t] + gx[1][t];
      on_s[t] = g_x / m - beta * s_x / (m * m);
      on_g[t] = s_x / m;
    }
    team_->run(split, [&](int part) {
      const Half h = half(part, mid, n);
      sparse_rows(h.r0, h.r1, start.data(), column.data(), value.data(), tile, out);
      for (long r0 = h.r0; r0 < h.r1; r0 += kRun) {
        const long r1 = std::min(h.r1, r0 + kRun);
        for (long t = 0; t < width; ++t) {
          const std::size_t at = static_cast<std::size_t>(t) * n;
          for (long r = r0; r < r1; ++r) {
            double v = alpha * (out[r * kTile + t] - (g[r] * on_g[t] + s[r] * on_s[t]));
            if (beta_x != 0) v += beta_x * xs[at + r];
            if (gamma != 0) v += gamma * ys[at + r];
            ys[at + r] = v;
          }
        }
      }
    });
  }
}

std::unique_ptr<CentredSparse> CentredSparse::coarsened(long group) const {
  auto c = std::make_unique<CentredSparse>();
  const Groups gr{group, n, (n + group - 1) / group};
  coarsen_rows(
      gr,
      [&](long r, const auto& visit) {
        for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) visit(column[k], value[k]);
      },
      *c);
  c->s.resize(static_cast<std::size_t>(gr.count));
  c->g.resize(static_cast<std::size_t>(gr.count));
  for (long h = 0; h < gr.count; ++h) {
    double a = 0, b = 0;
    for (long r = gr.first(h); r < gr.last(h); ++r) {
      a += s[r];
      b += g[r];
    }
    c->s[h] = a / gr.root(h);
    c->g[h] = b / gr.root(h);
  }
  c->beta = beta;
  c->m = m;
  c->source_entries = static_cast<double>(column.size()) / static_cast<double>(n);
  return c;
}

}  // namespace ortelix::large
