// The spatial-variable file in its three layouts, written through a real
// unit 12 in a child process: number formats and column sequences, the
// count records, folding, fields too wide for their format, and the Canoco
// label blocks.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "output/in_child.h"
#include "output/spatial_file.h"
#include "textio/units.h"

namespace ortelix::output {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  return out;
}

// x with leading dimension ld; value(i, c) fills object i, column c.
template <typename F>
std::vector<double> matrix(int ld, int rows, int cols, F value) {
  std::vector<double> x(static_cast<std::size_t>(ld) * cols, 0.0);
  for (int c = 1; c <= cols; ++c) {
    for (int i = 1; i <= rows; ++i) x[static_cast<std::size_t>(c - 1) * ld + (i - 1)] = value(i, c);
  }
  return x;
}

std::string written(int n, int p, int nvar, int ld, const std::vector<double>& x, int layout, int method, int order) {
  auto r = testing_support::in_child([&] {
    textio::open_unit(kVariableUnit, "var.txt", textio::Status::kNew);
    if (layout == 3) {
      canocofree(n, p, nvar, ld, x.data(), method, order);
    } else {
      writeout(n, p, nvar, ld, x.data(), layout, method, order);
    }
    textio::close_unit(kVariableUnit);
  });
  EXPECT_EQ(0, r.exit_status);
  return r.files["var.txt"];
}

std::string f(double v, int w, int d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%*.*f", w, d, v);
  return buf;
}

