// The file of spatial variables: every layout written out by hand, the
// labels of the Canoco layout, and every layout read back.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output/variable_reader.h"
#include "output/variable_writer.h"
#include "textio/record_sink.h"

namespace ortelix::output {
namespace {

using Lines = std::vector<std::string>;

Lines records(Layout layout, Index n, const std::vector<double>& x, const std::vector<Index>& numbers,
              Kind kind = Kind::kPcnm, int order = 0) {
  VariableTable t;
  t.kind = kind;
  t.order = order;
  t.n = n;
  t.x = x.data();
  t.ld = n;
  for (std::size_t k = 0; k < numbers.size(); ++k) t.columns.push_back(static_cast<Index>(k));
  t.numbers = numbers;
  textio::StringSink sink;
  write_variables(sink, layout, t);
  return sink.records;
}

TEST(VariableWriter, EveryLayoutByHand) {
  // Two sites, three variables (axes 1, 3, 7), column by column.
  const std::vector<double> x = {0.5, 3.25, -1.25, 1e-05, 2, -0.1};
  EXPECT_EQ((Lines{"site,PCNM1,PCNM3,PCNM7", "1,0.5,-1.25,2", "2,3.25,1e-05,-0.1"}), records(Layout::kCsv, 2, x, {1, 3, 7}));
  EXPECT_EQ((Lines{" 2 3", "   0.500000  -1.250000   2.000000", "   3.250000   0.000010  -0.100000"}),
            records(Layout::kOneLine, 2, x, {1, 3, 7}));
  EXPECT_EQ((Lines{"File of PCNM variables", "FREE", " 3 2", "   0.500000  -1.250000   2.000000",
                   "   3.250000   0.000010  -0.100000", "PCNM 1  PCNM 3  PCNM 7", "Site 1  Site 2"}),
            records(Layout::kCanoco, 2, x, {1, 3, 7}));
  // Monomials: F10.5 for order 2, F12.7 for 4 and 5, F11.6 for 3.
  EXPECT_EQ((Lines{" 2 3", "   0.50000  -1.25000   2.00000", "   3.25000   0.00001  -0.10000"}),
            records(Layout::kOneLine, 2, x, {1, 2, 3}, Kind::kMonomial, 2));
  EXPECT_EQ((Lines{" 2 3", "   0.5000000  -1.2500000   2.0000000", "   3.2500000   0.0000100  -0.1000000"}),
            records(Layout::kOneLine, 2, x, {1, 2, 3}, Kind::kMonomial, 5));
  EXPECT_EQ((Lines{"File of monomials", "FREE", " 3 2", "   0.500000  -1.250000   2.000000",
                   "   3.250000   0.000010  -0.100000", "Mono 1  Mono 2  Mono 3", "Site 1  Site 2"}),
            records(Layout::kCanoco, 2, x, {1, 2, 3}, Kind::kMonomial, 3));
  // Twelve variables: a line per site, or eleven and one; beyond 2000, still
  // one line.
  std::vector<Index> twelve(12);
  for (Index j = 0; j < 12; ++j) twelve[j] = j + 1;
  std::string eleven;
  for (int j = 0; j < 11; ++j) eleven += "   1.000000";
  EXPECT_EQ((Lines{" 1 12", eleven + "   1.000000"}), records(Layout::kOneLine, 1, std::vector<double>(12, 1.0), twelve));
  EXPECT_EQ((Lines{" 1 12", eleven, "   1.000000"}), records(Layout::kFolded, 1, std::vector<double>(12, 1.0), twelve));
  std::vector<Index> many(2500);
  for (Index j = 0; j < 2500; ++j) many[j] = j + 1;
  const Lines wide = records(Layout::kOneLine, 1, std::vector<double>(2500, 0.25), many);
  ASSERT_EQ(2u, wide.size());
  EXPECT_EQ(2500u * 11, wide[1].size());
  // No variable at all: the Canoco label block still writes its word.
  EXPECT_EQ((Lines{"File of PCNM variables", "FREE", " 0 1", "", "PCNM", "Site 1"}),
            records(Layout::kCanoco, 1, {}, {}));
}

TEST(VariableWriter, CanocoLabelsStayEightCharactersAndDistinct) {
  const std::pair<Index, const char*> cases[] = {
      {1, "(10('PCNM',I2,2X,:))"},   {99, "(10('PCNM',I2,2X,:))"},  {100, "(10('PCNM',I3,1X,:))"},
      {999, "(10('PCNM',I3,1X,:))"}, {1000, "(10('PCNM',I4,:))"},   {9999, "(10('PCNM',I4,:))"},
      {10000, "(10('PCN',I5,:))"},   {123456, "(10('PC',I6,:))"},   {1234567, "(10('P',I7,:))"},
      {12345678, "(10(I8,:))"},
  };
  for (const auto& [largest, format] : cases) EXPECT_EQ(format, label_format("PCNM", largest)) << largest;
  const Lines lines = records(Layout::kCanoco, 10001, std::vector<double>(10001, 0.0), {1});
  EXPECT_EQ("PCNM 1", lines[lines.size() - 1001 - 1]);
  EXPECT_EQ("Sit    1Sit    2Sit    3Sit    4Sit    5Sit    6Sit    7Sit    8Sit    9Sit   10", lines[lines.size() - 1001]);
  EXPECT_EQ("Sit10001", lines.back());
}

double value(Index i, Index j) { return static_cast<double>(i + 1) * 1.5 - static_cast<double>(j + 1) * 0.125; }

// Objects as the programs write them: fields of width w with w - 5
// decimals, `per_line` a line, each object on new lines.
std::string objects(Index n, Index nvar, int width, Index per_line, double (*v)(Index, Index) = value) {
  std::string out;
  for (Index i = 0; i < n; ++i) {
    for (Index j = 0; j < nvar; ++j) {
      char field[32];
      std::snprintf(field, sizeof field, "%*.*f", width, width - 5, v(i, j));
      out += field + std::string((j + 1) % per_line == 0 || j + 1 == nvar ? "\n" : "");
    }
  }
  return out;
}

std::string labels(const char* word, Index count) {
  std::string out;
  for (Index k = 1; k <= count; ++k) {
    out += word + std::string(k < 10 ? " " : "") + std::to_string(k) + (k % 10 == 0 || k == count ? "\n" : "  ");
  }
  return out;
}

// Columns that sum to zero, as principal coordinates do.
double centred(Index i, Index j) { return (i % 2 == 0 ? 1 : -1) * 0.25 * static_cast<double>(j + 1); }

TEST(VariableReader, EveryLayoutAndNumberFormat) {
  using K = ReadKind;
  const struct Case {
    std::string text;
    Index n, nvar;
    Layout layout;
    ReadKind kind;
    double (*v)(Index, Index);
  } cases[] = {
      {" 3 4\n" + objects(3, 4, 11, 2000), 3, 4, Layout::kOneLine, K::kUnnamed, value},
      {" 2 12\n" + objects(2, 12, 11, 11), 2, 12, Layout::kOneLine, K::kUnnamed, value},
      {" 2 22\n" + objects(2, 22, 11, 11), 2, 22, Layout::kOneLine, K::kUnnamed, value},
      {" 3 5\n" + objects(3, 5, 10, 2000), 3, 5, Layout::kOneLine, K::kUnnamed, value},
      {" 2 13\n" + objects(2, 13, 10, 12), 2, 13, Layout::kOneLine, K::kUnnamed, value},
      {" 2 14\n" + objects(2, 14, 12, 10), 2, 14, Layout::kOneLine, K::kUnnamed, value},
      // Centred columns of F11.6 are principal coordinates; of F10.5, not.
      {" 4 13\n" + objects(4, 13, 11, 11, centred), 4, 13, Layout::kOneLine, K::kPcnm, centred},
      {" 4 3\n" + objects(4, 3, 10, 12, centred), 4, 3, Layout::kOneLine, K::kUnnamed, centred},
      {"File of PCNM variables\nFREE\n 12 3\n" + objects(3, 12, 11, 11) + labels("PCNM", 12) + labels("Site", 3), 3,
       12, Layout::kCanoco, K::kPcnm, value},
      {"File of monomials\nFREE\n 14 2\n" + objects(2, 14, 12, 10) + labels("Mono", 14) + labels("Site", 2), 2, 14,
       Layout::kCanoco, K::kMonomial, value},
      {"Sites of the lake\nFREE\n 2 2\n" + objects(2, 2, 11, 11) + labels("Vari", 2), 2, 2, Layout::kCanoco,
       K::kUnnamed, value},
      {" 2 3\n1.375 1.25\n1.125\n2.875,2.75 2.625\n", 2, 3, Layout::kOneLine, K::kUnnamed, value},  // by hand
      {"site,PCNM1,PCNM4\n1,1.375,1.25\r\n2,2.875,+2.75\n\n", 2, 2, Layout::kCsv, K::kPcnm, value},
      {"site,depth,PCNM1\n1,1.375,1.25\n", 1, 2, Layout::kCsv, K::kUnnamed, value},
  };
  for (const Case& c : cases) {
    auto f = parse_variable_text("v.txt", c.text, 1000);
    ASSERT_TRUE(f.ok()) << c.text << f.error();
    EXPECT_EQ(c.n, f->n) << c.text;
    EXPECT_EQ(c.nvar, f->nvar) << c.text;
    EXPECT_EQ(c.layout, f->layout) << c.text;
    EXPECT_EQ(c.kind, f->kind) << c.text;
    for (Index i = 0; i < f->n; ++i) {
      for (Index j = 0; j < f->nvar; ++j) {
        const double want = c.layout == Layout::kCsv ? (j == 0 ? (i == 0 ? 1.375 : 2.875) : (i == 0 ? 1.25 : 2.75))
                                                     : c.v(i, j);
        EXPECT_EQ(want, f->at(i, j)) << c.text << i << "," << j;
      }
    }
  }
  // Full fields touch: "1234.5678901000.000000" is two F11.6 values.
  const std::pair<const char*, std::vector<double>> touching[] = {
      {" 1 4\n-999.9999991234.5678901000.000000   0.500000\r\n", {-999.999999, 1234.56789, 1000, 0.5}},
      {" 1 2\n1000.000001000.00000\n", {1000, 1000}},
      {" 1 2\n1000.00000001000.0000000\n", {1000, 1000}},
  };
  for (const auto& [text, values] : touching) {
    auto f = parse_variable_text("v.txt", text, 10);
    ASSERT_TRUE(f.ok()) << f.error();
    EXPECT_EQ(values, f->values) << text;
  }
  auto csv = parse_variable_text("v.csv", "site,PCNM2,x y\n1,0,1\n", 10);
  ASSERT_TRUE(csv.ok());
  EXPECT_EQ((std::vector<std::string>{"PCNM2", "x y"}), csv->names);
}

// What the programs write, read back: every layout gives the same numbers
// (CSV every digit, the others to their sixth decimal).
TEST(VariableReader, ReadsWhatTheWriterWrites) {
  const std::vector<double> x = {0.1234564, -2.5, 1e-7, 1.0 / 3, -0.0000004, 999.9999994};
  for (Layout layout : {Layout::kOneLine, Layout::kFolded, Layout::kCanoco, Layout::kCsv}) {
    std::string text;
    for (const std::string& line : records(layout, 3, x, {2, 5})) text += line + "\n";
    auto f = parse_variable_text("v", text, 10);
    ASSERT_TRUE(f.ok()) << text << f.error();
    ASSERT_EQ(3, f->n);
    ASSERT_EQ(2, f->nvar);
    for (Index i = 0; i < 3; ++i) {
      for (Index j = 0; j < 2; ++j) {
        const double want = layout == Layout::kCsv ? x[j * 3 + i] : std::round(x[j * 3 + i] * 1e6) / 1e6;
        EXPECT_EQ(want, f->at(i, j)) << text;
      }
    }
  }
}

TEST(VariableReader, RefusalsNameTheFileAndLine) {
  // Three objects of 13 folded values on lines 2-3, 4-5 and 6-7, without
  // line 5 (object 2's last two values).
  const std::string folded = objects(3, 13, 11, 11);
  std::size_t line5 = 0;
  for (int k = 0; k < 3; ++k) line5 = folded.find('\n', line5) + 1;
  const std::string missing = " 3 13\n" + folded.substr(0, line5) + folded.substr(folded.find('\n', line5) + 1);
  const std::pair<std::string, std::string> cases[] = {
      {missing, "v.txt:5: 11 values where object 2 has 2 left: a line is missing or extra near here"},
      {" 1 2\n   1.000000***********\n", "v.txt:2: object 1, variable 2 was written as asterisks (too wide for its field): "
                                        "its value is lost"},
      {" 1 2\n1 1e400\n", "v.txt:2: object 1, variable 2 is not a finite number"},
      {" 1 2\n1 2\n3\n", "v.txt:3: values beyond the 1 objects of 2 values that the count record announces"},
      {" 0 2\n", "v.txt:1: 0 objects: expected 1 to 10"},
      {" 11 2\n", "v.txt:1: 11 objects: expected 1 to 10"},
      {" 2 0\n", "v.txt:1: the file holds no variables"},
      {" 2 2\n1 2\n3\n", "v.txt:3: the file ends before the last value of object 2 of 2"},
      {" 2\n", "v.txt:1: the file ends inside its count record (n nvar)"},
      {"site,PCNM1\n1,0.5\n2\n", "v.txt:3: 1 fields where the header names 2"},
      {"site,PCNM1\n1,nan\n", "v.txt:2: object 1, variable 1: 'nan' is not a finite number"},
      {"site,PCNM1\n1,1e999\n", "v.txt:2: object 1, variable 1: '1e999' is not a finite number"},
      {"site,PCNM1,\n", "v.txt:1: column 3 has no name"},
      {"site,PCNM1\n", "v.txt:1: the file holds no objects"},
  };
  for (const auto& [text, message] : cases) {
    auto f = parse_variable_text("v.txt", text, 10);
    ASSERT_FALSE(f.ok()) << text;
    EXPECT_EQ(message, f.error()) << text;
  }
}

}  // namespace
}  // namespace ortelix::output
