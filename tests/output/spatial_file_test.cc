// The Canoco file of PCNM variables, which no worked run reaches with more
// than ten variables: value folding, and label lines whose width follows
// the count of their block.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output/spatial_file.h"
#include "textio/units.h"

namespace ortelix::output {
namespace {

double value(int i, int c) { return -i - c / 100.0; }

// canocofree of n sites and nvar PCNM variables, written through unit 12.
std::vector<std::string> canoco_lines(int n, int nvar) {
  static const bool started = (textio::start_units(), true);
  (void)started;
  std::vector<double> x(static_cast<std::size_t>(n) * nvar);
  for (int c = 1; c <= nvar; ++c) {
    for (int i = 1; i <= n; ++i) x[(c - 1) * n + (i - 1)] = value(i, c);
  }
  char dir[] = "/tmp/ortelix-canoco-XXXXXX";
  const std::string path = std::string(mkdtemp(dir)) + "/var.txt";
  textio::open_unit(kVariableUnit, path, textio::FileStatus::kNew);
  canocofree(n, 1, nvar, n, x.data(), 1, 0);
  textio::close_unit(kVariableUnit);
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::remove(path.c_str());
  std::remove(dir);
  return lines;
}

std::string labels(const char* word, int from, int to, int width) {
  std::string s;
  for (int k = from; k <= to; ++k) {
    const std::string digits = std::to_string(k);
    s += word + std::string(width - digits.size(), ' ') + digits + (k < to ? std::string(4 - width, ' ') : "");
  }
  return s;
}

TEST(Canocofree, TwentyFiveVariablesOfThirtySites) {
  std::vector<std::string> want = {"File of PCNM variables", "FREE", " 25 30"};
  for (int i = 1; i <= 30; ++i) {
    std::string line;
    for (int c = 1; c <= 25; ++c) {
      char field[16];
      std::snprintf(field, sizeof field, "%11.6f", value(i, c));
      line += field;
      if (c % 11 == 0 || c == 25) want.push_back(line), line.clear();
    }
  }
  for (int k = 1; k <= 25; k += 10) want.push_back(labels("PCNM", k, std::min(k + 9, 25), 2));
  for (int k = 1; k <= 30; k += 10) want.push_back(labels("Site", k, k + 9, 2));
  EXPECT_EQ(want, canoco_lines(30, 25));
  EXPECT_EQ(78u, want[93].size());
  EXPECT_EQ(38u, want[95].size());
}

TEST(Canocofree, LabelWidthFollowsTheNumberOfVariables) {
  struct Case {
    int nvar, width;
  } cases[] = {{99, 2}, {100, 3}, {999, 3}, {1000, 4}};
  for (const Case& c : cases) {
    const std::vector<std::string> lines = canoco_lines(1, c.nvar);
    const int last = c.nvar - (c.nvar - 1) % 10;
    ASSERT_EQ(3 + (c.nvar + 10) / 11 + (c.nvar + 9) / 10 + 1u, lines.size()) << c.nvar;
    EXPECT_EQ(labels("PCNM", 1, 10, c.width), lines[lines.size() - 2 - (c.nvar - 1) / 10]) << c.nvar;
    EXPECT_EQ(labels("PCNM", last, c.nvar, c.width), lines[lines.size() - 2]) << c.nvar;
    EXPECT_EQ("Site 1", lines.back());
  }
}

}  // namespace
}  // namespace ortelix::output
