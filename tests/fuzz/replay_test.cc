// The fuzz targets under the normal build: every stored input (the seeds and
// every past finding) and a fixed set of mutations of the seeds, so that a
// change that breaks an invariant the fuzzers once checked fails here too.

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "support/run_binary.h"
#include "fuzz/fuzz.h"

namespace ortelix::fuzz {
namespace {

class Replay : public ::testing::TestWithParam<std::string> {};

std::map<std::string, std::string> stored(const std::string& folder) {
  return e2e::read_tree(std::string(ORTELIX_FUZZ_DIR) + "/" + folder);
}

using Target = int (*)(const std::uint8_t*, std::size_t);

// Empty when the target keeps every invariant.
std::string run(Target target, const std::string& input) {
  throw_on_failure = true;
  try {
    target(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST_P(Replay, StoredInputsAndMutationsKeepEveryInvariant) {
  const std::string name = GetParam();
  const std::map<std::string, Target> targets = {
      {"list_read", fuzz_list_read},     {"coordinate_file", fuzz_coordinate_file}, {"format", fuzz_format},
      {"sites_file", fuzz_sites_file},   {"variable_file", fuzz_variable_file},     {"command_line", fuzz_command_line}};
  const Target target = targets.at(name);
  std::map<std::string, std::string> seeds = stored("corpus/" + name);
  ASSERT_FALSE(seeds.empty());
  for (const auto& [path, input] : stored("regressions/" + name)) EXPECT_EQ("", run(target, input)) << path;
  // Byte flips, insertions and deletions, the way a fuzzer starts from a seed.
  std::uint64_t state = 20240611;
  auto next = [&state](std::uint64_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return bound == 0 ? 0 : (state >> 33) % bound;
  };
  static const char kInteresting[] = "0123456789+-.eEdD*,/ \t\n'\"x";
  int failures = 0;
  for (const auto& [path, seed] : seeds) {
    EXPECT_EQ("", run(target, seed)) << path;
    for (int k = 0; k < 4000 && failures < 5; ++k) {
      std::string s = seed;
      for (std::uint64_t m = 1 + next(4); m > 0; --m) {
        const std::size_t at = static_cast<std::size_t>(next(s.size() + 1));
        const char c = next(3) == 0 ? static_cast<char>(next(256)) : kInteresting[next(sizeof kInteresting - 1)];
        const std::uint64_t how = next(3);
        if (how == 0) s.insert(s.begin() + static_cast<long>(at), c);
        if (how > 0 && at < s.size()) how == 1 ? s.erase(at, 1) : s.replace(at, 1, 1, c);
      }
      const std::string broken = run(target, s);
      EXPECT_EQ("", broken) << "mutation of " << path << ": " << ::testing::PrintToString(s);
      failures += !broken.empty();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, Replay,
                         ::testing::Values("list_read", "coordinate_file", "format", "sites_file", "variable_file",
                                           "command_line"),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace ortelix::fuzz
