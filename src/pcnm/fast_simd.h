// The inner loops of the fast eigen kernels and of the correlation product,
// written once and compiled once per instruction set (fast_simd_*.cc): the
// including file defines FAST_VLEN (doubles per vector) and wraps this
// header in its own namespace.
//
// Every lane of a vector is an independent element of the result: a lane
// performs exactly the scalar operations of the literal algorithm, in the
// same order, and no sum is ever split across lanes or reassociated. The
// vector width therefore changes the speed and never a bit of the results.
//
// Nothing from the standard library may be used here: an inline function
// instantiated in a file compiled for a wider instruction set could be the
// copy the linker keeps for everyone, and would then crash on older
// processors.

#ifndef FAST_VLEN
#error "define FAST_VLEN before including fast_simd.h"
#endif

#define FAST_INLINE static inline __attribute__((always_inline))
// The loops over the vectors of a block and over the columns of a group are
// short and fixed: unrolled, their accumulators live in registers.
#define FAST_UNROLL _Pragma("GCC unroll 16")

constexpr int VL = FAST_VLEN;
typedef double vd __attribute__((vector_size(8 * FAST_VLEN)));
typedef long vl __attribute__((vector_size(8 * FAST_VLEN)));

FAST_INLINE vd load(const double* p) {
  vd v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
FAST_INLINE void store(double* p, vd v) { __builtin_memcpy(p, &v, sizeof v); }
FAST_INLINE vl lane_index() {
  vl v;
  for (int i = 0; i < VL; ++i) v[i] = i;
  return v;
}

// ---------------------------------------------------------------------------
// Householder reduction: one pass over columns 0..ncols-1, rows [r0, r1), of
// the symmetric working block (both triangles kept equal). With `u` set it
// applies the rank-2 update of the previous row, element by element as the
// literal algorithm does for the lower triangle,
//   x(r, c) = (x - u_r q_c) - q_r u_c   (r >= c),
// and gives the mirrored upper element the value of its lower twin,
//   x(r, c) = (x - u_c q_r) - q_c u_r   (r < c).
// With `u2` set it adds x(r, c) u2_c to p2_r for r < lp, column after column,
// so each p2_r is summed in increasing column order: the matrix-vector
// product of the next row, read from the freshly updated values.

// Rows [ra, rb) of NC consecutive columns, every element on the side of the
// diagonal given by LOWER.
template <int NC, bool UPD, bool ACC, bool LOWER>
FAST_INLINE void hh_rows(double* const* col, int ra, int rb, const double* u, const double* q, const double* uc,
                         const double* qc, const double* u2c, double* p2) {
  int r = ra;
  for (; r + VL <= rb; r += VL) {
    vd ur{}, qr{}, p{};
    if (UPD) {
      ur = load(u + r);
      qr = load(q + r);
    }
    if (ACC) p = load(p2 + r);
    FAST_UNROLL
    for (int t = 0; t < NC; ++t) {
      vd x = load(col[t] + r);
      if (UPD) {
        if (LOWER) {
          x = (x - ur * qc[t]) - qr * uc[t];
        } else {
          x = (x - qr * uc[t]) - ur * qc[t];
        }
        store(col[t] + r, x);
      }
      if (ACC) p = p + x * u2c[t];
    }
    if (ACC) store(p2 + r, p);
  }
  for (; r < rb; ++r) {
    double p = ACC ? p2[r] : 0.0;
    FAST_UNROLL
    for (int t = 0; t < NC; ++t) {
      double x = col[t][r];
      if (UPD) {
        if (LOWER) {
          x = (x - u[r] * qc[t]) - q[r] * uc[t];
        } else {
          x = (x - q[r] * uc[t]) - u[r] * qc[t];
        }
        col[t][r] = x;
      }
      if (ACC) p = p + x * u2c[t];
    }
    if (ACC) p2[r] = p;
  }
}

// Rows [ra, rb) that cross the diagonal of the NC columns starting at c.
template <int NC, bool UPD, bool ACC>
FAST_INLINE void hh_diagonal_rows(double* const* col, int c, int ra, int rb, const double* u, const double* q,
                                  const double* uc, const double* qc, const double* u2c, double* p2) {
  for (int r = ra; r < rb; ++r) {
    double p = ACC ? p2[r] : 0.0;
    FAST_UNROLL
    for (int t = 0; t < NC; ++t) {
      double x = col[t][r];
      if (UPD) {
        if (r >= c + t) {
          x = (x - u[r] * qc[t]) - q[r] * uc[t];
        } else {
          x = (x - q[r] * uc[t]) - u[r] * qc[t];
        }
        col[t][r] = x;
      }
      if (ACC) p = p + x * u2c[t];
    }
    if (ACC) p2[r] = p;
  }
}

template <int NC, bool UPD, bool ACC>
FAST_INLINE void hh_columns(double* a, long ld, int c, int r0, int r1, const double* u, const double* q,
                            const double* u2, double* p2, int lp) {
  double* col[NC];
  double uc[NC], qc[NC], u2c[NC];
  FAST_UNROLL
  for (int t = 0; t < NC; ++t) {
    col[t] = a + (c + t) * ld;
    uc[t] = UPD ? u[c + t] : 0.0;
    qc[t] = UPD ? q[c + t] : 0.0;
    u2c[t] = ACC ? u2[c + t] : 0.0;
  }
  // Three bands of rows: above every column's diagonal, across the
  // diagonals, below them. Each band splits once more where the
  // accumulation stops (row lp and beyond are only updated).
  const int bands[4] = {r0, c < r0 ? r0 : (c > r1 ? r1 : c), c + NC < r0 ? r0 : (c + NC > r1 ? r1 : c + NC), r1};
  for (int b = 0; b < 3; ++b) {
    int ra = bands[b];
    int rb = bands[b + 1];
    if (ra >= rb) continue;
    int mid = ACC ? (lp < ra ? ra : (lp > rb ? rb : lp)) : ra;
    if (b == 0) {
      hh_rows<NC, UPD, ACC, false>(col, ra, mid, u, q, uc, qc, u2c, p2);
      hh_rows<NC, UPD, false, false>(col, mid, rb, u, q, uc, qc, u2c, p2);
    } else if (b == 1) {
      hh_diagonal_rows<NC, UPD, ACC>(col, c, ra, mid, u, q, uc, qc, u2c, p2);
      hh_diagonal_rows<NC, UPD, false>(col, c, mid, rb, u, q, uc, qc, u2c, p2);
    } else {
      hh_rows<NC, UPD, ACC, true>(col, ra, mid, u, q, uc, qc, u2c, p2);
      hh_rows<NC, UPD, false, true>(col, mid, rb, u, q, uc, qc, u2c, p2);
    }
  }
}

template <bool UPD, bool ACC>
FAST_INLINE void hh_pass(double* a, long ld, int ncols, int r0, int r1, const double* u, const double* q,
                         const double* u2, double* p2, int lp) {
  constexpr int kCols = 4;
  int c = 0;
  for (; c + kCols <= ncols; c += kCols) hh_columns<kCols, UPD, ACC>(a, ld, c, r0, r1, u, q, u2, p2, lp);
  for (; c < ncols; ++c) hh_columns<1, UPD, ACC>(a, ld, c, r0, r1, u, q, u2, p2, lp);
}

static void householder_pass(double* a, long ld, int ncols, int r0, int r1, const double* u, const double* q,
                             const double* u2, double* p2, int lp) {
  if (u != nullptr && u2 != nullptr) {
    hh_pass<true, true>(a, ld, ncols, r0, r1, u, q, u2, p2, lp);
  } else if (u != nullptr) {
    hh_pass<true, false>(a, ld, ncols, r0, r1, u, q, u2, p2, lp);
  } else if (u2 != nullptr) {
    hh_pass<false, true>(a, ld, ncols, r0, r1, u, q, u2, p2, lp);
  }
}

// ---------------------------------------------------------------------------
// Accumulation of the transformation. The matrix is held transposed while
// it grows: T(k, j) = Q(k, j) sits at a[k * ld + j], so that one row k of
// many columns j is contiguous and each lane is one column of Q. For step s
// (0-based) a column j < s takes
//   g_j = sum over k < s, increasing, of u_s[k] T(k, j), from 0,
//   T(k, j) = T(k, j) - g_j v_s[k] for k < s;
// the update of step s and the product of step s+1 share one pass over k.
// Columns not yet born (j >= s) are left as they are: the caller has zeroed
// them and set their diagonal, which is exactly what birth gives them.

// The kernels below see a panel of W consecutive columns j0..j0+W-1 packed
// as p[k * W + (j - j0)]: one row k of the panel is one cache line or a few.

template <int NV>
FAST_INLINE void acc_dot(const double* p, int s, const double* us, vd* g) {
  constexpr int W = NV * VL;
  vd acc[NV];
  FAST_UNROLL
  for (int v = 0; v < NV; ++v) acc[v] = vd{};
  for (int k = 0; k < s; ++k) {
    const double* row = p + k * W;
    const double uk = us[k];
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) acc[v] = acc[v] + load(row + v * VL) * uk;
  }
  FAST_UNROLL
  for (int v = 0; v < NV; ++v) g[v] = acc[v];
}

