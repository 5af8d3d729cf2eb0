// The companion programs as a user runs them: their command lines (the
// cases under tests/tools/cases), and the round trip from a limit through
// a run of the main program to a map.

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace ortelix::tools {
namespace {

namespace fs = std::filesystem;

// Each folder of tests/tools/cases: `command` (the program, then its
// arguments one a line), input.files/, expected.stdout and expected.stderr
// (empty when absent), expected.status. The folder must hold nothing but
// the input files afterwards: no map is left after a refusal.
TEST(Programs, CommandLineCases) {
  for (const fs::directory_entry& c : fs::directory_iterator(TOOL_CASES)) {
    if (!c.is_directory()) continue;
    const e2e::TempDir dir;
    if (fs::exists(c.path() / "input.files")) fs::copy(c.path() / "input.files", dir.path(), fs::copy_options::recursive);
    std::istringstream command(e2e::read_file(c.path() / "command"));
    std::string program, arg;
    std::vector<std::string> args;
    for (std::getline(command, program); std::getline(command, arg);) args.push_back(arg);
    const char* binary = program == "ortelix-map" ? MAP_BINARY : program == "ortelix-pcnm" ? PCNM_BINARY : THRESHOLD_BINARY;
    const e2e::ProgramRun r = e2e::run_program(binary, args, dir.path());
    const auto expected = [&](const char* name) { return fs::exists(c.path() / name) ? e2e::read_file(c.path() / name) : ""; };
    EXPECT_EQ(expected("expected.stdout"), r.out) << c.path();
    EXPECT_EQ(expected("expected.stderr"), r.err) << c.path();
    EXPECT_EQ(expected("expected.status"), "exit " + std::to_string(r.status) + "\n") << c.path();
    EXPECT_EQ(e2e::read_tree(c.path() / "input.files"), e2e::read_tree(dir.path())) << c.path();
  }
}

TEST(Programs, Help) {
  const e2e::TempDir dir;
  for (const char* program : {THRESHOLD_BINARY, MAP_BINARY, PCNM_BINARY}) {
    const e2e::ProgramRun help = e2e::run_program(program, {"--help"}, dir.path());
    EXPECT_EQ(0, help.status);
    EXPECT_TRUE(help.out.starts_with("usage: ortelix-")) << help.out;
    EXPECT_NE(std::string::npos, help.out.find("Exit status: 0")) << help.out;
  }
}

// What a new user does: ask for the limit, answer the dialogue with it, map
// the variables. Layouts 1 and 3 of the same run give the same map but for
// the file named in its heading; the supplementary site is not drawn; the
// map knows principal coordinates in both.
TEST(Programs, LimitThenRunThenMap) {
  const std::string sites = "10 2 1\n0 0\n12.5 3\n25 -2\n31 14\n18 22.75\n6 17\n-4 30\n14 41\n29 36\n40 28\n20 10\n";
  const e2e::TempDir dir;
  e2e::write_file(dir.path() + "/sites.txt", sites);
  const e2e::ProgramRun limit = e2e::run_program(THRESHOLD_BINARY, {"-q", "sites.txt"}, dir.path());
  ASSERT_EQ(0, limit.status) << limit.err;
  std::string maps[2];
  for (int k = 0; k < 2; ++k) {
    const std::string layout = k == 0 ? "1" : "3";
    e2e::RunOptions options;
    options.input_files["sites.txt"] = sites;
    const e2e::RunResult main = e2e::run_fresh("rep.txt\nvar.txt\n" + layout + "\n3\nsites.txt\n1\n" + limit.out, options);
    ASSERT_EQ("exit 0", main.status) << main.stdout_text << main.stderr_text;
    e2e::write_file(dir.path() + "/var.txt", main.files.at("var.txt"));
    const e2e::ProgramRun map = e2e::run_program(MAP_BINARY, {"var.txt", "sites.txt", "-o", "map.svg"}, dir.path());
    ASSERT_EQ(0, map.status) << map.err;
    maps[k] = e2e::read_file(dir.path() + "/map.svg");
  }
  EXPECT_EQ(maps[0], maps[1]);
  const std::regex circle("<circle cx=");
  const long circles = std::distance(std::sregex_iterator(maps[0].begin(), maps[0].end(), circle), {});
  const std::regex panel("<g class=\"panel\"");
  const long panels = std::distance(std::sregex_iterator(maps[0].begin(), maps[0].end(), panel), {});
  ASSERT_GE(panels, 1);
  EXPECT_EQ(2 + 10 * panels, circles);  // two in the legend
  EXPECT_NE(std::string::npos, maps[0].find(">PCNM 1<"));
}

}  // namespace
}  // namespace ortelix::tools
