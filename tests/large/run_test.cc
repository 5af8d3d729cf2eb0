// A whole run on the library: the failures a user can act on, and a run
// stopped from outside.
#include <string>

#include <gtest/gtest.h>

#include "large/pcnm_run.h"
#include "large/progress.h"
#include "large/site_sets.h"

namespace ortelix::large {
namespace {

// Asks every computation to stop at its first poll.
class StopAtOnce : public Progress {
 public:
  bool cancelled() override { return true; }
};

TEST(RunPcnm, StopsWhenItsProgressSaysSo) {
  StopAtOnce stop;
  RunOptions options;
  options.limits = {{true, 0}};
  const auto r = run_pcnm(uniform_sites(30000, 1000, 1000, 3), options, &stop);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("interrupted", r.error());
}

// Asks to stop only once the eigen-solver has begun, where nearly all the
// time of a large run goes.
class StopInSolver : public Progress {
 public:
  void stage(const std::string& name) override { solving = solving || name == "eigen-solver"; }
  bool cancelled() override { return solving; }
  bool solving = false;
};

TEST(RunPcnm, TheEigenSolverStopsWhenItsProgressSaysSo) {
  StopInSolver stop;
  RunOptions options;
  options.limits = {{false, 60}};
  options.count = 10;
  options.solver = Solver::kKrylov;
  const auto r = run_pcnm(uniform_sites(3000, 1000, 1000, 3), options, &stop);
  ASSERT_TRUE(stop.solving);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("interrupted", r.error());
}

// The dense decomposition and the correlation check, which poll nothing
// themselves, stop at their checkpoints.
class StopInDecomposition : public Progress {
 public:
  void stage(const std::string& name) override { deciding = deciding || name == "eigen-decomposition"; }
  bool cancelled() override { return deciding; }
  bool deciding = false;
};

TEST(RunPcnm, TheDenseDecompositionStopsWhenItsProgressSaysSo) {
  StopInDecomposition stop;
  RunOptions options;
  options.limits = {{true, 0}};
  const auto r = run_pcnm(uniform_sites(600, 1000, 1000, 4), options, &stop);
  ASSERT_TRUE(stop.deciding);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("interrupted", r.error());
}

TEST(RunPcnm, RefusalsSayWhatToDo) {
  RunOptions below;  // below every distance of a transect: every pair truncated
  below.limits = {{false, 0.5}};
  below.count = 3;
  const std::string all = "the limit yields 19 PCNM variables for 20 sites, as many as they allow: any regression on "
                          "them fits perfectly (R-square = 1); a higher limit gives fewer";
  for (Solver solver : {Solver::kAuto, Solver::kDense, Solver::kKrylov}) {
    below.solver = solver;
    const auto r = run_pcnm(sites::transect_sites(20), below, nullptr);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(all, r.error());
  }
  RunOptions tiny;  // every pair truncated, and 4t so small that (4t)^2 / 2 < 5e-7
  tiny.limits = {{false, 1e-9}};
  const auto none = run_pcnm(sites::transect_sites(20), tiny, nullptr);
  ASSERT_FALSE(none.ok());
  EXPECT_EQ("no eigenvalue reaches 5e-7: the limit gives no PCNM variable; choose a higher limit", none.error());
  RunOptions any;
  any.limits = {{false, 100}};
  const auto two = run_pcnm(sites::transect_sites(2), any, nullptr);
  ASSERT_FALSE(two.ok());
  EXPECT_EQ("two sites give one PCNM variable whatever the limit, and any regression on it fits perfectly "
            "(R-square = 1): PCNM variables need at least three sites", two.error());
}

}  // namespace
}  // namespace ortelix::large
