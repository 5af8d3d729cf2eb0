// Every folder under cases/ is one complete run: `stdin`, optional
// `input.files/`, and the expected screen, standard error, end status and
// files. The expectations were worked out from the rules of the program,
// not captured from it.

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/run_binary.h"

namespace ortelix::e2e {
namespace {

std::vector<std::string> list_dir(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, RunsAsExpected) {
  const std::string dir = std::string(ORTELIX_CASES) + "/" + GetParam();
  RunOptions options;
  for (const std::string& name : list_dir(dir + "/input.files")) {
    options.input_files[name] = read_file(dir + "/input.files/" + name);
  }
  RunResult r = run_fresh(read_file(dir + "/stdin"), options);

  EXPECT_EQ(mask_time(read_file(dir + "/expected.stdout")), mask_time(r.stdout_text)) << "stdout";
  EXPECT_EQ(read_file(dir + "/expected.stderr"), r.stderr_text) << "stderr";
  std::string status = read_file(dir + "/expected.status");
  while (!status.empty() && status.back() == '\n') status.pop_back();
  EXPECT_EQ(status, r.status);

  std::vector<std::string> expected_files = list_dir(dir + "/expected.files");
  for (const std::string& name : expected_files) {
    auto it = r.files.find(name);
    ASSERT_NE(it, r.files.end()) << "missing file " << name;
    EXPECT_EQ(mask_time(read_file(dir + "/expected.files/" + name)), mask_time(it->second)) << "file " << name;
  }
  for (const auto& [name, content] : r.files) {
    if (options.input_files.count(name)) {
      EXPECT_EQ(options.input_files[name], content) << "input file changed: " << name;
      continue;
    }
    EXPECT_TRUE(std::find(expected_files.begin(), expected_files.end(), name) != expected_files.end())
        << "unexpected file " << name;
  }
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const std::string& name : list_dir(ORTELIX_CASES)) {
    if (exists(std::string(ORTELIX_CASES) + "/" + name + "/stdin")) names.push_back(name);
  }
  return names;
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
  std::string s = info.param;
  for (char& c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return s;
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(case_names()), test_name);

}  // namespace
}  // namespace ortelix::e2e
