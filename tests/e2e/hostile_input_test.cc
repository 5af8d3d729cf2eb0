// Hostile answers on the keyboard: numbers beyond every range at each kind
// of question, odd spellings, names too long or oddly quoted, megabyte lines
// and binary garbage. Each run must end the way the reading rules say, never
// crash or hang; an answer that must mean the same as a plain one must give
// the run of the plain one.

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/dialogue.h"

namespace ortelix::e2e {
namespace {

const std::string kTransect10 = "transect10-pcnm-layout1";

TEST(HostileAnswers, UnreadableNumbersEndTheRunAtEachQuestion) {
  // Exponent letters and points right after the digits are reported before
  // the range; a sign before a repeat count is never a count.
  const std::vector<std::pair<std::string, std::string>> integers = {
      {"1e400", kUnexpected}, {"-1e400", kUnexpected}, {"1e-400", kUnexpected}, {"99999999999", kOutOfRange},
      {"-2147483649", kOutOfRange}, {"2147483648", kOutOfRange}, {"2.0", kUnexpected}, {"1.5e", kUnexpected},
      {"*3", kBadCount}, {"0*3", kBadCount}, {"-2*3", kBadCount}, {"+*3", kBadCount}, {"abc", kNotANumber},
      {"\x80\x01\xff", kNotANumber}};
  for (const Question& q : {kAtLayout, kAtDesign, kAtObjects, kAtGrid, kAtSave, kAtMethod, kAtOrder}) {
    for (const auto& [answer, err] : integers) expect_failure(q, answer + "\n", err);
  }
  expect_failure(kAtGrid, "3 99999999999\n", kOutOfRange);
  expect_failure(kAtGrid, "3,1e400\n", kUnexpected);
  const std::vector<std::pair<std::string, std::string>> reals = {
      {"1.5e", kBadExponent}, {"1e+", kBadExponent}, {"*3", kBadCount}, {"0*3", kBadCount}, {"-2*3", kBadCount},
      {"+*3", kBadCount}, {".", kNotANumber}, {"-.e5", kNotANumber}, {"inf", kNotANumber}, {"nan", kNotANumber},
      {".*3", kNotANumber}, {"abc", kNotANumber}, {std::string("\0" "1", 2), kNotANumber}};
  for (const auto& [answer, err] : reals) expect_failure(kAtLimit, answer + "\n", err);
  for (const char* name : {"0*3", "00*x"}) expect_failure(kAtVariable, std::string(name) + "\n", kBadCount);
  for (const char* name : {"'never closed\nvar.txt\n", "\"'\n"}) expect_failure(kAtVariable, name, kEnd);
}

TEST(HostileAnswers, NullsKeepTheStartingZero) {
  // Layout 0 is silently asked again; the save question takes 0 as no.
  for (const std::string answer : {",", "/", "3*", ", ,", "/ 2"}) {
    expect_failure(then(kAtLayout, "layout again", answer + "\n", kAskLayout), "", kEnd);
    expect_failure(then(kAtSave, "method", answer + "\n", kAskMethod), "", kEnd);
  }
}

TEST(HostileAnswers, TheTruncationLimitFollowsIeeeArithmetic) {
  // Limits that truncate nothing give the variables of the untruncated
  // distances; infinity and 1e11 do not fit F12.3.
  RunResult plain = run_fresh(kAtLimit.in + "1000\n");
  ASSERT_EQ("exit 0", plain.status);
  for (const char* limit : {"1e400", "99999999999", "1e300"}) {
    SCOPED_TRACE(limit);
    RunResult r = run_fresh(kAtLimit.in + limit + "\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("", r.stderr_text);
    EXPECT_EQ(plain.files["var.txt"], r.files["var.txt"]);
    EXPECT_NE(std::string::npos, r.stdout_text.find(" Truncation of the distance matrix to the distance************\n"
                                                     " yielded    1 positive eigenvalues.\n"));
    EXPECT_NE(std::string::npos, r.files["rep.txt"].find("    Highest unmodified distance value = ************\n"));
  }
  // Zero, whether typed, underflowing or left by a null.
  RunResult zero = run_fresh(kAtLimit.in + "0\n");
  ASSERT_NE(std::string::npos, zero.stdout_text.find(" yielded    0 positive eigenvalues.\n"));
  for (const char* limit : {"1e-400", ",", "/", "-0", "0.0e999"}) {
    SCOPED_TRACE(limit);
    RunResult r = run_fresh(kAtLimit.in + limit + "\n");
    EXPECT_EQ(mask_time(zero.stdout_text), mask_time(r.stdout_text));
    EXPECT_EQ(mask_time(zero.files["rep.txt"]), mask_time(r.files["rep.txt"]));
    EXPECT_EQ(zero.files["var.txt"], r.files["var.txt"]);
  }
  // A huge negative limit turns every distance into one constant: nine equal
  // eigenvalues near 4.5e19 and a tenth that is rounding noise of that size,
  // so the limit is refused and asked again.
  RunResult r = run_fresh(kAtLimit.in + "-2147483649\n");
  EXPECT_EQ(kEnd, r.stderr_text);
  const std::string refusal = kAtLimit.out + "\n\n Truncation of the distance matrix using limit  -2.38609291E+09\n"
                                             " yielded a PCNM matrix containing ";
  const std::string tail = " variables.\n There are too many PCNMs: R-square=1, not signif.\n"
                           " Choose a lower truncation limit.\n" + kAskLimit;
  EXPECT_TRUE(r.stdout_text == refusal + " 9" + tail || r.stdout_text == refusal + " 10" + tail) << r.stdout_text;
}

TEST(HostileAnswers, EverySpellingOfOneIsTheWorkedExample) {
  for (const char* one : {"1", "1.0", "+1.", "1d0", "10E-1", "0.1e+1", "1*1", "2*1", "1.abc", "1+5",
                          "00000000000000000000000000000000000000001.000000000000000000000000000000000"}) {
    SCOPED_TRACE(one);
    expect_case(kTransect10, run_fresh("rep.txt\nvar.txt\n1\n1\n10\n1\n" + std::string(one) + "\n"));
  }
}

TEST(HostileAnswers, NamesAreCutToSeventyNineCharactersAndUnquoted) {
  // The typed variable-file name and the name the file gets; the screen
  // shows the 79-character variable on a line of its own.
  const std::vector<std::pair<std::string, std::string>> names = {
      {std::string(79, 'a'), std::string(79, 'a')}, {std::string(80, 'b'), std::string(79, 'b')},
      {std::string(200, 'c'), std::string(79, 'c')}, {"'" + std::string(100, 'd') + "'", std::string(79, 'd')},
      {"'it''s.txt'", "it's.txt"}, {"\"say \"\"hi\"\".txt\"", "say \"hi\".txt"}, {"'var\n.txt'", "var.txt"},
      {"\"x\n\n\"\"y\"trailing junk", "x\"y"}, {"'a/b,c d'", "a/b,c d"}, {"2.0", "2.0"}, {"1.5e", "1.5e"},
      {"*3", "*3"}, {"-2*3", "-2*3"}, {"3*v.txt", "v.txt"}, {"v.txt\r", "v.txt\r"}, {"v\ttab", "v"}};
  const std::string screen = case_file(kTransect10, "expected.stdout");
  const std::string var_line = " var.txt" + std::string(72, ' ') + "\n";
  const std::size_t at = screen.find(var_line);
  ASSERT_NE(std::string::npos, at);
  for (const auto& [typed, stored] : names) {
    SCOPED_TRACE(typed.substr(0, 40));
    RunOptions options;
    options.input_files["a/keep"] = "";  // a folder for the name with a slash
    RunResult r = run_fresh("rep.txt\n" + typed + "\n1\n1\n10\n1\n1\n", options);
    std::string want = screen;
    want.replace(at, var_line.size(), " " + stored + std::string(79 - stored.size(), ' ') + "\n");
    EXPECT_EQ(mask_time(want), mask_time(r.stdout_text));
    EXPECT_EQ(case_file(kTransect10, "expected.files/var.txt"), r.files[stored]);
    EXPECT_EQ(3u, r.files.size());
  }
}

TEST(HostileAnswers, MegabyteLinesReadLikeShortOnes) {
  const std::string mega(1 << 20, 'x'), zeros(1 << 20, '0'), blanks(1 << 20, ' ');
  // 0.000...01 with a million digits, times 10 to the million: exactly 1.
  const std::string one = "0." + std::string(999999, '0') + "1e1000000";
  expect_case(kTransect10, run_fresh("rep.txt " + mega + "\n" +      // the rest of a line is discarded
                                     "\n\n" + blanks + "\nvar.txt\n" +  // empty and blank lines are passed over
                                     zeros + "1\n" + blanks + "1\n" +   // leading zeros and blanks do not count
                                     "10" + mega + "\n" +               // a value ends at the first letter
                                     "1," + std::string(1 << 20, ',') + "\n" + one + "\n"));
  expect_failure(kAtObjects, std::string(1 << 20, '7') + "\n", kOutOfRange);
  expect_failure(kAtObjects, zeros + "2.\n", kUnexpected);
  expect_failure(kAtReport, "'" + mega + "\n", kEnd);
}

TEST(HostileAnswers, BinaryGarbageEndsWithADiagnosticNeverACrash) {
  std::uint64_t state = 0x9e3779b97f4a7c15ULL;
  const std::set<std::string> reading_failures = {
      "list in: end of file", "read start: end of file", "invalid number: incomprehensible list input",
      "invalid integer: read unexpected character", "invalid integer: integer out of range",
      "exponent field: incomprehensible list input", "bad repetition count: incomprehensible list input"};
  int diagnosed = 0;
  for (const Question& q : {kAtReport, kAtLayout, kAtObjects, kAtLimit}) {
    for (int round = 0; round < 6; ++round) {
      std::string garbage(static_cast<std::size_t>(4096 << round), '\0');
      for (char& c : garbage) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        c = static_cast<char>(state >> 56);
      }
      SCOPED_TRACE(std::string(q.name) + ", round " + std::to_string(round));
      RunResult r = run_fresh(q.in + garbage);
      if (r.status == "exit 0") continue;  // garbage that happened to read as answers
      ASSERT_EQ("exit 134", r.status) << r.stderr_text;
      const std::string first = r.stderr_text.substr(0, r.stderr_text.find('\n'));
      const bool opening = first.rfind("open: ", 0) == 0;
      EXPECT_TRUE(opening || reading_failures.count(first) == 1) << first;
      if (!opening) {
        EXPECT_EQ(diagnostic(first), r.stderr_text);
      }
      EXPECT_EQ(4, std::count(r.stderr_text.begin(), r.stderr_text.end(), '\n')) << r.stderr_text;
      EXPECT_TRUE(r.stderr_text.ends_with("\nlast format: list io\nlately reading sequential formatted external IO\n"));
      ++diagnosed;
    }
  }
  EXPECT_GE(diagnosed, 20);  // random bytes rarely spell an answer
}

}  // namespace
}  // namespace ortelix::e2e