// Update of step s (lanes j < s only when MASKED) fused with the product of
// the next step when NEXT.
template <int NV, bool MASKED, bool NEXT>
FAST_INLINE void acc_update(double* p, int j0, int s, const double* vs, const double* ut, vd* g) {
  constexpr int W = NV * VL;
  const vl lanes = lane_index();
  vl born[NV];
  FAST_UNROLL
  for (int v = 0; v < NV; ++v) born[v] = (lanes + (j0 + v * VL)) < s;
  vd acc[NV];
  FAST_UNROLL
  for (int v = 0; v < NV; ++v) acc[v] = vd{};
  for (int k = 0; k < s; ++k) {
    double* row = p + k * W;
    const double vk = vs[k];
    const double uk = NEXT ? ut[k] : 0.0;
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) {
      vd x = load(row + v * VL);
      vd y = x - g[v] * vk;
      if (MASKED) y = born[v] ? y : x;
      store(row + v * VL, y);
      if (NEXT) acc[v] = acc[v] + y * uk;
    }
  }
  if (NEXT) {
    // The last term of the next product: row s, which step s leaves alone.
    const double* row = p + s * W;
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) g[v] = acc[v] + load(row + v * VL) * ut[s];
  }
}

template <int NV>
FAST_INLINE void acc_block(double* a, long ld, int j0, int s0, int s1, const double* U, const double* V, long uvld,
                           const unsigned char* active, double* p) {
  constexpr int W = NV * VL;
  if (j0 >= s1 - 1) return;  // born after every step of the group
  for (int k = 0; k < s1; ++k) {
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) store(p + k * W + v * VL, load(a + k * ld + j0 + v * VL));
  }
  vd g[NV];
  bool have = false;  // g holds the products of step s
  for (int s = s0; s < s1; ++s) {
    if (!active[s - s0] || j0 >= s) {
      have = false;
      continue;
    }
    if (!have) acc_dot<NV>(p, s, U + (s - s0) * uvld, g);
    const int t = s + 1;
    const bool next = t < s1 && active[t - s0];
    const bool masked = j0 + W > s;
    const double* vs = V + (s - s0) * uvld;
    const double* ut = next ? U + (t - s0) * uvld : nullptr;
    if (masked) {
      if (next) {
        acc_update<NV, true, true>(p, j0, s, vs, ut, g);
      } else {
        acc_update<NV, true, false>(p, j0, s, vs, ut, g);
      }
    } else {
      if (next) {
        acc_update<NV, false, true>(p, j0, s, vs, ut, g);
      } else {
        acc_update<NV, false, false>(p, j0, s, vs, ut, g);
      }
    }
    have = next;
  }
  for (int k = 0; k < s1; ++k) {
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) store(a + k * ld + j0 + v * VL, load(p + k * W + v * VL));
  }
}

