// Powers by repeated squaring. The worked polynomial runs cannot tell this
// order of products from a left-to-right one: their coordinates are exact
// in binary or their last bits fall outside the printed digits.
#include <vector>

#include <gtest/gtest.h>

#include "poly/monomials.h"

namespace ortelix::poly {
namespace {

template <typename T>
std::vector<T> powers(T v) {
  std::vector<T> p;
  for (int e = 0; e <= 5; ++e) p.push_back(power(v, e));
  return p;
}

// v^2 = 1*(v*v), v^3 = v*(v*v), v^4 = 1*((v*v)*(v*v)), v^5 = v*((v*v)*(v*v)),
// in the precision of v; for some of these v a product taken left to right
// differs in the last bit, which the guard makes sure of.
TEST(Power, RepeatedSquaringInThePrecisionOfTheValue) {
  bool some_differ = false;
  for (double v : {1.1, 0.3, -0.7, 1.3, 0.123456789, -2.5}) {
    const double s = v * v, q = s * s;
    const float f = static_cast<float>(v), fs = f * f, fq = fs * fs;
    EXPECT_EQ(std::vector<double>({1, v, s, v * s, q, v * q}), powers(v)) << v;
    EXPECT_EQ(std::vector<float>({1, f, fs, f * fs, fq, f * fq}), powers(f)) << v;
    some_differ = some_differ || q != ((v * v) * v) * v || v * q != (((v * v) * v) * v) * v;
  }
  EXPECT_TRUE(some_differ);
}

}  // namespace
}  // namespace ortelix::poly
