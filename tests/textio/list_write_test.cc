// Free-format output: the text of real items, and where lines wrap.
#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "textio/edit_output.h"
#include "textio/list_write.h"

namespace ortelix::textio {
namespace {

using Records = std::vector<std::string>;
using Item = std::variant<std::string, std::int64_t, double>;

Records say(const std::vector<Item>& items) {
  StringSink sink;
  ListWrite w(sink);
  for (const Item& item : items) {
    if (auto* t = std::get_if<std::string>(&item)) w.text(*t);
    if (auto* i = std::get_if<std::int64_t>(&item)) w.integer(*i);
    if (auto* r = std::get_if<double>(&item)) w.real(*r);
  }
  w.finish();
  return sink.records;
}

Item text(std::string s) { return Item(std::move(s)); }
Item text(std::size_t n, char c) { return Item(std::string(n, c)); }
Item integer(std::int64_t i) { return Item(i); }
Item real(double r) { return Item(r); }

TEST(ListRealText, NineSignificantDigitsShortestForm) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {2.0, "  2."},
      {0.0, "  0."},
      {-0.0, "  0."},
      {0.25, "  0.25"},
      {-2.5, " -2.5"},
      {0.1, "  0.1"},
      {1.0 / 3.0, "  0.333333333"},
      {-2.0 / 3.0, " -0.666666667"},
      {9.99999985098839, "  9.99999985"},
      {static_cast<double>(0.4f), "  0.400000006"},  // 0.4000000059604644775...
      {4 * static_cast<double>(0.1f), "  0.400000006"},
      {123456.789, "  123456.789"},
      {1234567.891, "  1234567.89"},
      // Fixed notation from exponent 8 down to -4 of the rounded value.
      {1e8, "  100000000."},
      {123456789.4, "  123456789."},
      {99999999.95, "  100000000."},  // 99999999.950000003 rounds within exponent 8
      {1e9, "  1.E+09"},
      {999999999.5, "  1.E+09"},  // an exact tie; 999999999 is odd, so up
      {999999998.5, "  999999998."},  // an exact tie down to the even digit
      {1e10, "  1.E+10"},
      {-1.5e10, " -1.5E+10"},
      {1e-4, "  0.0001"},
      {1.5e-4, "  0.00015"},
      {9.99999994e-5, "  9.99999994E-05"},
      {9.999999996e-5, "  0.0001"},
      {1e-5, "  1.E-05"},
      {1.5e-5, "  1.5E-05"},
      {-1.5e-5, " -1.5E-05"},
      {1e100, "  1.E+100"},
      {1e-100, "  1.E-100"},
      {1.7976931348623157e308, "  1.79769313E+308"},
      {5e-324, "  4.94065646E-324"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.text, list_real_text(c.value)) << c.value;
  }
}

TEST(ListWrite, ItemsOnOneLine) {
  EXPECT_EQ(Records({""}), say({}));
  EXPECT_EQ(Records({" Maximum number =  2000"}), say({text("Maximum number = "), integer(2000)}));
  EXPECT_EQ(Records({" Bs/rangmax =  0.25"}), say({text("Bs/rangmax ="), real(0.25)}));
  EXPECT_EQ(Records({" Constructing a polynomial of order  3"}),
            say({text("Constructing a polynomial of order "), integer(3)}));
  EXPECT_EQ(Records({" 7"}), say({integer(7)}));
  EXPECT_EQ(Records({" -17 -2147483648"}), say({integer(-17), integer(std::numeric_limits<std::int32_t>::min())}));
  EXPECT_EQ(Records({"  2. -1. 0"}), say({real(2.0), real(-1.0), integer(0)}));
  // Texts join without a blank of their own; trailing blanks are kept.
  EXPECT_EQ(Records({" 3 objects"}), say({integer(3), text(" objects")}));
  EXPECT_EQ(Records({" ab  cd "}), say({text("ab  "), text("cd ")}));
  EXPECT_EQ(Records({" "}), say({text("")}));
}

TEST(ListWrite, TextWrapsWhenTheLineWouldReachEighty) {
  const std::string a77(77, 'a'), a78(78, 'a');
  // 78 + 1 = 79 stays; then 79 + 1 = 80 wraps.
  EXPECT_EQ(Records({" " + a77 + "b", " c"}), say({text(a77), text("b"), text("c")}));
  EXPECT_EQ(Records({" " + a78, " xy"}), say({text(a78), text("xy")}));
  // Longer than the limit: alone on its line, never split, and what follows
  // starts a new line.
  const std::string t90(90, 't');
  EXPECT_EQ(Records({" xxxxx", " " + t90, " z"}), say({text("xxxxx"), text(t90), text("z")}));
  EXPECT_EQ(Records({" " + std::string(100, 'q')}), say({text(100, 'q')}));
  // A 79-character name variable counts with its trailing blanks.
  const std::string name = "out.txt" + std::string(72, ' ');
  EXPECT_EQ(Records({" written out to file ", " " + name}), say({text("written out to file "), text(name)}));
  // 21 + 58 = 79 stays on the line.
  EXPECT_EQ(Records({" written out to file " + std::string(58, 'n')}),
            say({text("written out to file "), text(58, 'n')}));
}

TEST(ListWrite, IntegerWrapCountsDigitsOnly) {
  const std::string a77(77, 'a'), a78(78, 'a');
  // After 78 characters a one-digit integer stays: the line becomes 80.
  Records stays = say({text(a77), integer(5)});
  EXPECT_EQ(Records({" " + a77 + " 5"}), stays);
  EXPECT_EQ(80u, stays[0].size());
  // The sign does not count either: 81 characters.
  EXPECT_EQ(Records({" " + a77 + " -5"}), say({text(a77), integer(-5)}));
  // After 79 characters it starts a new line.
  EXPECT_EQ(Records({" " + a78, " 5"}), say({text(a78), integer(5)}));
  EXPECT_EQ(Records({" " + a77, " 12"}), say({text(a77), integer(12)}));
  // A text after a wrapped integer joins it.
  EXPECT_EQ(Records({" " + a78, " 5 objects"}), say({text(a78), integer(5), text(" objects")}));
}

TEST(ListWrite, RealWrapCountsItsTwoLeadingCharacters) {
  const std::string a74(74, 'a'), a75(75, 'a');
  // "  2." is four characters: 75 + 4 = 79 stays, 76 + 4 = 80 wraps.
  EXPECT_EQ(Records({" " + a74 + "  2."}), say({text(a74), real(2.0)}));
  EXPECT_EQ(Records({" " + a75, "  2."}), say({text(a75), real(2.0)}));
  EXPECT_EQ(Records({" " + a74, " -2.5"}), say({text(a74), real(-2.5)}));
  // Twenty reals of "  0.25": 13 fit (78), the 14th would make 84.
  std::vector<Item> many(20, real(0.25));
  std::string thirteen, seven;
  for (int i = 0; i < 13; ++i) thirteen += "  0.25";
  for (int i = 0; i < 7; ++i) seven += "  0.25";
  EXPECT_EQ(Records({thirteen, seven}), say(many));
}

}  // namespace
}  // namespace ortelix::textio
