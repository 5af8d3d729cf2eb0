// The two-thread team: whichever part fails, the failure comes out of run
// once both parts have ended, and the team serves the next job.
#include <atomic>
#include <new>
#include <stdexcept>

#include <gtest/gtest.h>

#include "pcnm/team.h"

namespace ortelix::pcnm {
namespace {

TEST(Team, AFailureInEitherPartComesOutOfRunAfterBothEnded) {
  Team team(2);
  for (int failing : {0, 1}) {
    std::atomic<int> ended{0};
    const auto job = [&](int part) {
      if (part == failing) throw std::bad_alloc();
      ended.fetch_add(1);
    };
    EXPECT_THROW(team.run(true, job), std::bad_alloc) << failing;
    EXPECT_EQ(1, ended.load()) << failing;  // the other part ran to its end
  }
  std::atomic<int> parts{0};
  team.run(true, [&](int part) { parts.fetch_add(part + 1); });
  EXPECT_EQ(3, parts.load());
}

}  // namespace
}  // namespace ortelix::pcnm
