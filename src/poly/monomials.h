// Monomials of the centred coordinates: x, x^2, ... for a transect; every
// x^a y^b of degree 1 to the order for a surface.
#pragma once

#include <cstdint>

namespace ortelix::poly {

// Number of monomials of a polynomial of `order` in p = 1 or 2 coordinates:
// the order itself, or (order + 1)(order + 2)/2 - 1.
std::int32_t monomial_count(std::int32_t p, std::int32_t order);

// v^e for e >= 0 by repeated squaring in the precision of v:
// v^2 = 1*(v*v), v^3 = v*(v*v), v^4 = 1*((v*v)*(v*v)), v^5 = v*((v*v)*(v*v)).
template <typename T>
T power(T v, int e) {
  T r = 1;
  T s = v;
  while (e > 0) {
    if (e % 2 == 1) r = r * s;
    e /= 2;
    if (e > 0) s = s * s;
  }
  return r;
}

// Subtracts from each of the p columns of x its mean over rows 1..n (the
// sum in increasing row order, then one division); the second column after
// the first.
void centre(double* x, std::int32_t n, std::int32_t p, std::int32_t ld);

// x(i, j) = x(i, 1)^j for j = 1..order, in double precision.
void transect_monomials(double* x, std::int32_t n, std::int32_t order, std::int32_t ld);

// Replaces each row's two coordinates by its monomials, in single precision
// (each coordinate rounded to float first). Stored for a = 0..order (outer)
// and b = 0..order (inner), keeping 1 <= a + b <= order: for order 2 the
// columns are y, y^2, x, xy, x^2. Zero is never raised to a power: a
// monomial with a zero factor of positive power is exactly 0.
void surface_monomials(double* x, std::int32_t n, std::int32_t order, std::int32_t ld);

}  // namespace ortelix::poly
