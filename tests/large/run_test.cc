// A whole run on the library: the failures a user can act on, and a run
// stopped from outside.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "large/pcnm_run.h"
#include "large/progress.h"
#include "large/site_sets.h"

namespace ortelix::large {
namespace {

// Asks to stop from the stage named on (from the first poll where it is
// empty): the eigen-solver, where nearly all the time of a large run goes,
// and the dense decomposition and correlation check, which poll nothing
// themselves but stop at their checkpoints.
class StopFrom : public Progress {
 public:
  explicit StopFrom(std::string stage) : from_(std::move(stage)), reached_(from_.empty()) {}
  void stage(const std::string& name) override { reached_ = reached_ || name == from_; }
  bool cancelled() override { return reached_; }
  bool reached() const { return reached_; }

 private:
  std::string from_;
  bool reached_;
};

TEST(RunPcnm, StopsWhenItsProgressSaysSo) {
  RunOptions krylov;
  krylov.limits = {{false, 60}};
  krylov.count = 10;
  krylov.solver = Solver::kKrylov;
  RunOptions mst;
  mst.limits = {{true, 0}};
  struct Case {
    const char* stage;
    sites::Sites sites;
    RunOptions options;
  };
  const Case cases[] = {
      {"", uniform_sites(30000, 1000, 1000, 3), mst},
      {"eigen-solver", uniform_sites(3000, 1000, 1000, 3), krylov},
      {"eigen-decomposition", uniform_sites(600, 1000, 1000, 4), mst},
  };
  for (const Case& c : cases) {
    StopFrom stop(c.stage);
    const auto r = run_pcnm(c.sites, c.options, &stop);
    ASSERT_TRUE(stop.reached()) << c.stage;
    ASSERT_FALSE(r.ok()) << c.stage;
    EXPECT_EQ("interrupted", r.error()) << c.stage;
  }
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
