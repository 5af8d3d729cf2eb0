// Free-format input: separators, null values, repeat counts, integers,
// reals, names, the end of the input and what is left for the next read.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "textio/char_stream.h"
#include "textio/list_read.h"

namespace ortelix::textio {
namespace {

constexpr std::int32_t kUntouched = -7;
constexpr double kUntouchedReal = -7.5;

// "" for a read that succeeds, else "context: reason".
std::string describe(const std::optional<IoError>& e) { return e ? e->context + ": " + e->reason : ""; }

struct Ints {
  std::vector<std::int32_t> values;
  std::string error;
};

Ints read_ints(CharStream& in, std::size_t count) {
  Ints r{std::vector<std::int32_t>(count, kUntouched), ""};
  std::vector<Target> targets;
  for (std::int32_t& v : r.values) targets.emplace_back(v);
  r.error = describe(list_read(in, targets));
  return r;
}

Ints read_ints(const std::string& input, std::size_t count) {
  CharStream in = CharStream::from_text(input);
  return read_ints(in, count);
}

struct Reals {
  std::vector<double> values;
  std::string error;
};

Reals read_reals(CharStream& in, std::size_t count) {
  Reals r{std::vector<double>(count, kUntouchedReal), ""};
  std::vector<Target> targets;
  for (double& v : r.values) targets.emplace_back(v);
  r.error = describe(list_read(in, targets));
  return r;
}

Reals read_reals(const std::string& input, std::size_t count) {
  CharStream in = CharStream::from_text(input);
  return read_reals(in, count);
}

struct Name {
  std::string value;
  std::string error;
};

const std::string kInitialName = "init" + std::string(75, ' ');

Name read_name(CharStream& in) {
  Name r{kInitialName, ""};
  r.error = describe(list_read(in, {r.value}));
  return r;
}

Name read_name(const std::string& input) {
  CharStream in = CharStream::from_text(input);
  return read_name(in);
}

std::string padded(const std::string& s) { return s + std::string(kNameLength - s.size(), ' '); }

const char kEof[] = "list in: end of file";
const char kReadStart[] = "read start: end of file";
const char kInvalidNumber[] = "invalid number: incomprehensible list input";
const char kInvalidInteger[] = "invalid integer: read unexpected character";
const char kOutOfRange[] = "invalid integer: integer out of range";
const char kBadCount[] = "bad repetition count: incomprehensible list input";
const char kExponent[] = "exponent field: incomprehensible list input";

struct IntCase {
  const char* input;
  std::vector<std::int32_t> values;  // kUntouched where a null leaves the item
  const char* error = "";
};

void check(const std::vector<IntCase>& cases) {
  for (const IntCase& c : cases) {
    Ints got = read_ints(c.input, c.values.size());
    EXPECT_EQ(c.error, got.error) << "input: " << c.input;
    if (c.error[0] == '\0') {
      EXPECT_EQ(c.values, got.values) << "input: " << c.input;
    }
  }
}

TEST(ListReadIntegers, SeparatorsBlanksTabsCommasLineEnds) {
  const std::int32_t U = kUntouched;
  check({
      {"3 4\n", {3, 4}},
      {"3, 4\n", {3, 4}},
      {"3,4\n", {3, 4}},
      {"3 , 4\n", {3, 4}},
      {"3\t4\n", {3, 4}},
      {"3\n4\n", {3, 4}},
      {"3 4", {3, 4}},
      {"\n\n   \n\t3\n\n4\n", {3, 4}},  // empty lines are passed over
      {"  7 ,  8 \n", {7, 8}},
      {"3 4\r\n", {3, 4}},  // the carriage return goes with the rest of the line
      {"3\r\n4\r\n", {U, U}, kInvalidNumber},
      {"12abc\n", {12}},
      {"-0\n", {0}},
      {"+7\n", {7}},
      {"1+5\n", {1, 5}},
      {"1-5\n", {1, -5}},
  });
}

TEST(ListReadIntegers, NullValuesAndSlash) {
  const std::int32_t U = kUntouched;
  check({
      {",5\n", {U, 5}},
      {"  ,5\n", {U, 5}},
      {",,5\n", {U, U, 5}},
      {"3,,5\n", {3, U, 5}},
      {"3, ,5\n", {3, U, 5}},
      // A comma after a line end is a null value.
      {"4\n,5\n", {4, U, 5}},
      // A comma after a value is its separator, also before a line end.
      {"5 ,\n6\n", {5, 6}},
      {"5 ,\n6 7\n", {5, 6, 7}},
      {"1 / 3\n", {1, U, U}},
      {"/\n", {U, U}},
      {"7/8\n", {7, U}},
      {"7,/\n", {7, U}},
      {",/\n", {U, U}},
  });
}

TEST(ListReadIntegers, RepeatCounts) {
  const std::int32_t U = kUntouched;
  check({
      {"3*2\n", {2, 2, 2}},
      {"2*9 4\n", {9, 9, 4}},
      {"+2*3 4\n", {3, 3, 4}},
      {"2*\n9\n", {U, U, 9}},
      {"2* 9\n", {U, U, 9}},
      {"2*,9\n", {U, U, 9}},
      {"2*/\n", {U, U, U}},
      {"1 2*5\n", {1, 5}},  // a repeat longer than the read is cut off
      {"*3\n", {U}, kBadCount},
      {"0*3\n", {U}, kBadCount},
      {"-2*3\n", {U}, kBadCount},
      {"2*abc\n", {U}, kInvalidNumber},
  });
}

TEST(ListReadIntegers, InvalidValuesAndThe32BitRange) {
  const std::int32_t U = kUntouched;
  check({
      {"2.0\n", {U}, kInvalidInteger},
      {"2.5\n", {U}, kInvalidInteger},
      {"1e5\n", {U}, kInvalidInteger},
      {"1E5\n", {U}, kInvalidInteger},
      {"1d5\n", {U}, kInvalidInteger},
      {"1D5\n", {U}, kInvalidInteger},
      {".5\n", {U}, kInvalidInteger},
      {"1.5e3\n", {U}, kInvalidInteger},
      {"abc\n", {U}, kInvalidNumber},
      {"e5\n", {U}, kInvalidNumber},
      {"+\n", {U}, kInvalidNumber},
      {"-\n", {U}, kInvalidNumber},
      {"- 3\n", {U}, kInvalidNumber},
      {"2147483647\n", {2147483647}},
      {"-2147483648\n", {std::numeric_limits<std::int32_t>::min()}},
      {"-000000000000000000002147483648\n", {std::numeric_limits<std::int32_t>::min()}},
      {"2147483648\n", {U}, kOutOfRange},
      {"-2147483649\n", {U}, kOutOfRange},
      {"99999999999\n", {U}, kOutOfRange},
      {"99999999999999999999999999999999\n", {U}, kOutOfRange},
      // The unexpected character is reported before the range.
      {"99999999999.5\n", {U}, kInvalidInteger},
      {"99999999999e1\n", {U}, kInvalidInteger},
      // The values read before a failure keep their new values.
      {"4 x\n", {4, U}, kInvalidNumber},
  });
  Ints partial = read_ints("4 x\n", 2);
  EXPECT_EQ(4, partial.values[0]);
}

TEST(ListReadIntegers, LeadingZerosAcrossInputBlocksDoNotCount) {
  // Through a real file so that the value spans several read(2) blocks.
  char path[] = "/tmp/ortelix-zerosXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  std::string text = std::string(1000000, '0') + "3 -" + std::string(200000, '0') + "2147483648\n9\n";
  ASSERT_EQ(static_cast<ssize_t>(text.size()), ::write(fd, text.data(), text.size()));
  ASSERT_EQ(0, ::lseek(fd, 0, SEEK_SET));
  CharStream in(fd);
  Ints first = read_ints(in, 2);
  EXPECT_EQ("", first.error);
  EXPECT_EQ(std::vector<std::int32_t>({3, std::numeric_limits<std::int32_t>::min()}), first.values);
  Ints second = read_ints(in, 1);
  EXPECT_EQ(std::vector<std::int32_t>({9}), second.values);
  EXPECT_EQ(kEof, read_ints(in, 1).error);
  ::close(fd);
  ::unlink(path);
}

TEST(ListReadReals, FormsThatAreAccepted) {
  struct Case {
    const char* input;
    std::vector<double> values;
  } cases[] = {
      {"1\n", {1.0}},
      {"65.22\n", {65.22}},
      {"-3.5E2\n", {-350.0}},
      {"1d-3\n", {0.001}},
      {"1D3\n", {1000.0}},
      {"1e5\n", {100000.0}},
      {"+1.5e+2\n", {150.0}},
      {"5.\n", {5.0}},
      {".5\n", {0.5}},
      {"-.5\n", {-0.5}},
      {"1.e1\n", {10.0}},
      {"2.0\n", {2.0}},
      {"0.1\n", {0.1}},
      // A value ends where it cannot go on; the next starts right there.
      {"1+5\n", {1.0, 5.0}},
      {"1.5.3\n", {1.5, 0.3}},
      {"1x 2\n", {1.0}},
      {"1e5x\n", {100000.0}},
      {"3*1.5\n", {1.5, 1.5, 1.5}},
      {"2*,4\n", {kUntouchedReal, kUntouchedReal, 4.0}},
      {"1e-400\n", {0.0}},
      // Correct rounding whatever the number of digits: 2^53 + 1 is a tie
      // that goes to the even 2^53; any digit after it breaks the tie.
      {"9007199254740993\n", {9007199254740992.0}},
      {"9007199254740993.0000000000000000000000001\n", {9007199254740994.0}},
      {"9007199254740994.9999999999999999999999999\n", {9007199254740994.0}},
      {"0.1000000000000000055511151231257827021181583404541015625\n", {0.1}},
  };
  for (const Case& c : cases) {
    Reals got = read_reals(c.input, c.values.size());
    EXPECT_EQ("", got.error) << c.input;
    EXPECT_EQ(c.values, got.values) << c.input;
  }
  EXPECT_EQ(std::numeric_limits<double>::infinity(), read_reals("1e999\n", 1).values[0]);
  EXPECT_EQ(-std::numeric_limits<double>::infinity(), read_reals("-1e400\n", 1).values[0]);
  EXPECT_TRUE(std::signbit(read_reals("-0.0\n", 1).values[0]));
}

TEST(ListReadReals, FormsThatEndTheRun) {
  const char* invalid[] = {".\n", "-\n", "+.\n", "abc\n", "e5\n", "-e5\n", ".e5\n"};
  for (const char* input : invalid) EXPECT_EQ(kInvalidNumber, read_reals(input, 1).error) << input;
  const char* exponent[] = {"1.5e\n", "1.5e+\n", "1.5e-x\n", "2D\n", "2E 3\n"};
  for (const char* input : exponent) EXPECT_EQ(kExponent, read_reals(input, 1).error) << input;
  const char* count[] = {"*3\n", "0*3\n", "-2*3\n"};
  for (const char* input : count) EXPECT_EQ(kBadCount, read_reals(input, 1).error) << input;
  // A carriage return does not separate two values on different lines.
  EXPECT_EQ(kInvalidNumber, read_reals("1\r\n2\r\n", 2).error);
  EXPECT_EQ("", read_reals("1 2\r\n", 2).error);
}

TEST(ListReadNames, UnquotedQuotedAndRepeated) {
  struct Case {
    const char* input;
    std::string value;  // before padding; "" with an error
    const char* error = "";
  } cases[] = {
      {"rep.txt\n", "rep.txt"},
      {"  \t rep.txt  \n", "rep.txt"},
      {"\n\nrep.txt\n", "rep.txt"},
      {"data/sites.txt\n", "data"},
      {"a b\n", "a"},
      {"a,b\n", "a"},
      {"a\tb\n", "a"},
      {"rep.txt\r\n", "rep.txt\r"},
      {"12abc\n", "12abc"},
      {"*rep.txt\n", "*rep.txt"},
      {"-2*x\n", "-2*x"},
      {"2*name\n", "name"},
      {"1*'a b'\n", "a b"},
      {"'data/sites.txt'\n", "data/sites.txt"},
      {"'my file, v2'\n", "my file, v2"},
      {"\"it's\"\n", "it's"},
      {"'it''s'\n", "it's"},
      {"\"say \"\"x\"\"\"\n", "say \"x\""},
      {"'ab\ncd'\n", "abcd"},
      {"'ab\n\ncd'\n", "abcd"},
      {"'rep.txt'junk\n", "rep.txt"},
      {"''\n", ""},
      {"0*x\n", "", kBadCount},
      {"'abc\n", "", kEof},
  };
  for (const Case& c : cases) {
    Name got = read_name(c.input);
    EXPECT_EQ(c.error, got.error) << c.input;
    if (c.error[0] == '\0') {
      EXPECT_EQ(padded(c.value), got.value) << c.input;
    }
  }
  // Null values and a slash leave the variable as it was.
  for (const char* keep : {",\n", "/\n", "2*\n", "1*,x\n"}) {
    Name got = read_name(keep);
    EXPECT_EQ("", got.error) << keep;
    EXPECT_EQ(kInitialName, got.value) << keep;
  }
}

TEST(ListReadNames, CutOrPaddedToSeventyNineCharacters) {
  for (std::size_t length : {1u, 78u, 79u, 80u, 200u}) {
    const std::string typed(length, 'n');
    const std::string expected = length >= kNameLength ? std::string(kNameLength, 'n') : padded(typed);
    EXPECT_EQ(expected, read_name(typed + "\n").value) << length;
    EXPECT_EQ(expected, read_name("'" + typed + "'\n").value) << length;
  }
  // The cut applies to the stored characters: a doubled quote is one.
  EXPECT_EQ(std::string(78, 'n') + "'", read_name("'" + std::string(78, 'n') + "''more'\n").value);
}

TEST(ListReadSequence, EachReadStartsOnTheLineAfterTheLastOneUsed) {
  CharStream in = CharStream::from_text("1 2 3\n4\n5 6\n7\n/ 8\n9\n'rep.txt'junk\n10\n");
  EXPECT_EQ(std::vector<std::int32_t>({1, 2}), read_ints(in, 2).values);
  EXPECT_EQ(std::vector<std::int32_t>({4}), read_ints(in, 1).values);
  // Continued onto the next line, whose rest is then dropped.
  EXPECT_EQ(std::vector<std::int32_t>({5, 6, 7}), read_ints(in, 3).values);
  EXPECT_EQ(std::vector<std::int32_t>({kUntouched}), read_ints(in, 1).values);
  EXPECT_EQ(std::vector<std::int32_t>({9}), read_ints(in, 1).values);
  EXPECT_EQ(padded("rep.txt"), read_name(in).value);
  EXPECT_EQ(std::vector<std::int32_t>({10}), read_ints(in, 1).values);
  EXPECT_EQ(kEof, read_ints(in, 1).error);
  EXPECT_EQ(kReadStart, read_ints(in, 1).error);
}

TEST(ListReadSequence, EndOfInputAtStartOrInsideARead) {
  struct Case {
    const char* input;
    std::vector<std::size_t> reads;  // items of each read, in turn
    const char* last_error;          // of the last read; the others succeed
  } cases[] = {
      {"", {1}, kEof},
      {"\n\n  \n", {1}, kEof},
      {"3\n", {2}, kEof},
      {"3", {2}, kEof},  // the read started with the flag clear
      {"5\n", {1, 1}, kEof},
      {"5\n\n\n", {1, 1}, kEof},
      // The last line has no line feed: the first read reaches the end.
      {"5", {1, 1}, kReadStart},
      {"5 junk", {1, 1}, kReadStart},
      {"5\n6", {1, 1, 1}, kReadStart},
      {"5 /", {2, 1}, kReadStart},
  };
  for (const Case& c : cases) {
    CharStream in = CharStream::from_text(c.input);
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
      std::string error = read_ints(in, c.reads[i]).error;
      EXPECT_EQ(i + 1 == c.reads.size() ? c.last_error : "", error) << "input: " << c.input << " read " << i;
    }
  }
  // A name whose closing quote never comes.
  CharStream open_quote = CharStream::from_text("'abc\ndef");
  EXPECT_EQ(kEof, read_name(open_quote).error);
  // The flag is set by a read that ends on the last line and succeeds.
  CharStream last = CharStream::from_text("1.5");
  Reals first = read_reals(last, 1);
  EXPECT_EQ("", first.error);
  EXPECT_EQ(std::vector<double>({1.5}), first.values);
  EXPECT_TRUE(last.end_seen());
}

}  // namespace
}  // namespace ortelix::textio