// The same for single columns (the lanes left over at the end of a range).
FAST_INLINE void acc_column(double* a, long ld, int j, int s0, int s1, const double* U, const double* V, long uvld,
                            const unsigned char* active) {
  for (int s = s0; s < s1; ++s) {
    if (!active[s - s0] || j >= s) continue;
    const double* us = U + (s - s0) * uvld;
    const double* vs = V + (s - s0) * uvld;
    double g = 0.0;
    for (int k = 0; k < s; ++k) g = g + a[k * ld + j] * us[k];
    for (int k = 0; k < s; ++k) a[k * ld + j] = a[k * ld + j] - g * vs[k];
  }
}

static void accumulate_columns(double* a, long ld, int j0, int j1, int s0, int s1, const double* U, const double* V,
                               long uvld, const unsigned char* active, double* scratch) {
  constexpr int kVectors = kPanel / VL;
  int j = j0;
  for (; j + kPanel <= j1; j += kPanel) acc_block<kVectors>(a, ld, j, s0, s1, U, V, uvld, active, scratch);
  for (; j + VL <= j1; j += VL) acc_block<1>(a, ld, j, s0, s1, U, V, uvld, active, scratch);
  for (; j < j1; ++j) acc_column(a, ld, j, s0, s1, U, V, uvld, active);
}

