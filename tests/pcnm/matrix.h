// Column-major test matrices stored with a leading dimension larger than
// their order and NaN in the rows beyond it, so that a kernel that mixes up
// order and leading dimension poisons its results.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ortelix::pcnm {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using Rows = std::vector<std::vector<double>>;

struct Matrix {
  int n = 0, ld = 0;
  std::vector<double> a;

  explicit Matrix(int order = 0, int padding = 3) : n(order), ld(order + padding), a(std::size_t(ld) * order, kNaN) {
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= n; ++i) (*this)(i, j) = 0.0;
    }
  }
  static Matrix of(const Rows& rows) {
    Matrix m(static_cast<int>(rows.size()));
    for (int i = 1; i <= m.n; ++i) {
      for (int j = 1; j <= m.n; ++j) m(i, j) = rows[i - 1][j - 1];
    }
    return m;
  }
  double& operator()(int i, int j) { return a[std::size_t(j - 1) * ld + (i - 1)]; }  // 1-based
  double operator()(int i, int j) const { return a[std::size_t(j - 1) * ld + (i - 1)]; }
  void sym(int i, int j, double v) { (*this)(i, j) = (*this)(j, i) = v; }
};

// Bitwise, except that any NaN equals any NaN (payloads may differ with the
// order of the operands of a commutative operation).
inline ::testing::AssertionResult same_bits(const std::vector<double>& want, const std::vector<double>& got,
                                            const std::string& what) {
  if (want.size() != got.size()) return ::testing::AssertionFailure() << what << ": sizes differ";
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(want[i]) != std::bit_cast<std::uint64_t>(got[i]) &&
        !(std::isnan(want[i]) && std::isnan(got[i]))) {
      return ::testing::AssertionFailure() << what << " differs at " << i << ": " << want[i] << " against " << got[i];
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace ortelix::pcnm
