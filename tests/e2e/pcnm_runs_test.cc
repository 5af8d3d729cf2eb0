// Complete PCNM runs of the real binary against the independent model of
// pcnm_model.h, byte for byte: screen, standard error, end status, the run
// report file and the spatial-variable file. A second group checks shapes
// that follow from the rules alone (line lengths, record order), so that a
// fault shared by the model and the program still shows.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/pcnm_model.h"
#include "e2e/run_binary.h"

namespace ortelix::e2e {
namespace {

using model::Design;
using model::Scenario;
using model::Transcript;

Scenario transect(int points, std::vector<std::string> limits, int layout = 1) {
  Scenario s;
  s.design = Design::kTransect;
  s.points = points;
  s.limits = std::move(limits);
  s.layout = layout;
  return s;
}

Scenario grid(int rows, int cols, std::vector<std::string> limits, int layout = 1) {
  Scenario s;
  s.design = Design::kGrid;
  s.rows = rows;
  s.cols = cols;
  s.limits = std::move(limits);
  s.layout = layout;
  return s;
}

Scenario file(std::string text, std::vector<std::string> limits, int layout = 1) {
  Scenario s;
  s.design = Design::kFile;
  s.file_text = std::move(text);
  s.limits = std::move(limits);
  s.layout = layout;
  return s;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Runs the binary on the scenario's answers and compares everything with
// the model's transcript. Returns the model's transcript for further checks.
Transcript expect_run_matches_model(const Scenario& sc) {
  Transcript want = model::run_pcnm(sc);
  RunOptions options;
  if (sc.design == Design::kFile) options.input_files["sites.txt"] = sc.file_text;
  RunResult got = run_fresh(want.stdin_text, options);
  EXPECT_EQ(mask_time(want.stdout_text), mask_time(got.stdout_text));
  EXPECT_EQ(want.stderr_text, got.stderr_text);
  EXPECT_EQ(want.status, got.status);
  EXPECT_EQ(mask_time(want.report), mask_time(got.files["rep.txt"])) << "rep.txt";
  EXPECT_EQ(want.variables, got.files["var.txt"]) << "var.txt";
  return want;
}

const char kSupFile[] =
    "7 2 2\n"
    "0 0\n1 0\n2 0\n0 1\n1 1\n2 1.5\n0.5 2\n"
    "3 2.5\n-1 0.5\n";

struct Named {
  const char* name;
  Scenario scenario;
};

void PrintTo(const Named& named, std::ostream* os) { *os << named.name; }

class ModelRun : public ::testing::TestWithParam<Named> {};

TEST_P(ModelRun, MatchesTheModelByteForByte) { expect_run_matches_model(GetParam().scenario); }

Scenario verbose(Scenario s) {
  s.verbose = true;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Pcnm, ModelRun,
    ::testing::Values(
        Named{"Transect5Layout1", transect(5, {"1"})}, Named{"Transect5Layout2", transect(5, {"1"}, 2)},
        Named{"Transect5Canoco", transect(5, {"1"}, 3)}, Named{"Grid3x4Folded", grid(3, 4, {"1.5"}, 2)},
        Named{"Grid4x4Canoco", grid(4, 4, {"1"}, 3)},
        // Refused at 0.5 (every distance becomes the same constant); 3 is
        // accepted only when it truncates the true distances again.
        Named{"RefusedThenHigherLimit", transect(10, {"0.5", "3"})},
        Named{"RefusedThenLowerLimit", transect(10, {"0.5", "0.0001"})},
        Named{"TwoRefusalsThenAccepted", transect(10, {"0.5", "0.25", "1"}, 2)},
        // c = 4 eps: c^2/2 is far below the positivity bound, so no
        // variable at all, and the limit is accepted.
        Named{"LimitZeroLayout1", transect(10, {"0"})}, Named{"LimitZeroLayout2Verbose", verbose(transect(10, {"0"}, 2))},
        Named{"LimitZeroCanoco", transect(10, {"0"}, 3)},
        Named{"TwentyTwoVariablesLayout1", transect(33, {"1"})},
        Named{"TwentyTwoVariablesLayout2", transect(33, {"1"}, 2)},
        Named{"TwentyThreeVariablesLayout2", transect(36, {"1.5"}, 2)},
        Named{"VerboseGrid", verbose(grid(3, 2, {"2"}, 2))},
        Named{"VerboseFileWithSupplementary", verbose(file(kSupFile, {"1.2"}, 2))},
        Named{"SupplementaryObjectsCanoco", file(kSupFile, {"1.5"}, 3)},
        Named{"FourCoordinates", file("6 4 0\n0 0 0 0\n1 0 0 2\n0 1 0 0\n0 0 1 0\n1 1 1 1\n2 0 3 1\n", {"1.5"})},
        Named{"FiveCoordinatesVerbose",
              verbose(file("5 5 1\n0 0 0 0 0\n1 2 3 4 5\n5 4 3 2 1\n1 1 1 1 1\n0 2 0 2 0\n3 3 0 0 9\n", {"3"}))},
        Named{"OnePointTransect", transect(1, {})}, Named{"OneByOneGrid", grid(1, 1, {})},
        Named{"AllFileSitesAtOnePlace", file("3 2 0\n4 5\n4 5\n4 5\n", {})},
        // An infinite coordinate makes a NaN ranged coordinate: the NaN
        // distances are never truncated and the QL step cannot converge.
        Named{"InfiniteCoordinateStopsInQl", file("4 1 0\n0\n1\n2\n1e999\n", {"1"})},
        Named{"InputEndsAfterRefusal", transect(6, {"0.5"})}),
    [](const ::testing::TestParamInfo<Named>& param) { return std::string(param.param.name); });

// The scenarios above must exercise what their names promise; the model is
// checked against the rules here so that a mistake in it cannot hide one in
// the program.
TEST(ModelScenarios, ExerciseWhatTheyClaim) {
  EXPECT_EQ(1, model::run_pcnm(transect(10, {"0.5", "3"})).refusals);
  EXPECT_EQ(1, model::run_pcnm(transect(10, {"0.5", "0.0001"})).refusals);
  EXPECT_EQ(2, model::run_pcnm(transect(10, {"0.5", "0.25", "1"})).refusals);
  EXPECT_EQ(0, model::run_pcnm(transect(10, {"0"})).npcnm);
  EXPECT_EQ(0, model::run_pcnm(transect(10, {"0.5", "0.0001"})).npcnm);
  EXPECT_EQ(22, model::run_pcnm(transect(33, {"1"})).npcnm);
  EXPECT_EQ(23, model::run_pcnm(transect(36, {"1.5"})).npcnm);
  // Without a fresh truncation, the second attempt would see every
  // distance at 4 x 0.5 = 2 <= 3, one constant again, and be refused.
  EXPECT_GT(model::run_pcnm(transect(10, {"0.5", "3"})).npcnm, 0);
}

// Two lines of exactly 121 characters for 22 variables under (11F11.6),
// then for 23 a third line with one value of 11 characters; one line of
// 11 x nvar characters in layout 1. The count record comes first.
TEST(PcnmShapes, FoldedAndSingleLineLengths) {
  struct Case {
    int points;
    const char* limit;
    int layout;
    int nvar;
    std::vector<std::size_t> per_object;
  };
  const Case cases[] = {
      {33, "1", 2, 22, {121, 121}},
      {36, "1.5", 2, 23, {121, 121, 11}},
      {33, "1", 1, 22, {242}},
      {36, "1.5", 1, 23, {253}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.points) + " points, layout " + std::to_string(c.layout));
    Transcript t = model::run_pcnm(transect(c.points, {c.limit}, c.layout));
    RunResult r = run_fresh(t.stdin_text);
    std::vector<std::string> lines = lines_of(r.files["var.txt"]);
    ASSERT_EQ(1 + c.points * c.per_object.size(), lines.size());
    EXPECT_EQ(" " + std::to_string(c.points) + " " + std::to_string(c.nvar), lines[0]);
    for (int i = 0; i < c.points; ++i) {
      for (std::size_t k = 0; k < c.per_object.size(); ++k) {
        EXPECT_EQ(c.per_object[k], lines[1 + i * c.per_object.size() + k].size()) << "object " << i + 1;
      }
    }
  }
}

// The record kinds of the run report, in file order, recognised by their
// first characters.
std::vector<std::string> report_records(const std::string& report) {
  std::vector<std::string> kinds;
  for (const std::string& line : lines_of(report)) {
    const char* known[] = {" Program \"Ortelix\"", "  Unidimensional transect", " The coordinates were ranged",
                           " Matrix of PCNM spatial variables", "    Highest unmodified distance value",
                           "    Multiplier", " Sum of positive", " Sum of negative", " Trace of Gower",
                           " Number of positive", " Eigenvalues of the PCoA:", " Computation time:",
                           " End of the program."};
    for (const char* k : known) {
      if (line.rfind(k, 0) == 0) kinds.push_back(k);
    }
  }
  return kinds;
}

TEST(PcnmShapes, ReportRecordOrderForTenPoints) {
  const std::vector<std::string> head = {" Program \"Ortelix\"", "  Unidimensional transect",
                                         " The coordinates were ranged", " Matrix of PCNM spatial variables"};
  const std::vector<std::string> block = {"    Highest unmodified distance value",
                                          "    Multiplier",
                                          " Sum of positive",
                                          " Sum of negative",
                                          " Trace of Gower",
                                          " Number of positive",
                                          " Eigenvalues of the PCoA:"};
  const std::vector<std::string> tail = {" Computation time:", " End of the program."};
  for (int refusals : {0, 2}) {
    SCOPED_TRACE(refusals);
    std::string answers = "rep.txt\nvar.txt\n1\n1\n10\n1\n";
    std::vector<std::string> typed = refusals == 0 ? std::vector<std::string>{"1"}
                                                   : std::vector<std::string>{"0.5", "0.25", "1"};
    for (const std::string& l : typed) answers += l + "\n";
    RunResult r = run_fresh(answers);
    std::vector<std::string> want = head;
    for (int b = 0; b <= refusals; ++b) want.insert(want.end(), block.begin(), block.end());
    want.insert(want.end(), tail.begin(), tail.end());
    EXPECT_EQ(want, report_records(r.files["rep.txt"]));
    // Each block shows the limit typed for its attempt.
    std::vector<std::string> limits;
    for (const std::string& line : lines_of(r.files["rep.txt"])) {
      if (line.rfind("    Highest unmodified distance value = ", 0) == 0) limits.push_back(line.substr(40));
    }
    std::vector<std::string> want_limits;
    for (const std::string& l : typed) want_limits.push_back(model::f_field(std::stod(l), 12, 3));
    EXPECT_EQ(want_limits, limits);
  }
}

}  // namespace
}  // namespace ortelix::e2e
