#include "pcnm/fast_eigen.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <vector>

#include "pcnm/constants.h"
#include "pcnm/reference_eigen.h"
#include "pcnm/checkpoint.h"
#include "pcnm/team.h"

namespace ortelix::pcnm {

namespace simd_generic {
const FastKernels& kernels();
}
#if ORTELIX_FAST_X86
namespace simd_avx2 {
const FastKernels& kernels();
}
namespace simd_avx512 {
const FastKernels& kernels();
}
#endif

bool isa_supported(Isa isa) {
  switch (isa) {
    case Isa::kAuto:
    case Isa::kGeneric:
      return true;
#if ORTELIX_FAST_X86
    case Isa::kAvx2:
      return __builtin_cpu_supports("avx2");
    case Isa::kAvx512:
      return __builtin_cpu_supports("avx512f");
#else
    default:
      return false;
#endif
  }
  return false;
}

const FastKernels& fast_kernels(Isa isa) {
#if ORTELIX_FAST_X86
  if (isa == Isa::kAuto) isa = isa_supported(Isa::kAvx512) ? Isa::kAvx512 : isa_supported(Isa::kAvx2) ? Isa::kAvx2 : Isa::kGeneric;
  if (isa == Isa::kAvx512 && isa_supported(isa)) return simd_avx512::kernels();
  if (isa == Isa::kAvx2 && isa_supported(isa)) return simd_avx2::kernels();
#endif
  return simd_generic::kernels();
}

namespace {

// Below this many rows a step is not worth handing half of to the second
// thread (automatic mode only; the split never changes a result).
constexpr int kMinParallelRows = 640;

int team_size(const FastOptions& options, int n) {
  if (options.threads == 1 || options.threads == 2) return options.threads;
  if (n < kMinParallelRows) return 1;
  return usable_processors() >= 2 ? 2 : 1;
}

// Where to cut rows (or columns) [0, count) of `base` between the two
// threads: about half, moved up to a cache-line boundary in memory so that
// no line is written by both (the split itself never changes a result).
int half(const double* base, int count) {
  int cut = count / 2;
  while (cut < count && reinterpret_cast<std::uintptr_t>(base + cut) % 64 != 0) ++cut;
  return cut;
}

// A vector whose element i shares the cache-line phase of base[i], so that
// a cut of half(base, ...) is a line boundary in both.
class PhasedVector {
 public:
  PhasedVector(const double* base, int n) : store_(static_cast<std::size_t>(n) + 8) {
    std::uintptr_t want = reinterpret_cast<std::uintptr_t>(base) % 64;
    data_ = store_.data();
    while (reinterpret_cast<std::uintptr_t>(data_) % 64 != want) ++data_;
  }
  double* data() { return data_; }
  double& operator[](int i) { return data_[i]; }

