// The fuzz targets under the normal build: every stored input (the seeds
// and every past finding) and a fixed set of mutations of the seeds, so that
// a change that breaks an invariant the fuzzers once checked fails here too.

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/check.h"

namespace ortelix::fuzz {
namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> paths;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name[0] != '.') paths.push_back(dir + "/" + name);
    }
    closedir(d);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Empty string when the target keeps every invariant.
std::string run(Target target, const std::string& input) {
  try {
    target(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

// Byte flips, insertions and deletions, the way a fuzzer starts from a seed.
std::string mutate(std::string s, std::uint64_t& state) {
  auto next = [&state](std::uint64_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return bound == 0 ? 0 : (state >> 33) % bound;
  };
  static const char kInteresting[] = "0123456789+-.eEdD*,/ \t\n'\"x";
  for (std::uint64_t k = 1 + next(4); k > 0; --k) {
    std::size_t at = static_cast<std::size_t>(next(s.size() + 1));
    char c = next(3) == 0 ? static_cast<char>(next(256)) : kInteresting[next(sizeof kInteresting - 1)];
    switch (next(3)) {
      case 0: s.insert(s.begin() + static_cast<long>(at), c); break;
      case 1:
        if (at < s.size()) s.erase(at, 1);
        break;
      default:
        if (at < s.size()) s[at] = c;
    }
  }
  return s;
}

struct Case {
  const char* name;
  Target target;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Replay : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { throw_on_failure(true); }
  void TearDown() override { throw_on_failure(false); }
  std::string dir(const char* kind) const { return std::string(ORTELIX_FUZZ_DIR) + "/" + kind + "/" + GetParam().name; }
};

TEST_P(Replay, StoredInputsKeepEveryInvariant) {
  std::vector<std::string> paths = files_in(dir("corpus"));
  ASSERT_FALSE(paths.empty()) << "no seeds in " << dir("corpus");
  for (const std::string& p : files_in(dir("regressions"))) paths.push_back(p);
  for (const std::string& p : paths) {
    std::string broken = run(GetParam().target, contents(p));
    EXPECT_EQ("", broken) << p;
  }
}

TEST_P(Replay, MutatedSeedsKeepEveryInvariant) {
  std::uint64_t state = 20240611;
  int failures = 0;
  for (const std::string& p : files_in(dir("corpus"))) {
    const std::string seed = contents(p);
    for (int k = 0; k < 4000 && failures < 5; ++k) {
      std::string input = mutate(seed, state);
      std::string broken = run(GetParam().target, input);
      if (!broken.empty()) {
        ++failures;
        ADD_FAILURE() << broken << "\nmutation of " << p << ": " << ::testing::PrintToString(input);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, Replay,
                         ::testing::Values(Case{"list_read", fuzz_list_read},
                                           Case{"coordinate_file", fuzz_coordinate_file},
                                           Case{"format", fuzz_format}),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace ortelix::fuzz
