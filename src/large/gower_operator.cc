#include "large/gower_operator.h"

#include <algorithm>
#include <cmath>

#include "pcnm/constants.h"
#include "pcnm/team.h"

namespace ortelix::large {

namespace {

// The transformed value of a distance, as the principal coordinate
// analysis forms it: the square, then the halving, then the sign.
inline double transformed(double d) { return -((d * d) * 0.5); }

// Columns a block product takes at a time, interleaved row by row so that
// one pair's weight serves them all from one cache line, and each lane of
// a vector register keeps a column of its own: no sum is split, and the
// products are those of one column at a time.
constexpr long kTile = 8;

// Rows [r0, r1) of B z for the tile: the truncated operator's weights,
// computed from the distances as apply computes them.
__attribute__((target_clones("avx512f", "avx2", "default"))) void truncated_rows(
    long r0, long r1, const std::uint64_t* start, const std::uint32_t* column, const double* dist, double diag,
    double far, const double* tile, double* out) {
  for (long r = r0; r < r1; ++r) {
    double acc[kTile];
    for (long t = 0; t < kTile; ++t) acc[t] = diag * tile[r * kTile + t];
    for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) {
      const double w = transformed(dist[k]) - far;
      const double* z = tile + static_cast<std::size_t>(column[k]) * kTile;
      for (long t = 0; t < kTile; ++t) acc[t] += w * z[t];
    }
    for (long t = 0; t < kTile; ++t) out[r * kTile + t] = acc[t];
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

// Which of the two parts a row belongs to when rows are split at `split`.
struct Half {
  long r0, r1;
};
inline Half half(int part, long split, long n) { return part == 0 ? Half{0, split} : Half{split, n}; }

// y = alpha z + beta x + gamma y for rows [r0, r1) of one column.
inline void combine(long r0, long r1, const double* z, long zstride, double shift, const double* x, double* y,
                    double alpha, double beta, double gamma) {
  for (long r = r0; r < r1; ++r) {
    double v = alpha * (z[r * zstride] - shift);
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

std::unique_ptr<CentredSparse> SymmetricOperator::coarsened(long) const { return nullptr; }

TruncatedGower::TruncatedGower(const NearPairs& pairs, double thresh, int threads)
    : pairs_(pairs), far_(transformed(thresh * pcnm::kLargeDistanceMultiplier)), team_(new pcnm::Team(threads)) {
  const long n = pairs.n;
  double low = 0, high = 0;
  for (long r = 0; r < n; ++r) {
    double radius = 0;
    for (std::uint64_t k = pairs.start[r]; k < pairs.start[r + 1]; ++k) {
      radius += std::fabs(transformed(pairs.dist[k]) - far_);
    }
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

// Every sum over the rows is the sum over [0, split_) plus that over
// [split_, n), each in increasing order, on one thread or two.
void TruncatedGower::apply(const double* x, double* y) const {
  ++products_;
  const long n = pairs_.n;
  const double dn = static_cast<double>(n);
  const bool split = n >= 4096;
  double part_sum[2];
  team_->run(split, [&](int part) {
    const Half h = half(part, split_, n);
    double sum = 0.0;
    for (long i = h.r0; i < h.r1; ++i) sum += x[i];
    part_sum[part] = sum;
  });
  const double mean = (part_sum[0] + part_sum[1]) / dn;
  const double diag = -far_;
  const std::uint64_t* start = pairs_.start.data();
  const std::uint32_t* column = pairs_.column.data();
  const double* dist = pairs_.dist.data();
  const double far = far_;
  // y = B (x - mean): each row's sum in increasing pair order, whichever
  // thread computes it.
  team_->run(split, [&](int part) {
    const Half h = half(part, split_, n);
    double sum = 0.0;
    for (long r = h.r0; r < h.r1; ++r) {
      double acc = diag * (x[r] - mean);
      for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) {
        acc += (transformed(dist[k]) - far) * (x[column[k]] - mean);
      }
      y[r] = acc;
      sum += acc;
    }
    part_sum[part] = sum;
  });
  const double mean_y = (part_sum[0] + part_sum[1]) / dn;
  for (long i = 0; i < n; ++i) y[i] -= mean_y;
}

void TruncatedGower::apply_block(const double* x, double* y, long b, double alpha, double beta,
                                 double gamma) const {
  products_ += static_cast<std::uint64_t>(b);
  const long n = pairs_.n;
  const double dn = static_cast<double>(n);
  const bool split = n >= 4096;
  const std::size_t cells = static_cast<std::size_t>(n) * kTile;
  if (tile_.size() < cells) {
    tile_.assign(cells, 0.0);
    out_.assign(cells, 0.0);
  }
  double* tile = tile_.data();
  double* out = out_.data();
  const double diag = -far_;
  for (long c0 = 0; c0 < b; c0 += kTile) {
    const long width = std::min(kTile, b - c0);
    const double* xs = x + static_cast<std::size_t>(c0) * n;
    double* ys = y + static_cast<std::size_t>(c0) * n;
    double part_sum[2][kTile] = {};
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      for (long t = 0; t < width; ++t) {
        const double* xc = xs + static_cast<std::size_t>(t) * n;
        double sum = 0.0;
        for (long i = h.r0; i < h.r1; ++i) sum += xc[i];
        part_sum[part][t] = sum;
      }
    });
    double mean[kTile] = {};
    for (long t = 0; t < width; ++t) mean[t] = (part_sum[0][t] + part_sum[1][t]) / dn;
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      for (long r = h.r0; r < h.r1; ++r) {
        for (long t = 0; t < width; ++t) tile[r * kTile + t] = xs[static_cast<std::size_t>(t) * n + r] - mean[t];
        for (long t = width; t < kTile; ++t) tile[r * kTile + t] = 0.0;
      }
    });
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      truncated_rows(h.r0, h.r1, pairs_.start.data(), pairs_.column.data(), pairs_.dist.data(), diag, far_, tile,
                     out);
      double sum[kTile] = {};
      for (long r = h.r0; r < h.r1; ++r) {
        for (long t = 0; t < kTile; ++t) sum[t] += out[r * kTile + t];
      }
      for (long t = 0; t < kTile; ++t) part_sum[part][t] = sum[t];
    });
    double mean_y[kTile] = {};
    for (long t = 0; t < width; ++t) mean_y[t] = (part_sum[0][t] + part_sum[1][t]) / dn;
    team_->run(split, [&](int part) {
      const Half h = half(part, split_, n);
      for (long r = h.r0; r < h.r1; ++r) {
        for (long t = 0; t < width; ++t) {
          const std::size_t at = static_cast<std::size_t>(t) * n + r;
          double v = alpha * (out[r * kTile + t] - mean_y[t]);
          if (beta != 0) v += beta * xs[at];
          if (gamma != 0) v += gamma * ys[at];
          ys[at] = v;
        }
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
      for (long r = h.r0; r < h.r1; ++r) {
        for (long t = 0; t < width; ++t) {
          const double v = xs[static_cast<std::size_t>(t) * n + r];
          a[t] += s[r] * v;
          c[t] += g[r] * v;
          tile[r * kTile + t] = v;
        }
        for (long t = width; t < kTile; ++t) tile[r * kTile + t] = 0.0;
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
      for (long r = h.r0; r < h.r1; ++r) {
        for (long t = 0; t < width; ++t) {
          const std::size_t at = static_cast<std::size_t>(t) * n + r;
          double v = alpha * (out[r * kTile + t] - (g[r] * on_g[t] + s[r] * on_s[t]));
          if (beta_x != 0) v += beta_x * xs[at];
          if (gamma != 0) v += gamma * ys[at];
          ys[at] = v;
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
  return c;
}

}  // namespace ortelix::large
