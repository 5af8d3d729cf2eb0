// Free-format input: separators, null values, repeat counts, integers,
// reals, names, and where each read leaves the input for the next.
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "textio/char_stream.h"
#include "textio/list_read.h"

namespace ortelix::textio {
namespace {

const std::string kStart = "init" + std::string(75, ' ');

// Reads `kinds` from `input` in turn: one read per '|'-separated group,
// one item per letter (i integer, r real, n name). Shows each read's values
// ('_' for an item left as it was, names without their padding) or
// "!context: reason" for a read that fails; reads go on after a failure.
std::string reads(const std::string& input, const std::string& kinds) {
  CharStream in = CharStream::from_text(input);
  std::string out;
  for (std::size_t from = 0, to; from <= kinds.size(); from = to + 1) {
    to = std::min(kinds.find('|', from), kinds.size());
    std::vector<std::int32_t> ints(to - from, -7);
    std::vector<double> reals(to - from, -7.5);
    std::vector<std::string> names(to - from, kStart);
    std::vector<Target> targets;
    for (std::size_t j = 0; j < to - from; ++j) {
      const char kind = kinds[from + j];
      kind == 'i' ? targets.emplace_back(ints[j]) : kind == 'r' ? targets.emplace_back(reals[j]) : targets.emplace_back(names[j]);
    }
    out += from > 0 ? "|" : "";
    if (auto r = list_read(in, targets); !r.ok()) {
      out += "!" + r.error().context + ": " + r.error().reason;
      continue;
    }
    for (std::size_t j = 0; j < to - from; ++j) {
      char buf[64];
      out += j > 0 ? " " : "";
      if (kinds[from + j] == 'i') out += ints[j] == -7 ? "_" : std::to_string(ints[j]);
      if (kinds[from + j] == 'r') out += reals[j] == -7.5 ? "_" : std::string(buf, std::to_chars(buf, buf + 64, reals[j]).ptr);
      if (kinds[from + j] == 'n') out += names[j] == kStart ? "_" : names[j].substr(0, names[j].find_last_not_of(' ') + 1);
      if (kinds[from + j] == 'n') {
        EXPECT_EQ(kNameLength, names[j].size()) << input;
      }
    }
  }
  return out;
}

const std::string kEof = "!list in: end of file", kReadStart = "!read start: end of file";
const std::string kNumber = "!invalid number: incomprehensible list input";
const std::string kInteger = "!invalid integer: read unexpected character";
const std::string kRange = "!invalid integer: integer out of range";
const std::string kCount = "!bad repetition count: incomprehensible list input";
const std::string kExponent = "!exponent field: incomprehensible list input";

struct Case {
  std::string input, kinds, shown;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(c.shown, reads(c.input, c.kinds)) << "input: " << c.input;
}

TEST(ListRead, SeparatorsNullsAndSlash) {
  check({
      {"3 4\n", "ii", "3 4"}, {"3,4\n", "ii", "3 4"}, {"3 , 4\n", "ii", "3 4"}, {"3\t4\n", "ii", "3 4"},
      {"3\n4\n", "ii", "3 4"}, {"3 4", "ii", "3 4"}, {"\n\n   \n\t3\n\n4\n", "ii", "3 4"},
      {"12abc\n", "i", "12"}, {"1+5\n", "ii", "1 5"}, {"1-5\n", "ii", "1 -5"},
      // A carriage return goes with the rest of the line, but is no separator.
      {"3 4\r\n", "ii", "3 4"}, {"3\r\n4\r\n", "ii", kNumber},
      {",5\n", "ii", "_ 5"}, {"  ,5\n", "ii", "_ 5"}, {",,5\n", "iii", "_ _ 5"}, {"3, ,5\n", "iii", "3 _ 5"},
      // A comma after a line end is a null; after a value, its separator.
      {"4\n,5\n", "iii", "4 _ 5"}, {"5 ,\n6\n", "ii", "5 6"},
      {"1 / 3\n", "iii", "1 _ _"}, {"/\n", "ii", "_ _"}, {"7/8\n", "ii", "7 _"}, {"7,/\n", "ii", "7 _"},
  });
}

TEST(ListRead, RepeatCounts) {
  check({
      {"3*2\n", "iii", "2 2 2"}, {"2*9 4\n", "iii", "9 9 4"}, {"+2*3 4\n", "iii", "3 3 4"},
      {"2*\n9\n", "iii", "_ _ 9"}, {"2*,9\n", "iii", "_ _ 9"}, {"2*/\n", "iii", "_ _ _"},
      {"1 2*5\n", "ii", "1 5"}, {"3*1.5\n", "rrr", "1.5 1.5 1.5"},
      {"*3\n", "i", kCount}, {"0*3\n", "i", kCount}, {"-2*3\n", "i", kCount}, {"2*abc\n", "i", kNumber},
      {"*3\n", "r", kCount}, {"-*3\n", "r", kCount}, {"0*3\n", "r", kCount}, {"-2*3\n", "r", kCount},
      // A point is no part of a count: ".*3" is no number at all.
      {".*3\n", "r", kNumber}, {"-.*3\n", "r", kNumber},
  });
}

TEST(ListRead, IntegersAndTheir32BitRange) {
  check({
      {"-0\n", "i", "0"}, {"+7\n", "i", "7"},
      {"2.0\n", "i", kInteger}, {"1e5\n", "i", kInteger}, {"1D5\n", "i", kInteger}, {".5\n", "i", kInteger},
      {"abc\n", "i", kNumber}, {"e5\n", "i", kNumber}, {"+\n", "i", kNumber}, {"- 3\n", "i", kNumber},
      {"2147483647\n", "i", "2147483647"}, {"-2147483648\n", "i", "-2147483648"},
      {"2147483648\n", "i", kRange}, {"-2147483649\n", "i", kRange}, {"99999999999999999999999\n", "i", kRange},
      // The unexpected character is reported before the range.
      {"99999999999.5\n", "i", kInteger}, {"99999999999e1\n", "i", kInteger},
      // Leading zeros do not count toward the range.
      {std::string(1000000, '0') + "3 -" + std::string(200000, '0') + "2147483648\n", "ii", "3 -2147483648"},
  });
}

TEST(ListRead, Reals) {
  check({
      {"1\n", "r", "1"}, {"65.22\n", "r", "65.22"}, {"-3.5E2\n", "r", "-350"}, {"1d-3\n", "r", "0.001"},
      {"1D3\n", "r", "1000"}, {"+1.5e+2\n", "r", "150"}, {"5.\n", "r", "5"}, {"-.5\n", "r", "-0.5"},
      {"1.e1\n", "r", "10"}, {"-0.0\n", "r", "-0"}, {"1e-400\n", "r", "0"}, {"1e999\n", "r", "inf"},
      {"-1e400\n", "r", "-inf"},
      // A value ends where it cannot go on, and the next starts there.
      {"1+5\n", "rr", "1 5"}, {"1.5.3\n", "rr", "1.5 0.3"}, {"1x 2\n", "r", "1"}, {"1e5x\n", "r", "1e+05"},
      // Correctly rounded whatever the digits: 2^53 + 1 is a tie to even.
      {"9007199254740993\n", "r", "9007199254740992"},
      {"9007199254740993.0000000000000000000000001\n", "r", "9007199254740994"},
      {".\n", "r", kNumber}, {"-\n", "r", kNumber}, {"+.\n", "r", kNumber}, {"-e5\n", "r", kNumber},
      {".e5\n", "r", kNumber},
      {"1.5e\n", "r", kExponent}, {"1.5e+\n", "r", kExponent}, {"1.5e-x\n", "r", kExponent},
      {"2D\n", "r", kExponent}, {"2E 3\n", "r", kExponent},
  });
}

TEST(ListRead, Names) {
  const std::string n78(78, 'n'), n79(79, 'n');
  check({
      {"rep.txt\n", "n", "rep.txt"}, {"\n  \t rep.txt  \n", "n", "rep.txt"},
      // Unquoted, a name ends before a blank, tab, comma or slash.
      {"data/sites.txt\n", "n", "data"}, {"a b\n", "n", "a"}, {"a,b\n", "n", "a"}, {"a\tb\n", "n", "a"},
      {"rep.txt\r\n", "n", "rep.txt\r"},
      // Only a leading run of digits and '*' is a repeat count.
      {"12abc\n", "n", "12abc"}, {"*rep.txt\n", "n", "*rep.txt"}, {"-2*x\n", "n", "-2*x"},
      {"2*name\n", "n", "name"}, {"1*'a b'\n", "n", "a b"}, {"0*x\n", "n", kCount},
      {"'data/sites.txt'\n", "n", "data/sites.txt"}, {"'my file, v2'\n", "n", "my file, v2"},
      {"\"it's\"\n", "n", "it's"}, {"'it''s'\n", "n", "it's"}, {"\"say \"\"x\"\"\"\n", "n", "say \"x\""},
      {"'ab\n\ncd'\n", "n", "abcd"}, {"'rep.txt'junk\n", "n", "rep.txt"}, {"''\n", "n", ""}, {"'abc\n", "n", kEof},
      {",\n", "n", "_"}, {"/\n", "n", "_"}, {"2*\n", "n", "_"}, {"1*,x\n", "n", "_"},
      // Cut to 79 characters, counting a doubled quote as one.
      {n78 + "\n", "n", n78}, {n79 + "n\n", "n", n79}, {"'" + n79 + "nnnn'\n", "n", n79},
      {"'" + n78 + "''more'\n", "n", n78 + "'"},
  });
}

TEST(ListRead, EachReadStartsAfterTheLastLineItUsed) {
  check({
      {"1 2 3\n4\n5 6\n7\n/ 8\n9\n'rep.txt'junk\n10\n", "ii|i|iii|i|i|n|i|i|i",
       "1 2|4|5 6 7|_|9|rep.txt|10|" + kEof + "|" + kReadStart},
      // The end-of-input flag is set by any read that meets the end, also
      // one that succeeds on a last line without a line feed.
      {"", "i", kEof}, {"\n\n  \n", "i", kEof}, {"3\n", "ii", kEof}, {"3", "ii", kEof},
      {"5\n", "i|i", "5|" + kEof}, {"5\n\n\n", "i|i", "5|" + kEof},
      {"5", "i|i", "5|" + kReadStart}, {"5 junk", "i|i", "5|" + kReadStart}, {"1.5", "r|r", "1.5|" + kReadStart},
      {"5\n6", "i|i|i", "5|6|" + kReadStart}, {"5 /", "ii|i", "5 _|" + kReadStart}, {"'abc\ndef", "n", kEof},
  });
}

}  // namespace
}  // namespace ortelix::textio
