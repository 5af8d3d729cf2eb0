// The short path of the variable-file writer against the general text
// engine, character for character: single Fw.d fields (exact decimal ties,
// the dropped leading zero, minus zero, asterisks, huge, tiny and
// non-finite values, many widths), and whole records of "(rFw.d)" formats
// against a FormattedWrite of the same values (reversion to new records,
// the last partial record, no values at all).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "textio/edit_output.h"
#include "textio/fixed_fast.h"
#include "textio/format.h"
#include "textio/formatted_write.h"
#include "textio/record_sink.h"

namespace ortelix::textio {
namespace {

std::vector<double> hard_values() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {0.0,
                           -0.0,
                           1.0,
                           -1.0,
                           0.5,
                           0.0078125,    // 7812.5 millionths: a tie, rounds to even
                           0.0234375,    // 23437.5: a tie, rounds up to even
                           -0.0078125,
                           0.00000049999999999999999,
                           0.0000005,
                           -0.0000004,   // rounds to zero: no minus sign
                           -0.0000006,
                           0.9999995,
                           999.9999995,
                           -999.9999995,
                           9999.9999994,
                           9999.9999996,  // rounds to 10000.000000: too wide for F11.6
                           -1000.0,
                           10000.0,
                           123456.789,
                           0.1,
                           0.3,
                           2.675,
                           1e-300,
                           5e-324,        // the smallest subnormal
                           4503599627370495.5,
                           4503599627370496.0,
                           1e20,
                           1e300,
                           inf,
                           -inf,
                           std::numeric_limits<double>::quiet_NaN()};
  // Exact ties at d decimals are odd multiples of 2^-(d+1); cover d = 0..8.
  std::mt19937_64 rng(17);
  for (int d = 0; d <= 8; ++d) {
    for (int i = 0; i < 300; ++i) {
      double odd = static_cast<double>(2 * (rng() % 2000000) + 1);
      double tie = std::ldexp(odd, -(d + 1));
      v.push_back(tie);
      v.push_back(-tie);
      v.push_back(std::nextafter(tie, 0.0));
      v.push_back(std::nextafter(tie, inf));
    }
  }
  // Every magnitude from 1e-12 to 1e7.
  std::uniform_real_distribution<double> exponent(-12.0, 7.0);
  for (int i = 0; i < 20000; ++i) {
    double x = std::pow(10.0, exponent(rng));
    v.push_back(i % 2 ? -x : x);
  }
  return v;
}

TEST(WriterBitIdentity, FixedFieldsAsTheGeneralEditing) {
  const std::vector<double> values = hard_values();
  const std::pair<int, int> fields[] = {{11, 6}, {10, 5}, {12, 7}, {12, 6}, {15, 5}, {5, 0}, {6, 4},
                                        {3, 1},  {1, 0},  {2, 1},  {7, 4},  {20, 9}, {30, 18}, {25, 19}};
  for (auto [w, d] : fields) {
    for (double x : values) {
      std::string want, got;
      edit_fixed(want, x, w, d);
      edit_fixed_fast(got, x, w, d);
      ASSERT_EQ(want, got) << "F" << w << "." << d << " of " << std::hexfloat << x;
    }
  }
}

TEST(WriterBitIdentity, RecordsAsAFormattedWrite) {
  std::mt19937_64 rng(23);
  std::normal_distribution<double> spread(0.0, 3000.0);
  for (const char* format : {"(2000F11.6)", "(11F11.6)", "(12F10.5)", "(10F12.7)", "(2000F12.7)", "(3F5.1)"}) {
    RepeatedFixed fast(format);
    ASSERT_TRUE(fast.valid()) << format;
    for (int count = 0; count <= 25; ++count) {
      std::vector<double> v(count);
      for (double& x : v) x = spread(rng) / (1 + rng() % 1000);
      StringSink want, got;
      {
        FormattedWrite w(format_of(format), want);
        for (double x : v) w.put(x);
        w.finish();
      }
      fast.write(got, v.data(), count);
      EXPECT_EQ(want.records, got.records) << format << " with " << count << " values";
    }
  }
}

TEST(WriterBitIdentity, OtherFormatsAreLeftToTheGeneralEngine) {
  for (const char* format : {"(1X,8F12.6)", "(10('PCNM',I2,2X,:))", "(2(F5.1))", "(F5.1,I2)", "(5I3)", "('x',3F5.1)"}) {
    EXPECT_FALSE(RepeatedFixed(format).valid()) << format;
  }
}

}  // namespace
}  // namespace ortelix::textio