 private:
  std::vector<double> store_;
  double* data_;
};

bool worth_splitting(const FastOptions& options, int rows) {
  return options.threads == 2 || rows >= kMinParallelRows;
}

}  // namespace

void tred2_fast(double* a, Index n, Index ld, double* diag, double* offdiag, FastOptions options) {
  if (n < 1) {
    tred2_reference(a, n, ld, diag, offdiag);
    return;
  }
  householder_reduce_fast(a, n, ld, diag, offdiag, options);
  householder_accumulate_fast(a, n, ld, diag, offdiag, options);
}

void householder_reduce_fast(double* a, Index order, Index ld, double* diag, double* offdiag, FastOptions options) {
  // Orders up to the dialogue program's capacity: the blocking is in int.
  const int n = static_cast<int>(order);
  const long L = ld;
  const FastKernels& k = fast_kernels(options.isa);
  Team team(team_size(options, n));

  // The working block is kept symmetric, both triangles equal, so that a
  // row of the lower triangle is also a contiguous column of the upper one.
  // The literal algorithm reads only the lower triangle and uses the upper
  // one as scratch, so overwriting it changes nothing it reads.
  constexpr int kTile = 64;
  for (int c0 = 0; c0 < n; c0 += kTile) {
    for (int r0 = 0; r0 <= c0; r0 += kTile) {
      const int c1 = std::min(n, c0 + kTile);
      const int r1 = std::min(n, r0 + kTile);
      for (int c = c0; c < c1; ++c) {
        for (int r = r0; r < std::min(r1, c); ++r) a[c * L + r] = a[r * L + c];
      }
    }
  }

  // u, q: the vectors of the row whose update is pending; u2, p: those of
  // the row being reduced.
  std::vector<double> u(n), q(n), u2(n);
  PhasedVector p(a, n);
  bool pending = false;
  // Householder vectors wait here to be written into their rows of the
  // lower triangle (which no later pass reads) a block of rows at a time:
  // one row alone would cost a cache miss per element.
  constexpr int kRows = 32;
  std::vector<double> done(static_cast<std::size_t>(kRows) * n);
  std::vector<int> done_rows;
  auto write_rows = [&] {
    if (done_rows.empty()) return;
    const int top = done_rows.front();  // rows descend
    for (int j = 0; j < top; ++j) {
      double* col = a + j * L;
      for (std::size_t t = 0; t < done_rows.size() && j < done_rows[t]; ++t) {
        col[done_rows[t]] = done[t * static_cast<std::size_t>(n) + j];
      }
    }
    done_rows.clear();
  };
  for (int i = n - 1; i >= 1; --i) {
    checkpoint();
    const int l = i;
    double* row = a + i * L;  // row i of the lower triangle, read from its upper twin
    if (pending) {
      // The pending update, on the column that is now the row to reduce.
      for (int r = 0; r < i; ++r) row[r] = (row[r] - q[r] * u[i]) - u[r] * q[i];
      row[i] = (row[i] - u[i] * q[i]) - q[i] * u[i];
    }
    double h = 0.0;
    bool reduced = false;
    if (l > 1) {
      double scale = 0.0;
      for (int t = 0; t < l; ++t) scale = scale + std::fabs(row[t]);
      if (std::fabs(scale) < kTol) {
        offdiag[i] = row[l - 1];
      } else {
        for (int t = 0; t < l; ++t) {
          u2[t] = row[t] / scale;
          h = h + u2[t] * u2[t];
        }
        double f = u2[l - 1];
        double g = (f >= 0.0) ? -std::sqrt(h) : std::sqrt(h);
        offdiag[i] = scale * g;
        h = h - f * g;
        u2[l - 1] = f - g;
        reduced = true;
      }
    } else {
      offdiag[i] = row[l - 1];
    }

    // One pass: the rest of the pending update (rows 0..i of columns
    // 0..i-1) and the product of this row's block with u2.
    if (pending || reduced) {
      if (reduced) std::fill(p.data(), p.data() + l, 0.0);
      const int rows = pending ? i + 1 : l;
      const double* up = pending ? u.data() : nullptr;
      const double* u2p = reduced ? u2.data() : nullptr;
      const int cut = half(a, rows);
      team.run(worth_splitting(options, rows), [&](int part) {
        const int r0 = part == 0 ? 0 : cut;
        const int r1 = part == 0 ? cut : rows;
        if (r0 < r1) k.householder_pass(a, L, l, r0, r1, up, q.data(), u2p, p.data(), l);
      });
    }

    if (reduced) {
      double f = 0.0;
      for (int j = 0; j < l; ++j) {
        p[j] = p[j] / h;
        f = f + p[j] * u2[j];
      }
      double hh = f / (h + h);
      for (int j = 0; j < l; ++j) q[j] = p[j] - hh * u2[j];
      // What the literal algorithm leaves behind for the accumulation: the
      // Householder vector in row i, divided by h in column i.
      std::copy(u2.begin(), u2.begin() + l, done.begin() + done_rows.size() * static_cast<std::size_t>(n));
      done_rows.push_back(i);
      if (done_rows.size() == kRows) write_rows();
      for (int j = 0; j < l; ++j) row[j] = u2[j] / h;
      std::swap(u, u2);
      pending = true;
    } else {
      pending = false;
    }
    diag[i] = h;
  }
  write_rows();
}

void householder_accumulate_fast(double* a, Index order, Index ld, double* diag, double* offdiag, FastOptions options) {
  // Orders up to the dialogue program's capacity: the blocking is in int.
  const int n = static_cast<int>(order);
  const long L = ld;
  const FastKernels& k = fast_kernels(options.isa);
  Team team(team_size(options, n));
  constexpr int kTile = 64;

  // Accumulation. Step s (0-based) needs u_s (row s, columns < s) and v_s
  // (column s, rows < s) and changes only the leading s x s block, which it
  // then borders with a zero row and column and a 1 on the diagonal. The
  // block grows transposed, T(k, j) = Q(k, j) at a[k * L + j], and steps go
  // by groups: their vectors are copied out first, their borders laid at
  // once (no step of the group reads a border before its birth, and columns
  // not yet born are left alone by the kernels), then every column of the
  // block takes the whole group while it stays in cache.
  diag[0] = 0.0;
  offdiag[0] = 0.0;
  constexpr int kGroup = 32;
  std::vector<double> U(static_cast<std::size_t>(kGroup) * n), V(static_cast<std::size_t>(kGroup) * n);
  unsigned char active[kGroup];
  std::vector<double> scratch(2 * static_cast<std::size_t>(kPanel) * n);
  for (int s0 = 0; s0 < n; s0 += kGroup) {
    checkpoint();
    const int s1 = std::min(n, s0 + kGroup);
    for (int s = s0; s < s1; ++s) active[s - s0] = std::fabs(diag[s]) > kTol;
    for (int c = 0; c < s1 - 1; ++c) {
      const double* seg = a + c * L;
      for (int s = std::max(s0, c + 1); s < s1; ++s) U[(s - s0) * static_cast<long>(n) + c] = seg[s];
    }
    for (int s = s0; s < s1; ++s) {
      const double* col = a + s * L;
      std::copy(col, col + s, V.data() + (s - s0) * static_cast<long>(n));
      diag[s] = col[s];
    }
    for (int c = 0; c < s0; ++c) std::fill(a + c * L + s0, a + c * L + s1, 0.0);
    for (int s = s0; s < s1; ++s) {
      std::fill(a + s * L, a + s * L + s1, 0.0);
      a[s * L + s] = 1.0;
    }
    const int cut = half(a, s1);
    team.run(worth_splitting(options, s1), [&](int part) {
      const int j0 = part == 0 ? 0 : cut;
      const int j1 = part == 0 ? cut : s1;
      if (j0 < j1) {
        k.accumulate_columns(a, L, j0, j1, s0, s1, U.data(), V.data(), n, active,
                             scratch.data() + part * static_cast<std::size_t>(kPanel) * n);
      }
    });
  }
  for (int c0 = 0; c0 < n; c0 += kTile) {
    for (int r0 = 0; r0 <= c0; r0 += kTile) {
      const int c1 = std::min(n, c0 + kTile);
      const int r1 = std::min(n, r0 + kTile);
      for (int c = c0; c < c1; ++c) {
        for (int r = r0; r < std::min(r1, c); ++r) std::swap(a[c * L + r], a[r * L + c]);
      }
    }
  }
}

namespace {

// The rotations of the QL iteration, recorded in order and replayed on the
// matrix a chunk at a time (the recurrence itself never reads the matrix).
class RotationRecord {
 public:
  RotationRecord(double* a, int n, Index ld, const FastKernels& kernels, Team& team, const FastOptions& options)
      : a_(a), n_(n), ld_(ld), kernels_(kernels), team_(team), options_(options) {
    c_.resize(kCapacity);
    s_.resize(kCapacity);
    scratch_.resize(2 * static_cast<std::size_t>(kPanel) * n);
  }
  // A new sweep whose first rotation acts on columns (top, top + 1).
  void begin(int top) { sweeps_.push_back({top, 0, size_}); }
  void add(double c, double s) {
    if (size_ == kCapacity) {
      const int next_top = sweeps_.back().top - sweeps_.back().count;
      flush();
      begin(next_top);
    }
    c_[size_] = c;
    s_[size_] = s;
    ++size_;
    ++sweeps_.back().count;
  }
  void flush() {
    if (size_ == 0) {
      sweeps_.clear();
      return;
    }
    const int cut = half(a_, n_);
    team_.run(worth_splitting(options_, n_), [&](int part) {
      const int r0 = part == 0 ? 0 : cut;
      const int r1 = part == 0 ? cut : n_;
      if (r0 < r1) {
        kernels_.rotate_rows(a_, ld_, n_, r0, r1, sweeps_.data(), static_cast<int>(sweeps_.size()), c_.data(),
                             s_.data(), scratch_.data() + part * static_cast<std::size_t>(kPanel) * n_);
      }
    });
    sweeps_.clear();
    size_ = 0;
  }

