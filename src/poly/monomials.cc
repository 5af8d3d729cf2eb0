#include "poly/monomials.h"

namespace ortelix::poly {

std::int32_t monomial_count(std::int32_t p, std::int32_t order) {
  if (p == 1) return order;
  return (order + 1) * (order + 2) / 2 - 1;
}

void centre(double* x, std::int32_t n, std::int32_t p, std::int32_t ld) {
  const long l = ld;
  for (long j = 0; j < p; ++j) {
    double* col = x + j * l;
    double sum = 0.0;
    for (long i = 0; i < n; ++i) sum = sum + col[i];
    double mean = sum / static_cast<double>(n);
    for (long i = 0; i < n; ++i) col[i] = col[i] - mean;
  }
}

void transect_monomials(double* x, std::int32_t n, std::int32_t order, std::int32_t ld) {
  const long l = ld;
  for (long i = 0; i < n; ++i) {
    double v = x[i];
    for (long j = 1; j <= order; ++j) x[(j - 1) * l + i] = power(v, static_cast<int>(j));
  }
}

void surface_monomials(double* x, std::int32_t n, std::int32_t order, std::int32_t ld) {
  const long l = ld;
  for (long i = 0; i < n; ++i) {
    // Both coordinates are taken before the row is overwritten.
    float fx = static_cast<float>(x[i]);
    float fy = static_cast<float>(x[l + i]);
    long c = 0;
    for (int a = 0; a <= order; ++a) {
      for (int b = 0; b <= order; ++b) {
        if (a + b < 1 || a + b > order) continue;
        float value;
        if ((fx == 0.0f && fy == 0.0f) || (fx == 0.0f && a > 0) || (fy == 0.0f && b > 0)) {
          value = 0.0f;
        } else if (fx == 0.0f) {
          value = power(fy, b);
        } else if (fy == 0.0f) {
          value = power(fx, a);
        } else {
          value = power(fx, a) * power(fy, b);
        }
        x[c * l + i] = static_cast<double>(value);
        ++c;
      }
    }
  }
}

}  // namespace ortelix::poly