// ---------------------------------------------------------------------------
// QL rotations, replayed on rows [r0, r1) of the matrix. A sweep applies
// rotations to the column pairs (top, top+1), (top-1, top), ... in that
// order; for every row k:
//   f = a(k, i+1); a(k, i+1) = s a(k, i) + c f; a(k, i) = c a(k, i) - s f.
// The new a(k, i) is the f of the next rotation, so it stays in a register.

// A block of NV * VL rows is packed as p[c * R + (r - r0)] for the columns
// the sweeps touch, so that consecutive columns are consecutive lines.

template <int NV>
FAST_INLINE void rotate_block(double* p, const RotationSweep* sweeps, int nsweeps, const double* cs,
                              const double* sn) {
  constexpr int R = NV * VL;
  for (int w = 0; w < nsweeps; ++w) {
    const RotationSweep& sw = sweeps[w];
    const double* c = cs + sw.first;
    const double* s = sn + sw.first;
    vd f[NV];
    double* hi = p + (sw.top + 1) * R;
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) f[v] = load(hi + v * VL);
    for (int t = 0; t < sw.count; ++t) {
      double* lo = hi - R;
      const double ct = c[t];
      const double st = s[t];
      FAST_UNROLL
      for (int v = 0; v < NV; ++v) {
        vd x = load(lo + v * VL);
        store(hi + v * VL, x * st + f[v] * ct);
        f[v] = x * ct - f[v] * st;
      }
      hi = lo;
    }
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) store(hi + v * VL, f[v]);
  }
}

FAST_INLINE void rotate_row(double* a, long ld, int r, const RotationSweep* sweeps, int nsweeps, const double* cs,
                            const double* sn) {
  for (int w = 0; w < nsweeps; ++w) {
    const RotationSweep& sw = sweeps[w];
    const double* c = cs + sw.first;
    const double* s = sn + sw.first;
    double* hi = a + (sw.top + 1) * ld + r;
    double f = *hi;
    for (int t = 0; t < sw.count; ++t) {
      double* lo = hi - ld;
      double x = *lo;
      *hi = s[t] * x + c[t] * f;
      f = c[t] * x - s[t] * f;
      hi = lo;
    }
    *hi = f;
  }
}

