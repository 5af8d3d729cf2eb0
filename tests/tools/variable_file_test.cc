#include "tools/variable_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/run_binary.h"

namespace ortelix::tools {
namespace {

class VariableFiles : public ::testing::Test {
 protected:
  // Reads `text` as a variable file; the error, if any, comes back
  // without the path.
  std::optional<std::string> read(const std::string& text, VariableFile& file) {
    const std::string path = dir_.path() + "/var.txt";
    e2e::write_file(path, text);
    auto err = read_variable_file(path, file);
    if (err && err->starts_with(path + ":")) return err->substr(path.size() + 1);
    return err;
  }
  e2e::TempDir dir_;
};

// Values of object i, variable j that tell every position apart.
double value(long i, long j) { return (i + 1) * 1.5 - (j + 1) * 0.125; }

// Object lines as the program writes them: fields of width w, d = w - 5
// decimals, `per_line` fields a line, each object on new lines.
std::string objects(long n, long nvar, int width, long per_line) {
  std::string out;
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) {
      char field[32];
      std::snprintf(field, sizeof field, "%*.*f", width, width - 5, value(i, j));
      out += field;
      if ((j + 1) % per_line == 0 || j + 1 == nvar) out += '\n';
    }
  }
  return out;
}

std::string labels(const char* word, long count) {
  std::string out;
  for (long k = 1; k <= count; ++k) {
    char label[16];
    std::snprintf(label, sizeof label, "%s%2ld  ", word, k);
    out += label;
    if (k % 10 == 0 || k == count) {
      out.erase(out.find_last_not_of(' ') + 1);
      out += '\n';
    }
  }
  return out;
}

TEST_F(VariableFiles, AllThreeLayoutsAndAllThreeNumberFormats) {
  struct Case {
    const char* name;
    std::string text;
    long n, nvar;
    bool canoco;
    VariableKind kind;
  };
  const Case cases[] = {
      {"layout 1, F11.6", " 3 4\n" + objects(3, 4, 11, 2000), 3, 4, false, VariableKind::kUnnamed},
      // 12 values under (11F11.6): a full line and a line of one.
      {"layout 2, F11.6", " 2 12\n" + objects(2, 12, 11, 11), 2, 12, false, VariableKind::kUnnamed},
      // 22 values: two full lines per object, no empty line after them.
      {"layout 2, F11.6, even", " 2 22\n" + objects(2, 22, 11, 11), 2, 22, false, VariableKind::kUnnamed},
      {"layout 1, F10.5", " 3 5\n" + objects(3, 5, 10, 2000), 3, 5, false, VariableKind::kUnnamed},
      {"layout 2, F12.7", " 2 14\n" + objects(2, 14, 12, 10), 2, 14, false, VariableKind::kUnnamed},
      {"layout 2, F10.5", " 2 13\n" + objects(2, 13, 10, 12), 2, 13, false, VariableKind::kUnnamed},
      {"Canoco, PCNM",
       "File of PCNM variables\nFREE\n 12 3\n" + objects(3, 12, 11, 11) + labels("PCNM", 12) + labels("Site", 3), 3,
       12, true, VariableKind::kPcnm},
      {"Canoco, monomials, F12.7",
       "File of monomials\nFREE\n 14 2\n" + objects(2, 14, 12, 10) + labels("Mono", 14) + labels("Site", 2), 2, 14,
       true, VariableKind::kMonomial},
      {"Canoco, another title", "Sites of the lake\nFREE\n 2 2\n" + objects(2, 2, 11, 11) + labels("Vari", 2), 2, 2,
       true, VariableKind::kUnnamed},
      // Hand-made: free format, each object starting on a new line.
      {"free format", " 2 3\n1.375 1.25\n1.125\n2.875,2.75 2.625\n", 2, 3, false, VariableKind::kUnnamed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VariableFile f;
    ASSERT_EQ(read(c.text, f), std::nullopt);
    EXPECT_EQ(f.n, c.n);
    EXPECT_EQ(f.nvar, c.nvar);
    EXPECT_EQ(f.canoco, c.canoco);
    EXPECT_EQ(f.kind, c.kind);
    for (long i = 0; i < f.n; ++i)
      for (long j = 0; j < f.nvar; ++j) EXPECT_EQ(f.at(i, j), value(i, j)) << i << "," << j;
  }
}

TEST_F(VariableFiles, FullFieldsThatTouchAreToldApart) {
  // F11.6 leaves no blank before -999.999999 or 1000.000000: a reader of
  // blank-separated numbers would take "1234.5678901000.000000" for one.
  VariableFile f;
  ASSERT_EQ(read(" 1 4\n-999.9999991234.5678901000.000000   0.500000\r\n", f), std::nullopt);
  EXPECT_EQ(f.values, (std::vector<double>{-999.999999, 1234.56789, 1000, 0.5}));
}

TEST_F(VariableFiles, RefusalsSayWhereAndWhy) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"asterisks, layout 2", " 2 12\n" + objects(1, 12, 11, 11) + objects(1, 11, 11, 11) + "***********\n",
       "5: object 2, variable 12 was written as asterisks (too wide for its field): its value is lost"},
      {"asterisks, layout 1", " 1 3\n   1.000000***********   2.000000\n",
       "2: object 1, variable 2 was written as asterisks (too wide for its field): its value is lost"},
      {"asterisks, hand-made", " 1 3\n1.0 *** 2.0\n",
       "2: object 1 of 1: a value was written as asterisks (too wide for its field): its value is lost"},
      {"one object too many", " 2 3\n" + objects(3, 3, 11, 11),
       "4: values beyond the 2 objects of 3 values that the count record announces"},
      {"one object short", " 3 3\n" + objects(2, 3, 11, 11), "3: the file ends before the last value of object 3 of 3"},
      {"no variables", " 5 0\n\n\n\n\n\n", "1: the file holds no variables"},
      {"no objects", " 0 3\n", "1: 0 objects: expected 1 to 2000"},
      {"not a count record", "1.5 2\n", "1: count record (n nvar): invalid integer: read unexpected character"},
      {"empty", "", "1: the file ends inside its count record (n nvar)"},
      {"Canoco without counts", "File of PCNM variables\nFREE\n", "2: the file ends inside its count record (nvar n)"},
      {"a word among the values", " 1 2\n1.0 abc\n", "2: object 1 of 1: invalid number: incomprehensible list input"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VariableFile f;
    EXPECT_EQ(read(c.text, f), c.message);
  }
}

}  // namespace
}  // namespace ortelix::tools
