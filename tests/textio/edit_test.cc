// Field editing of single items: Fw.d, Iw, Aw. Every expected field is
// worked out from the editing rules; where a rounding depends on the exact
// binary value, that value is written next to the case.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "textio/edit_output.h"

namespace ortelix::textio {
namespace {

std::string fixed(double v, int w, int d) {
  std::string s = "<";  // a prefix shows that the editor appends
  edit_fixed(s, v, w, d);
  return s.substr(1);
}

struct FixedCase {
  double value;
  int w, d;
  const char* field;
};

TEST(EditFixed, WidthDecimalsSignAndLeadingZero) {
  const FixedCase cases[] = {
      {0.5, 10, 5, "   0.50000"},
      {-2.25, 10, 5, "  -2.25000"},
      {3.0, 5, 0, "   3."},
      {12.0, 4, 0, " 12."},
      {0.123456, 7, 4, " 0.1235"},
      {1.0, 7, 4, " 1.0000"},
      {-0.25, 7, 4, "-0.2500"},
      {1234.0, 10, 5, "1234.00000"},
      {0.0, 10, 5, "   0.00000"},
      {0.0, 5, 0, "   0."},
      // Rounding that carries into a new integer digit.
      {9.9996, 6, 3, "10.000"},
      {0.99996, 6, 4, "1.0000"},
      {-9.9996, 7, 3, "-10.000"},
      // The F15.5 sums and F10.2 time of the run report.
      {1234567.123456, 15, 5, "  1234567.12346"},
      {-0.000004, 15, 5, "        0.00000"},
      {12.345, 10, 2, "     12.35"},  // 12.3450000000000006394884621840901672840118408203125
  };
  for (const FixedCase& c : cases) {
    EXPECT_EQ(c.field, fixed(c.value, c.w, c.d)) << c.value << " F" << c.w << "." << c.d;
  }
}

TEST(EditFixed, NegativeThatRoundsToZeroHasNoSign) {
  const FixedCase cases[] = {
      {-0.000001, 10, 5, "   0.00000"},
      {-0.0004, 10, 3, "     0.000"},
      {-0.0, 5, 2, " 0.00"},
      {-0.4, 3, 0, " 0."},
      {-0.5, 3, 0, " 0."},    // exact tie, the even digit is 0
      {-0.0005, 6, 3, "-0.001"},  // -0.0005000000000000000104... is past the tie
      {-0.00049, 6, 3, " 0.000"},
  };
  for (const FixedCase& c : cases) {
    EXPECT_EQ(c.field, fixed(c.value, c.w, c.d)) << c.value << " F" << c.w << "." << c.d;
  }
}

TEST(EditFixed, OverflowDropsLeadingZeroOnlyWhenThatAloneFits) {
  const FixedCase cases[] = {
      {123456789.0, 12, 3, "************"},
      {123456.0, 10, 5, "**********"},
      // One column short, but the first character is not the leading zero.
      {12345.0, 10, 5, "**********"},
      {-1234.0, 10, 5, "**********"},
      // One column short and the leading zero can go.
      {-0.25, 6, 4, "-.2500"},
      {0.25, 5, 4, ".2500"},
      {-0.5, 6, 4, "-.5000"},
      // Two columns short: asterisks even without the zero.
      {-0.25, 5, 4, "*****"},
      {0.25, 4, 4, "****"},
      {0.25, 6, 4, "0.2500"},
      {1e300, 10, 2, "**********"},
      {-1.7976931348623157e308, 12, 7, "************"},
  };
  for (const FixedCase& c : cases) {
    EXPECT_EQ(c.field, fixed(c.value, c.w, c.d)) << c.value << " F" << c.w << "." << c.d;
  }
}

TEST(EditFixed, ExactTiesGoToEvenOthersFollowTheBinaryValue) {
  const FixedCase cases[] = {
      {0.125, 5, 2, " 0.12"},
      {0.375, 5, 2, " 0.38"},
      {0.625, 5, 2, " 0.62"},
      {2.5, 3, 0, " 2."},
      {3.5, 3, 0, " 4."},
      {1.5, 3, 0, " 2."},
      {-2.5, 3, 0, "-2."},
      {0.25, 4, 1, " 0.2"},
      // Not ties: the decimal literal is not the binary value.
      {0.15, 4, 1, " 0.1"},    // 0.1499999999999999944...
      {0.35, 4, 1, " 0.3"},    // 0.3499999999999999777...
      {0.45, 4, 1, " 0.5"},    // 0.4500000000000000111...
      {2.675, 5, 2, " 2.67"},  // 2.6749999999999998223...
      {0.1, 12, 10, "0.1000000000"},
      {0.1, 22, 20, "0.10000000000000000555"},  // 0.1000000000000000055511151...
  };
  for (const FixedCase& c : cases) {
    EXPECT_EQ(c.field, fixed(c.value, c.w, c.d)) << c.value << " F" << c.w << "." << c.d;
  }
}

TEST(EditFixed, NonFiniteValuesFillTheFieldWithAsterisks) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ("**********", fixed(nan, 10, 5));
  EXPECT_EQ("**********", fixed(-nan, 10, 5));
  EXPECT_EQ("***********", fixed(inf, 11, 6));
  EXPECT_EQ("************", fixed(-inf, 12, 7));
  EXPECT_EQ("*", fixed(inf, 1, 0));
}

TEST(EditFixed, SinglePrecisionItemsAreWidenedNotReconverted) {
  // 0.1f is 0.100000001490116119384765625; a detour through a short decimal
  // form would give 0.1000000000.
  EXPECT_EQ("0.1000000015", fixed(static_cast<double>(0.1f), 12, 10));
  EXPECT_EQ("      1.50", fixed(static_cast<double>(1.5f), 10, 2));
}

TEST(EditInteger, RightJustifiedSignedOrAsterisks) {
  struct Case {
    std::int64_t value;
    int w;
    const char* field;
  } cases[] = {
      {100, 2, "**"},
      {99, 2, "99"},
      {0, 4, "   0"},
      {7, 2, " 7"},
      {-12, 4, " -12"},
      {-12, 3, "-12"},
      {-12, 2, "**"},
      {-1, 2, "-1"},
      {2000, 7, "   2000"},
      {10, 6, "    10"},
      {std::numeric_limits<std::int32_t>::min(), 11, "-2147483648"},
      {std::numeric_limits<std::int32_t>::min(), 7, "*******"},
      {std::numeric_limits<std::int32_t>::max(), 10, "2147483647"},
  };
  for (const Case& c : cases) {
    std::string s = "<";
    edit_integer(s, c.value, c.w);
    EXPECT_EQ(std::string("<") + c.field, s) << c.value << " I" << c.w;
  }
}

TEST(EditAlpha, PaddedOnTheLeftOrCutOnTheRight) {
  const std::string name79 = "sites.txt" + std::string(70, ' ');
  struct Case {
    std::string text;
    int w;
    std::string field;
  } cases[] = {
      {"abc", 5, "  abc"},
      {"ab", 3, " ab"},
      {"abc", 3, "abc"},
      {"abcdef", 3, "abc"},
      {"", 2, "  "},
      {name79, 30, "sites.txt" + std::string(21, ' ')},
      {std::string(30, 'n') + "tail", 30, std::string(30, 'n')},
  };
  for (const Case& c : cases) {
    std::string s = "<";
    edit_alpha(s, c.text, c.w);
    EXPECT_EQ("<" + c.field, s) << "'" << c.text << "' A" << c.w;
  }
}

}  // namespace
}  // namespace ortelix::textio