 private:
  static constexpr long kCapacity = 1L << 18;  // 4 MB of (c, s) pairs
  double* a_;
  int n_;
  long ld_;
  const FastKernels& kernels_;
  Team& team_;
  const FastOptions& options_;
  std::vector<double> c_, s_, scratch_;
  std::vector<RotationSweep> sweeps_;
  long size_ = 0;
};

}  // namespace

bool tqli_fast(double* diag_, double* offdiag_, Index order, Index ld, double* a, FastOptions options) {
  // Orders up to the dialogue program's capacity: the blocking is in int.
  const int n = static_cast<int>(order);
  auto d = [&](int i) -> double& { return diag_[i - 1]; };
  auto e = [&](int i) -> double& { return offdiag_[i - 1]; };

  if (n <= 1) return true;
  Team team(team_size(options, n));
  RotationRecord record(a, n, ld, fast_kernels(options.isa), team, options);
  for (int i = 2; i <= n; ++i) e(i - 1) = e(i);
  e(n) = 0.0;

  for (int l = 1; l <= n; ++l) {
    checkpoint();
    int iter = 0;
    for (;;) {
      int m;
      for (m = l; m <= n - 1; ++m) {
        if (std::fabs(e(m)) < kTol) break;
      }
      if (m == l) break;
      if (iter == kMaxIterations) {
        record.flush();
        return false;
      }
      ++iter;
      double g = (d(l + 1) - d(l)) / (e(l) + e(l));
      double r = std::sqrt(g * g + 1.0);
      g = (d(m) - d(l)) + e(l) / (g + (g >= 0.0 ? r : -r));
      double s = 1.0;
      double c = 1.0;
      double p = 0.0;
      // 1-based rotation i acts on columns i and i + 1, 0-based i - 1 and i.
      record.begin(m - 2);
      for (int i = m - 1; i >= l; --i) {
        double f = s * e(i);
        double b = c * e(i);
        if (std::fabs(f) - std::fabs(g) > -kTol) {
          c = g / f;
          r = std::sqrt(c * c + 1.0);
          e(i + 1) = f * r;
          s = 1.0 / r;
          c = c * s;
        } else {
          s = f / g;
          r = std::sqrt(s * s + 1.0);
          e(i + 1) = g * r;
          c = 1.0 / r;
          s = s * c;
        }
        g = d(i + 1) - p;
        r = (d(i) - g) * s + (c + c) * b;
        p = s * r;
        d(i + 1) = g + p;
        g = c * r - b;
        record.add(c, s);
      }
      d(l) = d(l) - p;
      e(l) = g;
      e(m) = 0.0;
    }
  }
  record.flush();
  return true;
}

}  // namespace ortelix::pcnm
