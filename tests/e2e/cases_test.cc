// Every folder under cases/ is one complete run (see cases/README.md).

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace ortelix::e2e {
namespace {

const std::string kCases = ORTELIX_CASES;

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, RunsAsExpected) {
  const std::string dir = kCases + "/" + GetParam();
  RunOptions options;
  options.input_files = read_tree(dir + "/input.files");
  RunResult r = run_fresh(read_file(dir + "/stdin"), options);

  EXPECT_EQ(mask_time(read_file(dir + "/expected.stdout")), mask_time(r.stdout_text)) << "stdout";
  EXPECT_EQ(read_file(dir + "/expected.stderr"), r.stderr_text) << "stderr";
  std::string status = read_file(dir + "/expected.status");
  while (!status.empty() && status.back() == '\n') status.pop_back();
  EXPECT_EQ(status, r.status);

  // Input files must come back unchanged, and no other file may appear.
  std::map<std::string, std::string> want = options.input_files;
  for (const auto& [name, content] : read_tree(dir + "/expected.files")) want[name] = content;
  for (const auto& [name, content] : want) {
    EXPECT_EQ(mask_time(content), r.files.count(name) ? mask_time(r.files[name]) : "(missing)") << name;
  }
  for (const auto& [name, content] : r.files) EXPECT_TRUE(want.count(name)) << "unexpected file " << name;
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& [path, content] : read_tree(kCases)) {
    const std::size_t slash = path.find('/');
    if (path.substr(slash + 1) == "stdin") names.push_back(path.substr(0, slash));
  }
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(case_names()), [](const auto& param) {
  std::string s = param.param;
  for (char& c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return s;
});

}  // namespace
}  // namespace ortelix::e2e
