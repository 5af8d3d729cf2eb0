// Monomials of the centred coordinates: powers by repeated squaring, the
// transect's 64-bit powers, the surface's single-precision products in
// their storage order, and the rule that zero is never raised to a power.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "poly/monomials.h"

namespace ortelix::poly {
namespace {

constexpr int kLd = 24;

struct Matrix {
  std::vector<double> v = std::vector<double>(kLd * kLd, 0.0);
  double& operator()(int i, int j) { return v[(j - 1) * kLd + (i - 1)]; }
};

// v^4 = 1*((v*v)*(v*v)) and v^5 = v*((v*v)*(v*v)) differ in the last bit
// from a product taken left to right for some v; the test would not tell
// them apart without such a v, hence the guard.
TEST(Power, RepeatedSquaringInThePrecisionOfTheValue) {
  bool some_differ = false;
  for (double v : {1.1, 0.3, -0.7, 1.3, 0.123456789, -2.5}) {
    SCOPED_TRACE(v);
    const double s = v * v, q = s * s;
    EXPECT_EQ(1.0, power(v, 0));
    EXPECT_EQ(v, power(v, 1));
    EXPECT_EQ(s, power(v, 2));
    EXPECT_EQ(v * s, power(v, 3));
    EXPECT_EQ(q, power(v, 4));
    EXPECT_EQ(v * q, power(v, 5));
    some_differ = some_differ || q != ((v * v) * v) * v || v * q != (((v * v) * v) * v) * v;

    const float f = static_cast<float>(v), fs = f * f, fq = fs * fs;
    EXPECT_EQ(fs, power(f, 2));
    EXPECT_EQ(f * fs, power(f, 3));
    EXPECT_EQ(fq, power(f, 4));
    EXPECT_EQ(f * fq, power(f, 5));
  }
  EXPECT_TRUE(some_differ);
}

TEST(Monomials, CountForOneAndTwoCoordinates) {
  for (int order = 2; order <= 5; ++order) EXPECT_EQ(order, monomial_count(1, order));
  EXPECT_EQ(5, monomial_count(2, 2));
  EXPECT_EQ(9, monomial_count(2, 3));
  EXPECT_EQ(14, monomial_count(2, 4));
  EXPECT_EQ(20, monomial_count(2, 5));
}

// Ranged 0, 0.25, 0.5, 0.75, 1 centre to -0.5 ... 0.5; the powers are exact
// in binary. A supplementary row after the n objects is neither centred
// nor counted in the mean.
TEST(Monomials, FivePointTransect) {
  Matrix x;
  for (int i = 1; i <= 5; ++i) x(i, 1) = (i - 1) * 0.25;
  x(6, 1) = 3.0;
  centre(x.v.data(), 5, 1, kLd);
  const double centred[] = {-0.5, -0.25, 0, 0.25, 0.5};
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(centred[i - 1], x(i, 1));
  EXPECT_EQ(3.0, x(6, 1));

  transect_monomials(x.v.data(), 5, 5, kLd);
  for (int i = 1; i <= 5; ++i) {
    const double c = centred[i - 1];
    EXPECT_EQ(c, x(i, 1));
    EXPECT_EQ(c * c, x(i, 2));
    EXPECT_EQ(c * c * c, x(i, 3));
    EXPECT_EQ(c * c * c * c, x(i, 4));
    EXPECT_EQ(c * c * c * c * c, x(i, 5));
  }
  EXPECT_EQ(0.0625, x(2, 2));
  EXPECT_EQ(0.25, x(5, 2));
  EXPECT_EQ(3.0, x(6, 1));
}

// The second coordinate is centred with its own mean, over the n objects.
TEST(Monomials, CentringOfTwoCoordinates) {
  Matrix x;
  const double xy[4][2] = {{1, 10}, {2, 20}, {6, 60}, {100, 100}};
  for (int i = 1; i <= 4; ++i) {
    x(i, 1) = xy[i - 1][0];
    x(i, 2) = xy[i - 1][1];
  }
  centre(x.v.data(), 3, 2, kLd);
  EXPECT_EQ(-2.0, x(1, 1));
  EXPECT_EQ(3.0, x(3, 1));
  EXPECT_EQ(-20.0, x(1, 2));
  EXPECT_EQ(30.0, x(3, 2));
  EXPECT_EQ(100.0, x(4, 1));
}

// Storage: a = 0..order outer, b = 0..order inner, 1 <= a + b <= order;
// x^a y^b in column b when a = 0, else in
// order + sum_{a'=1}^{a-1} (order - a' + 1) + b + 1. With x = 3, y = 5 each
// column holds a distinct whole number, exact in single precision.
TEST(Monomials, SurfaceStorageOrder) {
  // Worked out from the storage rule for orders 2 and 3.
  const std::vector<double> order2 = {5, 25, 3, 15, 9};
  const std::vector<double> order3 = {5, 25, 125, 3, 15, 75, 9, 45, 27};
  for (int order = 2; order <= 5; ++order) {
    SCOPED_TRACE(order);
    Matrix x;
    x(1, 1) = 3;
    x(1, 2) = 5;
    surface_monomials(x.v.data(), 1, order, kLd);
    std::vector<double> want(monomial_count(2, order));
    for (int a = 0; a <= order; ++a) {
      for (int b = 0; a + b <= order; ++b) {
        if (a + b == 0) continue;
        int column = b;
        if (a > 0) {
          column = order;
          for (int a2 = 1; a2 <= a - 1; ++a2) column += order - a2 + 1;
          column += b + 1;
        }
        want[column - 1] = std::pow(3.0, a) * std::pow(5.0, b);
      }
    }
    if (order == 2) {
      EXPECT_EQ(order2, want);
    }
    if (order == 3) {
      EXPECT_EQ(order3, want);
    }
    for (std::size_t c = 0; c < want.size(); ++c) EXPECT_EQ(want[c], x(1, static_cast<int>(c + 1))) << "column " << c + 1;
  }
}

// Each coordinate is rounded to single precision first and every power and
// product is taken in single precision.
TEST(Monomials, SurfaceInSinglePrecision) {
  Matrix x;
  x(1, 1) = 0.1;
  x(1, 2) = -0.3;
  surface_monomials(x.v.data(), 1, 3, kLd);
  const float fx = 0.1f, fy = -0.3f;
  const float want[] = {fy, fy * fy, fy * (fy * fy), fx, fx * fy, fx * (fy * fy), fx * fx, (fx * fx) * fy,
                        fx * (fx * fx)};
  for (int c = 1; c <= 9; ++c) EXPECT_EQ(static_cast<double>(want[c - 1]), x(1, c)) << "column " << c;
  EXPECT_NE(0.01, x(1, 7));  // not the double-precision square
}

// A zero coordinate makes every monomial with a positive power of it
// exactly 0, and leaves the plain powers of the other; so does a
// coordinate too small for single precision.
TEST(Monomials, SurfaceZeroRules) {
  struct Case {
    double x, y;
  };
  for (const Case& c : {Case{0, 0.5}, Case{0.5, 0}, Case{0, 0}, Case{1e-50, 0.5}, Case{-1e-50, -0.5}}) {
    SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
    Matrix m;
    m(1, 1) = c.x;
    m(1, 2) = c.y;
    surface_monomials(m.v.data(), 1, 4, kLd);
    const float fx = static_cast<float>(c.x), fy = static_cast<float>(c.y);
    int column = 0;
    for (int a = 0; a <= 4; ++a) {
      for (int b = 0; a + b <= 4; ++b) {
        if (a + b == 0) continue;
        ++column;
        const bool zero = (fx == 0 && a > 0) || (fy == 0 && b > 0);
        const double got = m(1, column);
        if (zero) {
          EXPECT_EQ(0.0, got) << a << "," << b;
        } else {
          EXPECT_EQ(static_cast<double>(power(fx, a) * power(fy, b)), got) << a << "," << b;
        }
      }
    }
  }
}

// Rows are independent: a second object's monomials do not depend on the
// first being overwritten.
TEST(Monomials, SurfaceRowsFilledInPlace) {
  Matrix x;
  x(1, 1) = 2;
  x(1, 2) = 3;
  x(2, 1) = 5;
  x(2, 2) = 7;
  surface_monomials(x.v.data(), 2, 2, kLd);
  const std::vector<double> row1 = {3, 9, 2, 6, 4}, row2 = {7, 49, 5, 35, 25};
  for (int c = 1; c <= 5; ++c) {
    EXPECT_EQ(row1[c - 1], x(1, c));
    EXPECT_EQ(row2[c - 1], x(2, c));
  }
}

}  // namespace
}  // namespace ortelix::poly
