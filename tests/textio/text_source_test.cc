// A text read record by record with the free-format reader: where each
// record ends, where a failure is, and numbers printed to be read back.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "textio/exact_number.h"
#include "textio/text_source.h"

namespace ortelix::textio {
namespace {

// Reads records of `sizes` reals in turn; each read gives "values@next"
// (next: the 0-based line the following record starts on) or
// "!line:context: reason", and the reads stop at the first failure.
std::string reads(const std::string& text, const std::vector<int>& sizes) {
  TextSource source("t", text);
  std::string out;
  for (int size : sizes) {
    std::vector<double> v(static_cast<std::size_t>(size), -1);
    std::vector<Target> targets(v.begin(), v.end());
    std::size_t line = 0;
    if (auto r = source.read_record(targets, line); !r.ok()) {
      return out + "!" + std::to_string(line) + ":" + r.error().context + ": " + r.error().reason;
    }
    for (double x : v) out += std::to_string(static_cast<int>(x)) + " ";
    out += "@" + std::to_string(source.next_line()) + " ";
  }
  return out;
}

TEST(TextSource, RecordsEndOnTheirLastLineAndFailuresNameTheirs) {
  const struct Case {
    const char* text;
    std::vector<int> sizes;
    const char* want;
  } cases[] = {
      {"1 2\n3 4\n", {2, 2}, "1 2 @1 3 4 @2 "},
      {"1 2 9 9\n3 4\n", {2, 2}, "1 2 @1 3 4 @2 "},  // the rest of a record's last line is dropped
      {"1\n\n2\n3 4", {2, 2}, "1 2 @3 3 4 @4 "},      // over lines; no line feed at the end
      {"1,,3\r\n4\r\n", {3, 1}, "1 0 3 @1 4 @2 "},    // a null value leaves 0
      {"1 2 /\n5\n", {3, 1}, "1 2 0 @1 5 @2 "},       // a slash ends the record
      {"1\n2\n", {3}, "!2:list in: end of file"},
      {"1\n2 x\n", {3}, "!2:invalid number: incomprehensible list input"},
      {"1\n2\n3 4.5e\n", {1, 1, 2}, "1 @1 2 @2 !3:exponent field: incomprehensible list input"},
      {"", {1}, "!1:list in: end of file"},
      {"\n\n\n", {1}, "!3:list in: end of file"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.want, reads(c.text, c.sizes)) << c.text;
}

TEST(TextSource, LinesWithoutTheirLineFeed) {
  const TextSource source("t", "a\r\n\nbc");
  ASSERT_EQ(3u, source.line_count());
  EXPECT_EQ("a\r", source.line(0));
  EXPECT_EQ("", source.line(1));
  EXPECT_EQ("bc", source.line(2));
  EXPECT_EQ("t:7: x", at_line(source, 7, "x"));
}

TEST(ExactNumber, ReadsBackExactlyWithAtLeastNineDigits) {
  const std::pair<double, const char*> cases[] = {
      {1, "1"}, {0.5, "0.5"}, {2.23606798, "2.23606798"}, {123.456789012, "123.456789012"},
      {std::sqrt(5.0), "2.23606797749979"}, {0.1 + 0.2, "0.30000000000000004"}, {1e-5, "1e-05"},
      {1.0 / 3, "0.3333333333333333"}, {0, "0"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(text, exact_number(value));
}

}  // namespace
}  // namespace ortelix::textio
