// The short path of the variable-file writer against the general text
// engine: Fw.d fields (exact ties, the dropped leading zero, minus zero,
// asterisks, extreme and non-finite values) and records of "(rFw.d)"
// formats (reversion, the last partial record, no values at all).

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

TEST(WriterBitIdentity, FixedFieldsAsTheGeneralEditing) {
  const double inf = std::numeric_limits<double>::infinity();
  // 0.0078125 and 0.0234375 are ties at six decimals; 9999.9999996 rounds
  // past F11.6; 4503599627370495.5 is the last double with a half.
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 0.0078125, 0.0234375, -0.0078125, 0.00000049999999999999999,
                                0.0000005, -0.0000004, -0.0000006, 0.9999995, 999.9999995, -999.9999995, 9999.9999994,
                                9999.9999996, -1000.0, 10000.0, 123456.789, 0.1, 0.3, 2.675, 1e-300, 5e-324,
                                4503599627370495.5, 4503599627370496.0, 1e20, 1e300, inf, -inf,
                                std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 rng(17);
  for (int d = 0; d <= 8; ++d) {  // exact ties at d decimals are odd multiples of 2^-(d+1)
    for (int i = 0; i < 300; ++i) {
      const double tie = std::ldexp(static_cast<double>(2 * (rng() % 2000000) + 1), -(d + 1));
      for (double v : {tie, -tie, std::nextafter(tie, 0.0), std::nextafter(tie, inf)}) values.push_back(v);
    }
  }
  std::uniform_real_distribution<double> exponent(-12.0, 7.0);
  for (int i = 0; i < 20000; ++i) values.push_back((i % 2 ? -1 : 1) * std::pow(10.0, exponent(rng)));
  for (auto [w, d] : {std::pair{11, 6}, {10, 5}, {12, 7}, {12, 6}, {15, 5}, {5, 0}, {6, 4}, {3, 1}, {1, 0}, {2, 1},
                      {7, 4}, {20, 9}, {30, 18}, {25, 19}}) {
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
  for (const char* format : {"(2000F11.6)", "(11F11.6)", "(12F10.5)", "(10F12.7)", "(3F5.1)"}) {
    for (int count = 0; count <= 25; ++count) {
      std::vector<double> v(count);
      for (double& x : v) x = spread(rng) / (1 + rng() % 1000);
      StringSink want, got;
      FormattedWrite w(format_of(format), want);
      for (double x : v) w.put(x);
      w.finish();
      RepeatedFixed(format).write(got, v.data(), count);
      EXPECT_EQ(want.records, got.records) << format << " with " << count << " values";
    }
  }
  for (const char* format : {"(1X,8F12.6)", "(10('PCNM',I2,2X,:))", "(2(F5.1))", "(F5.1,I2)", "('x',3F5.1)"}) {
    EXPECT_FALSE(RepeatedFixed(format).valid()) << format;
  }
}

}  // namespace
}  // namespace ortelix::textio