TEST(ValueLayout, FormatsAndColumnSequences) {
  struct Case {
    int p, nvar, method, order;
    const char* one_line;
    const char* folded;
    std::vector<int> columns;
  };
  const Case cases[] = {
      {2, 4, 1, 0, "(2000F11.6)", "(11F11.6)", {1, 2, 3, 4}},
      {7, 3, 1, 5, "(2000F11.6)", "(11F11.6)", {1, 2, 3}},  // order and p are not consulted
      {1, 2, 2, 2, "(2000F10.5)", "(12F10.5)", {1, 2}},
      {1, 3, 2, 3, "(2000F11.6)", "(11F11.6)", {1, 2, 3}},
      {1, 4, 2, 4, "(2000F12.7)", "(10F12.7)", {1, 2, 3, 4}},
      {1, 5, 2, 5, "(2000F12.7)", "(10F12.7)", {1, 2, 3, 4, 5}},
      {2, 99, 2, 2, "(2000F10.5)", "(12F10.5)", {3, 1, 5, 4, 2}},  // nvar is not consulted
      {2, 9, 2, 3, "(2000F11.6)", "(11F11.6)", {4, 1, 7, 5, 2, 9, 8, 6, 3}},
      {2, 14, 5, 4, "(2000F12.7)", "(10F12.7)", {5, 1, 9, 6, 2, 12, 10, 7, 3, 14, 13, 11, 8, 4}},
      {2, 20, 2, 5, "(2000F12.7)", "(10F12.7)",
       {6, 1, 11, 7, 2, 15, 12, 8, 3, 18, 16, 13, 9, 4, 20, 19, 17, 14, 10, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("p " + std::to_string(c.p) + " method " + std::to_string(c.method) + " order " +
                 std::to_string(c.order));
    ValueLayout v = value_layout(c.p, c.nvar, c.method, c.order);
    EXPECT_EQ(c.one_line, v.one_line_format);
    EXPECT_EQ(c.folded, v.folded_format);
    EXPECT_EQ(c.columns, v.columns);
  }
}

// Layout 2 under (11F11.6): 22 variables fold into two lines of exactly
// 121 characters, 23 into two full lines and one of 11; layout 1 keeps an
// object on one line. The count record is " n nvar".
TEST(Writeout, PcnmVariablesFoldedAndSingleLine) {
  const int ld = 5;
  for (int nvar : {22, 23}) {
    auto x = matrix(ld, 2, nvar, [](int i, int c) { return i + c / 1000.0; });
    for (int layout : {1, 2}) {
      SCOPED_TRACE(std::to_string(nvar) + " variables, layout " + std::to_string(layout));
      std::vector<std::string> want = {" 2 " + std::to_string(nvar)};
      for (int i = 1; i <= 2; ++i) {
        std::string line;
        for (int c = 1; c <= nvar; ++c) {
          line += f(i + c / 1000.0, 11, 6);
          if (layout == 2 && (c % 11 == 0 || c == nvar)) {
            want.push_back(line);
            line.clear();
          }
        }
        if (layout == 1) want.push_back(line);
      }
      std::vector<std::string> got = lines_of(written(2, 1, nvar, ld, x, layout, 1, 0));
      EXPECT_EQ(want, got);
      if (layout == 2) {
        EXPECT_EQ(121u, got[1].size());
        EXPECT_EQ(121u, got[2].size());
        if (nvar == 23) {
          EXPECT_EQ(11u, got[3].size());
        }
      }
    }
  }
}

// Order 4 in two coordinates: 14 values under (10F12.7), lines of 120 and
// 48 characters, in the written order X, Y, X^2, XY, Y^2, ... (stored
// column c holds the value c here, so the sequence shows through).
TEST(Writeout, SurfaceMonomialsFoldedInDegreeOrder) {
  const int ld = 3;
  auto x = matrix(ld, 1, 14, [](int, int c) { return static_cast<double>(c); });
  std::vector<std::string> got = lines_of(written(1, 2, 14, ld, x, 2, 2, 4));
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(" 1 14", got[0]);
  EXPECT_EQ(120u, got[1].size());
  EXPECT_EQ(48u, got[2].size());
  const int sequence[] = {5, 1, 9, 6, 2, 12, 10, 7, 3, 14, 13, 11, 8, 4};
  std::string want;
  for (int c : sequence) want += f(c, 12, 7);
  EXPECT_EQ(want, got[1] + got[2]);

  // Order 2, one line: X, Y, X^2, XY, Y^2 from columns 3, 1, 5, 4, 2 in
  // F10.5; in one coordinate X, X^2 from columns 1, 2.
  auto y = matrix(ld, 1, 5, [](int, int c) { return c * 1.5; });
  EXPECT_EQ(" 1 5\n" + f(4.5, 10, 5) + f(1.5, 10, 5) + f(7.5, 10, 5) + f(6, 10, 5) + f(3, 10, 5) + "\n",
            written(1, 2, 5, ld, y, 1, 2, 2));
  EXPECT_EQ(" 1 2\n" + f(1.5, 10, 5) + f(3, 10, 5) + "\n", written(1, 1, 2, ld, y, 1, 2, 2));
}

TEST(Writeout, NoVariablesGivesOneEmptyLinePerObject) {
  const int ld = 4;
  auto x = matrix(ld, 3, 1, [](int, int) { return 1.0; });
  EXPECT_EQ(" 3 0\n\n\n\n", written(3, 1, 0, ld, x, 1, 1, 0));
  EXPECT_EQ(" 3 0\n\n\n\n", written(3, 1, 0, ld, x, 2, 1, 0));
}

// A value needing more than 11 columns is 11 asterisks; its neighbours
// keep their places.
TEST(Writeout, TooWideValuesBecomeAsterisks) {
  const int ld = 2;
  const std::vector<double> values = {9999.9999994, 10000, -999.9999994, -1000, 0.5};
  auto x = matrix(ld, 1, 5, [&](int, int c) { return values[c - 1]; });
  EXPECT_EQ(" 1 5\n9999.999999***********-999.999999***********   0.500000\n", written(1, 1, 5, ld, x, 1, 1, 0));
}

// 25 PCNM variables for 30 sites: title, FREE, " 25 30", three value lines
// per site (11, 11 and 3 values), labels 1-10, 11-20, 21-25 (78, 78 and 38
// characters), then three lines of site labels.
TEST(Canocofree, PcnmFileOfTwentyFiveVariablesAndThirtySites) {
  const int ld = 30;
  auto x = matrix(ld, 30, 25, [](int i, int c) { return -i - c / 100.0; });
  std::vector<std::string> got = lines_of(written(30, 2, 25, ld, x, 3, 1, 0));
  ASSERT_EQ(3u + 90 + 3 + 3, got.size());
  EXPECT_EQ("File of PCNM variables", got[0]);
  EXPECT_EQ("FREE", got[1]);
  EXPECT_EQ(" 25 30", got[2]);
  for (int i = 1; i <= 30; ++i) {
    std::string values;
    for (int k = 0; k < 3; ++k) values += got[3 + (i - 1) * 3 + k];
    EXPECT_EQ(121u, got[3 + (i - 1) * 3].size());
    EXPECT_EQ(33u, got[5 + (i - 1) * 3].size());
    std::string want;
    for (int c = 1; c <= 25; ++c) want += f(-i - c / 100.0, 11, 6);
    EXPECT_EQ(want, values) << "site " << i;
  }
  EXPECT_EQ("PCNM 1  PCNM 2  PCNM 3  PCNM 4  PCNM 5  PCNM 6  PCNM 7  PCNM 8  PCNM 9  PCNM10", got[93]);
  EXPECT_EQ("PCNM11  PCNM12  PCNM13  PCNM14  PCNM15  PCNM16  PCNM17  PCNM18  PCNM19  PCNM20", got[94]);
  EXPECT_EQ("PCNM21  PCNM22  PCNM23  PCNM24  PCNM25", got[95]);
  EXPECT_EQ("Site 1  Site 2  Site 3  Site 4  Site 5  Site 6  Site 7  Site 8  Site 9  Site10", got[96]);
  EXPECT_EQ("Site21  Site22  Site23  Site24  Site25  Site26  Site27  Site28  Site29  Site30", got[98]);
}

// The label width follows the count of the block: 99 keeps two digits, 100
// switches every label to three, 1000 to four with no blank between
// labels. No variable still writes the word alone.
TEST(Canocofree, LabelWidthsFollowTheCount) {
  struct Case {
    int nvar, n;
    std::vector<std::pair<int, std::string>> lines;  // index from the end of the file, text
  };
  const Case cases[] = {
      {99, 1,
       {{-11, "PCNM 1  PCNM 2  PCNM 3  PCNM 4  PCNM 5  PCNM 6  PCNM 7  PCNM 8  PCNM 9  PCNM10"},
        {-2, "PCNM91  PCNM92  PCNM93  PCNM94  PCNM95  PCNM96  PCNM97  PCNM98  PCNM99"},
        {-1, "Site 1"}}},
      {100, 1,
       {{-11, "PCNM  1 PCNM  2 PCNM  3 PCNM  4 PCNM  5 PCNM  6 PCNM  7 PCNM  8 PCNM  9 PCNM 10"},
        {-2, "PCNM 91 PCNM 92 PCNM 93 PCNM 94 PCNM 95 PCNM 96 PCNM 97 PCNM 98 PCNM 99 PCNM100"}}},
      {0, 1000,
       {{-101, "PCNM"},
        {-100, "Site   1Site   2Site   3Site   4Site   5Site   6Site   7Site   8Site   9Site  10"},
        {-1, "Site 991Site 992Site 993Site 994Site 995Site 996Site 997Site 998Site 999Site1000"}}},
      {11, 100, {{-11, "PCNM11"}, {-10, "Site  1 Site  2 Site  3 Site  4 Site  5 Site  6 Site  7 Site  8 Site  9 Site 10"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.nvar) + " variables, " + std::to_string(c.n) + " sites");
    const int ld = c.n;
    auto x = matrix(ld, c.n, c.nvar, [](int, int) { return 0.25; });
    std::vector<std::string> got = lines_of(written(c.n, 1, c.nvar, ld, x, 3, 1, 0));
    const int value_lines = c.nvar == 0 ? 1 : (c.nvar + 10) / 11;
    const int label_lines = c.nvar == 0 ? 1 : (c.nvar + 9) / 10;
    ASSERT_EQ(static_cast<std::size_t>(3 + c.n * value_lines + label_lines + (c.n + 9) / 10), got.size());
    for (const auto& [from_end, text] : c.lines) EXPECT_EQ(text, got[got.size() + from_end]);
  }
}

// Order 3 in two coordinates: "File of monomials", 9 before n, one line of
// nine F11.6 values per site, the labels Mono1 to Mono9 on one line of 70.
TEST(Canocofree, MonomialsOfOrderThree) {
  const int ld = 2;
  auto x = matrix(ld, 2, 9, [](int i, int c) { return i * 0.01 + c; });
  std::vector<std::string> got = lines_of(written(2, 2, 9, ld, x, 3, 2, 3));
  std::string first, second;
  for (int c : {4, 1, 7, 5, 2, 9, 8, 6, 3}) {
    first += f(0.01 + c, 11, 6);
    second += f(0.02 + c, 11, 6);
  }
  const std::vector<std::string> want = {
      "File of monomials", "FREE", " 9 2", first, second,
      "Mono 1  Mono 2  Mono 3  Mono 4  Mono 5  Mono 6  Mono 7  Mono 8  Mono 9", "Site 1  Site 2"};
  EXPECT_EQ(want, got);
  EXPECT_EQ(99u, got[4].size());
}

}  // namespace
}  // namespace ortelix::output