template <int NV>
FAST_INLINE void rotate_packed(double* a, long ld, int ncols, int r, const RotationSweep* sweeps, int nsweeps,
                               const double* cs, const double* sn, double* p) {
  constexpr int R = NV * VL;
  for (int c = 0; c < ncols; ++c) {
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) store(p + c * R + v * VL, load(a + c * ld + r + v * VL));
  }
  rotate_block<NV>(p, sweeps, nsweeps, cs, sn);
  for (int c = 0; c < ncols; ++c) {
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) store(a + c * ld + r + v * VL, load(p + c * R + v * VL));
  }
}

static void rotate_rows(double* a, long ld, int ncols, int r0, int r1, const RotationSweep* sweeps, int nsweeps,
                        const double* cs, const double* sn, double* scratch) {
  constexpr int kVectors = kPanel / VL;  // four chains or more hide the latency of each rotation
  int r = r0;
  for (; r + kPanel <= r1; r += kPanel) rotate_packed<kVectors>(a, ld, ncols, r, sweeps, nsweeps, cs, sn, scratch);
  for (; r + VL <= r1; r += VL) rotate_packed<1>(a, ld, ncols, r, sweeps, nsweeps, cs, sn, scratch);
  for (; r < r1; ++r) rotate_row(a, ld, r, sweeps, nsweeps, cs, sn);
}

// ---------------------------------------------------------------------------
// Cross products for the correlation check: c(r, s) = sum over t = 0..k-1,
// increasing, from 0, of at(r, t) b(t, s), for r in [r0, r1) and s in
// [s0, s1). `at` is the transposed matrix (at(r, t) at at[t * ld + r]), so a
// vector of consecutive r is contiguous; each lane is one element c(r, s).

template <int NV, int NS>
FAST_INLINE void cross_block(const double* at, const double* b, double* c, long ld, int k, int r, int s) {
  vd acc[NV][NS];
  FAST_UNROLL
  for (int v = 0; v < NV; ++v) {
    FAST_UNROLL
    for (int w = 0; w < NS; ++w) acc[v][w] = vd{};
  }
  const double* bs[NS];
  FAST_UNROLL
  for (int w = 0; w < NS; ++w) bs[w] = b + (s + w) * ld;
  for (int t = 0; t < k; ++t) {
    const double* col = at + t * ld + r;
    vd x[NV];
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) x[v] = load(col + v * VL);
    FAST_UNROLL
    for (int w = 0; w < NS; ++w) {
      const double y = bs[w][t];
      FAST_UNROLL
      for (int v = 0; v < NV; ++v) acc[v][w] = acc[v][w] + x[v] * y;
    }
  }
  FAST_UNROLL
  for (int w = 0; w < NS; ++w) {
    FAST_UNROLL
    for (int v = 0; v < NV; ++v) store(c + (s + w) * ld + r + v * VL, acc[v][w]);
  }
}

FAST_INLINE void cross_one(const double* at, const double* b, double* c, long ld, int k, int r, int s) {
  double sum = 0.0;
  for (int t = 0; t < k; ++t) sum = sum + at[t * ld + r] * b[s * ld + t];
  c[s * ld + r] = sum;
}

static void cross_products(const double* at, const double* b, double* c, long ld, int k, int r0, int r1, int s0,
                           int s1) {
  constexpr int kVectors = 32 / VL > 4 ? 4 : 32 / VL;
  int r = r0;
  for (; r + kVectors * VL <= r1; r += kVectors * VL) {
    int s = s0;
    for (; s + 4 <= s1; s += 4) cross_block<kVectors, 4>(at, b, c, ld, k, r, s);
    for (; s < s1; ++s) cross_block<kVectors, 1>(at, b, c, ld, k, r, s);
  }
  for (; r + VL <= r1; r += VL) {
    for (int s = s0; s < s1; ++s) cross_block<1, 1>(at, b, c, ld, k, r, s);
  }
  for (; r < r1; ++r) {
    for (int s = s0; s < s1; ++s) cross_one(at, b, c, ld, k, r, s);
  }
}

// ---------------------------------------------------------------------------

static const FastKernels kKernels = {
    householder_pass, accumulate_columns, rotate_rows, cross_products,
};

#undef FAST_INLINE
#undef FAST_UNROLL
