// Hostile answers on the keyboard: numbers beyond every range at each kind
// of question, names too long or oddly quoted, megabyte lines and binary
// garbage. Each run must end the way the reading rules say (a value, a null,
// or the four-line diagnostic and the abort), never crash or hang. Where an
// answer must mean the same as a plain one, the run is compared with the
// hand-worked transect of 10 sites (tests/e2e/cases).

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/run_binary.h"

namespace ortelix::e2e {
namespace {

using Files = std::map<std::string, std::string>;

const std::string kBanner =
    " Program \"Ortelix\" creates a file of PCNM\n"
    " or polynomial spatial variables.\n"
    "\n"
    " Version 1.0\n"
    " Spatial variables for canonical ordination and regression.\n"
    "\n";
const std::string kStart = kBanner +
                           " This program can handle a maximum of   2000 objects.\n"
                           " Name of output file containing the PCoA eigenvalues?\n";
const std::string kAskVariable = "\n Name of output file containing the spatial\n variables (PCNM or monomials)?\n";
const std::string kAskLayout =
    "\n Output the file of spatial variables in the following format:\n"
    " (1) A single line per object\n"
    " (2) Folded object vectors, 10 to 12 values per line\n"
    " (3) Canoco input file, FREE format\n";
const std::string kAskDesign =
    "\n Sampling design:\n"
    " (1) A transect with equidistant points\n"
    " (2) A regular grid\n"
    " (3) File containing X or X-Y coordinates\n";
const std::string kAskObjects = "\n Number of objects?\n";
const std::string kAskGrid = "\n Regular grid: \n number of rows and columns of points (two integers)\n";
const std::string kAskSave = "\n Save the file of X-Y coordinates?\n (0) No, (1) Yes\n";
const std::string kAskMethod =
    "\n Do you want to construct\n"
    " (1) a file of PCNM spatial variables?\n"
    " (2) a file containing a polynomial of the coordinates?\n";
const std::string kRanging = "\n The coordinates were ranged and centred before computing the spatial variables.\n";
const std::string kAskOrder = "\n Order of the polynomial? 2 to 5\n";
const std::string kAskLimit =
    "\n Truncation of the distance matrix --\n\n"
    " Highest unmodified value in distance matrix?\n"
    " Type an integer or a real number, ex. 1 or 65.22.\n"
    " Use the SAME measurement units as the site coordinates.\n";
const std::string kTransectRecord = "  Unidimensional transect with equidistant points\n";
const std::string kGrid32Record = " Regular grid containing\n      3 horizontal points\n      2 vertical points\n\n";
const std::string kPcnmHeading = "\n Matrix of PCNM spatial variables\n";

std::string keyboard(const std::string& context, const std::string& reason) {
  return context + ": " + reason +
         "\napparent state: unit 5 (unnamed)\nlast format: list io\nlately reading sequential formatted external IO\n";
}
const std::string kEnd = keyboard("list in", "end of file");
const std::string kUnexpected = keyboard("invalid integer", "read unexpected character");
const std::string kOutOfRange = keyboard("invalid integer", "integer out of range");
const std::string kBadCount = keyboard("bad repetition count", "incomprehensible list input");
const std::string kNotANumber = keyboard("invalid number", "incomprehensible list input");

// A question of the dialogue: the answers that reach it, the screen and the
// files as they stand while it waits.
struct Question {
  const char* name;
  std::string in;
  std::string out;
  Files files;
};

const Question kLayout{"layout", "rep.txt\nvar.txt\n", kStart + kAskVariable + kAskLayout,
                       {{"rep.txt", kBanner}, {"var.txt", ""}}};
const Question kDesign{"design", kLayout.in + "1\n", kLayout.out + kAskDesign, kLayout.files};
const Question kObjects{"objects", kDesign.in + "1\n", kDesign.out + kAskObjects, kLayout.files};
const Question kGrid{"grid size", kDesign.in + "2\n", kDesign.out + kAskGrid, kLayout.files};
const Question kSave{"save", kGrid.in + "3 2\n", kGrid.out + kAskSave,
                     {{"rep.txt", kBanner + kGrid32Record}, {"var.txt", ""}}};
const Question kMethod{"method", kObjects.in + "10\n", kObjects.out + kAskMethod,
                       {{"rep.txt", kBanner + kTransectRecord}, {"var.txt", ""}}};
const Question kOrder{"order", kMethod.in + "2\n", kMethod.out + kRanging + kAskOrder,
                      {{"rep.txt", kBanner + kTransectRecord + kRanging}, {"var.txt", ""}}};
const Question kLimit{"truncation limit", kMethod.in + "1\n", kMethod.out + kRanging + kAskLimit,
                      {{"rep.txt", kBanner + kTransectRecord + kRanging + kPcnmHeading}, {"var.txt", ""}}};

void expect_failure(const Question& q, const std::string& answer, const std::string& err) {
  SCOPED_TRACE(std::string(q.name) + " answered " + answer.substr(0, 40));
  RunResult r = run_fresh(q.in + answer);
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(err, r.stderr_text);
  EXPECT_EQ(q.out, r.stdout_text);
  EXPECT_EQ(q.files, r.files);
}

// ---- the worked example: a transect of 10 sites, limit 1, layout 1

std::string golden(const std::string& file) {
  return read_file(std::string(ORTELIX_CASES) + "/transect10-pcnm-layout1/" + file);
}

void expect_worked_example(const char* what, const std::string& in) {
  SCOPED_TRACE(what);
  RunResult r = run_fresh(in);
  EXPECT_EQ(mask_time(golden("expected.stdout")), mask_time(r.stdout_text));
  EXPECT_EQ("", r.stderr_text);
  EXPECT_EQ("exit 0", r.status);
  EXPECT_EQ((std::set<std::string>{"rep.txt", "var.txt"}), [&] {
    std::set<std::string> names;
    for (const auto& [name, content] : r.files) names.insert(name);
    return names;
  }());
  EXPECT_EQ(mask_time(golden("expected.files/rep.txt")), mask_time(r.files["rep.txt"]));
  EXPECT_EQ(golden("expected.files/var.txt"), r.files["var.txt"]);
}

TEST(HostileIntegers, BeyondEveryRangeEndTheRunAtEachIntegerQuestion) {
  // Exponent letters and points right after the digits are reported before
  // the range; leading signs on a repeat count are never a count.
  const std::vector<std::pair<std::string, std::string>> answers = {
      {"1e400", kUnexpected},      {"-1e400", kUnexpected}, {"1e-400", kUnexpected},
      {"99999999999", kOutOfRange}, {"-2147483649", kOutOfRange}, {"2147483648", kOutOfRange},
      {"2.0", kUnexpected},        {"1.5e", kUnexpected},   {"*3", kBadCount},
      {"0*3", kBadCount},          {"-2*3", kBadCount},     {"+*3", kBadCount},
  };
  for (const Question& q : {kLayout, kDesign, kObjects, kGrid, kSave, kMethod, kOrder}) {
    for (const auto& [answer, err] : answers) expect_failure(q, answer + "\n", err);
  }
  // The second integer of the grid question fails the same way.
  expect_failure(kGrid, "3 99999999999\n", kOutOfRange);
  expect_failure(kGrid, "3,1e400\n", kUnexpected);
}

TEST(HostileIntegers, NullsAndSlashesKeepTheStartingZero) {
  for (const std::string answer : {",", "/", "3*", ", ,", "/ 2"}) {
    // Layout 0 is silently asked again; the save question takes 0 as no.
    Question again = kLayout;
    again.out += kAskLayout;
    expect_failure(again, answer + "\n", kEnd);
    Question saved = kSave;
    saved.out += kAskMethod;
    expect_failure(saved, answer + "\n", kEnd);
  }
}

TEST(HostileReals, TheTruncationLimitFollowsIeeeArithmetic) {
  // -1e400 is minus infinity: every distance becomes -inf, the centred
  // matrix is NaN and the QL iterations cannot settle.
  {
    RunResult r = run_fresh(kLimit.in + "-1e400\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("STOP Too many iterations in TQLI statement executed\n", r.stderr_text);
    EXPECT_EQ(kLimit.out + "\n", r.stdout_text);
    Files files = kLimit.files;
    files["rep.txt"] +=
        "    Highest unmodified distance value = ************\n"
        "    Multiplier for \"large distances\"  =        4.000\n";
    EXPECT_EQ(files, r.files);
  }
  // Limits that truncate nothing give the variables of the untruncated
  // distances; infinity and 1e11 do not fit F12.3 and show as asterisks.
  RunResult plain = run_fresh(kLimit.in + "1000\n");
  ASSERT_EQ("exit 0", plain.status);
  for (const char* limit : {"1e400", "99999999999", "1e300"}) {
    SCOPED_TRACE(limit);
    RunResult r = run_fresh(kLimit.in + limit + "\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("", r.stderr_text);
    EXPECT_EQ(plain.files["var.txt"], r.files["var.txt"]);
    EXPECT_NE(std::string::npos,
              r.stdout_text.find(" Truncation of the distance matrix to the distance************\n"
                                 " yielded    1 positive eigenvalues.\n"));
    EXPECT_NE(std::string::npos, r.files["rep.txt"].find("    Highest unmodified distance value = ************\n"));
  }
  // Zero, whether typed, underflowing or left by a null: every distance
  // becomes 4e-10 and no eigenvalue reaches the positivity bound.
  RunResult zero = run_fresh(kLimit.in + "0\n");
  ASSERT_EQ("exit 0", zero.status);
  EXPECT_NE(std::string::npos, zero.stdout_text.find(" Truncation of the distance matrix to the distance       0.000\n"
                                                     " yielded    0 positive eigenvalues.\n"));
  for (const char* limit : {"1e-400", ",", "/", "-0", "0.0e999"}) {
    SCOPED_TRACE(limit);
    RunResult r = run_fresh(kLimit.in + limit + "\n");
    EXPECT_EQ(mask_time(zero.stdout_text), mask_time(r.stdout_text));
    EXPECT_EQ(mask_time(zero.files["rep.txt"]), mask_time(r.files["rep.txt"]));
    EXPECT_EQ(zero.files["var.txt"], r.files["var.txt"]);
    EXPECT_EQ("exit 0", r.status);
  }
  // A huge negative limit turns every distance into the same constant: nine
  // equal eigenvalues near 4.5e19, so at least nine count as positive (the
  // tenth, zero in exact arithmetic, is rounding noise of that size), and
  // the limit is refused and asked again.
  {
    RunResult r = run_fresh(kLimit.in + "-2147483649\n");
    EXPECT_EQ("exit 134", r.status);
    EXPECT_EQ(kEnd, r.stderr_text);
    const std::string refusal = "\n\n Truncation of the distance matrix using limit  -2.38609291E+09\n"
                                " yielded a PCNM matrix containing ";
    ASSERT_EQ(kLimit.out + refusal, r.stdout_text.substr(0, kLimit.out.size() + refusal.size()));
    const std::string rest = r.stdout_text.substr(kLimit.out.size() + refusal.size());
    EXPECT_TRUE(rest.rfind(" 9 variables.\n", 0) == 0 || rest.rfind(" 10 variables.\n", 0) == 0) << rest;
    const std::string tail = " There are too many PCNMs: R-square=1, not signif.\n Choose a lower truncation limit.\n" + kAskLimit;
    EXPECT_EQ(tail, rest.substr(rest.find('\n') + 1));
  }
  // Unreadable numbers.
  expect_failure(kLimit, "1.5e\n", keyboard("exponent field", "incomprehensible list input"));
  expect_failure(kLimit, "1e+\n", keyboard("exponent field", "incomprehensible list input"));
  for (const char* answer : {"*3", "0*3", "-2*3", "+*3"}) expect_failure(kLimit, std::string(answer) + "\n", kBadCount);
  for (const char* answer : {".", "-.e5", "inf", "nan", ".*3"}) {
    expect_failure(kLimit, std::string(answer) + "\n", kNotANumber);
  }
}

TEST(HostileReals, EverySpellingOfOneIsTheWorkedExample) {
  const std::string before = "rep.txt\nvar.txt\n1\n1\n10\n1\n";
  for (const char* one : {"1", "1.0", "+1.", "1d0", "10E-1", "0.1e+1", "1*1", "2*1", "1.abc", "1+5",
                          "00000000000000000000000000000000000000001.000000000000000000000000000000000"}) {
    expect_worked_example(one, before + one + "\n");
  }
}

TEST(HostileNames, AreCutToSeventyNineCharactersAndUnquotedAsTheRulesSay) {
  // The typed variable-file name and the name the file gets; the screen
  // shows the 79-character variable on a line of its own.
  const std::string a79(79, 'a');
  const std::vector<std::pair<std::string, std::string>> names = {
      {a79, a79},
      {std::string(80, 'b'), std::string(79, 'b')},
      {std::string(200, 'c'), std::string(79, 'c')},
      {"'" + std::string(100, 'd') + "'", std::string(79, 'd')},
      {"'it''s.txt'", "it's.txt"},
      {"\"say \"\"hi\"\".txt\"", "say \"hi\".txt"},
      {"'var\n.txt'", "var.txt"},
      {"\"x\n\n\"\"y\"trailing junk", "x\"y"},
      {"'a/b,c d'", "a/b,c d"},
      {"2.0", "2.0"},
      {"1.5e", "1.5e"},
      {"*3", "*3"},
      {"-2*3", "-2*3"},
      {"3*v.txt", "v.txt"},
      {"v.txt\r", "v.txt\r"},
      {"v\ttab", "v"},
  };
  std::string screen = golden("expected.stdout");
  const std::string var_line = " var.txt" + std::string(72, ' ') + "\n";
  const std::size_t at = screen.find(var_line);
  ASSERT_NE(std::string::npos, at);
  for (const auto& [typed, stored] : names) {
    SCOPED_TRACE(typed.substr(0, 40));
    if (stored.find('/') != std::string::npos) {
      // A slash in a quoted name is a folder: the file goes into it.
      TempDir dir;
      ASSERT_EQ(0, ::mkdir((dir.path() + "/a").c_str(), 0755));
      RunResult r = run_in(dir.path(), "rep.txt\n" + typed + "\n1\n1\n10\n1\n1\n");
      EXPECT_EQ("exit 0", r.status);
      EXPECT_EQ(golden("expected.files/var.txt"), read_file(dir.path() + "/a/b,c d"));
      continue;
    }
    RunResult r = run_fresh("rep.txt\n" + typed + "\n1\n1\n10\n1\n1\n");
    std::string want = screen;
    want.replace(at, var_line.size(), " " + stored + std::string(79 - stored.size(), ' ') + "\n");
    EXPECT_EQ(mask_time(want), mask_time(r.stdout_text));
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ(2u, r.files.size());
    EXPECT_EQ(golden("expected.files/var.txt"), r.files[stored]);
  }
  // Names the reader cannot take.
  const Question at_variable{"variable-file name", "rep.txt\n", kStart + kAskVariable, {{"rep.txt", kBanner}}};
  expect_failure(at_variable, "0*3\n", kBadCount);
  expect_failure(at_variable, "00*x\n", kBadCount);
  expect_failure(at_variable, "'never closed\nvar.txt\n", kEnd);
  expect_failure(at_variable, "\"'\n", kEnd);
}

TEST(HostileNames, StopAtANulByteOnTheWayToTheSystem) {
  RunResult r = run_fresh(std::string("rep.txt\0junk\n", 13));
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(kEnd, r.stderr_text);
  EXPECT_EQ((Files{{"rep.txt", kBanner}}), r.files);
}

TEST(HostileLines, MegabyteLinesReadLikeShortOnes) {
  const std::string mega(1 << 20, 'x');
  const std::string zeros(1 << 20, '0');
  const std::string blanks(1 << 20, ' ');
  // 0.000...01 with a million digits, times 10 to the million: exactly 1.
  const std::string one = "0." + std::string(999999, '0') + "1e1000000";
  expect_worked_example("megabyte lines",
                        "rep.txt " + mega + "\n" +           // the rest of a line is discarded
                            "\n\n" + blanks + "\n" +         // empty and blank lines are passed over
                            "var.txt\n" + zeros + "1\n" +    // leading zeros do not count
                            blanks + "1\n" +                 // nor do leading blanks
                            "10" + mega + "\n" +             // a value ends at the first letter
                            "1," + std::string(1 << 20, ',') + "\n" + one + "\n");
  expect_failure(kObjects, std::string(1 << 20, '7') + "\n", kOutOfRange);
  expect_failure(kObjects, zeros + "2.\n", kUnexpected);
  expect_failure(Question{"report name", "", kStart, {}}, "'" + mega + "\n", kEnd);
}

TEST(HostileLines, BinaryGarbageEndsWithADiagnosticNeverACrash) {
  std::uint64_t state = 0x9e3779b97f4a7c15ULL;
  auto byte = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<char>(state >> 56);
  };
  const std::set<std::string> reading_failures = {
      "list in: end of file", "read start: end of file", "invalid number: incomprehensible list input",
      "invalid integer: read unexpected character", "invalid integer: integer out of range",
      "exponent field: incomprehensible list input", "bad repetition count: incomprehensible list input"};
  int diagnosed = 0;
  for (const Question& q : {Question{"report name", "", kStart, {}}, kLayout, kObjects, kLimit}) {
    for (int round = 0; round < 6; ++round) {
      std::string garbage(static_cast<std::size_t>(4096 << round), '\0');
      for (char& c : garbage) c = byte();
      SCOPED_TRACE(std::string(q.name) + ", round " + std::to_string(round));
      RunResult r = run_fresh(q.in + garbage);
      if (r.status == "exit 0") continue;  // garbage that happened to read as answers
      ASSERT_EQ("exit 134", r.status) << r.stderr_text;
      // Four lines: a reading failure (or an open failure for a name), the
      // unit, the format and the direction.
      std::vector<std::string> lines;
      for (std::size_t from = 0, to; (to = r.stderr_text.find('\n', from)) != std::string::npos; from = to + 1) {
        lines.push_back(r.stderr_text.substr(from, to - from));
      }
      ASSERT_EQ(4u, lines.size()) << r.stderr_text;
      EXPECT_TRUE(reading_failures.count(lines[0]) == 1 || lines[0].rfind("open: ", 0) == 0) << lines[0];
      EXPECT_EQ("last format: list io", lines[2]);
      EXPECT_EQ("lately reading sequential formatted external IO", lines[3]);
      ++diagnosed;
    }
  }
  // Random bytes rarely spell an answer: nearly every round must have met
  // the diagnostic, or the checks above did not run.
  EXPECT_GE(diagnosed, 20);
  // A byte that cannot start a number, where a number is asked.
  expect_failure(kLayout, "\x80\x01\xff\n", kNotANumber);
  expect_failure(kLimit, std::string("\0", 1) + "1\n", kNotANumber);
}

}  // namespace
}  // namespace ortelix::e2e
