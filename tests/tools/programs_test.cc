// The companion programs as a user runs them: command lines, exit statuses,
// messages, and the round trip through a real run of the main program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/run_binary.h"
#include "tools/svg_checks.h"
#include "tools/variable_file.h"

namespace ortelix::tools {
namespace {

struct ToolRun {
  int status = -1;
  std::string out, err;
};

// Runs `binary` with `args` in `dir`, no standard input.
ToolRun run_tool(const char* binary, const std::vector<std::string>& args, const std::string& dir) {
  e2e::TempDir capture;
  const std::string out = capture.path() + "/out", err = capture.path() + "/err";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    int in = open("/dev/null", O_RDONLY);
    int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0), dup2(o, 1), dup2(e, 2);
    std::vector<char*> argv{const_cast<char*>(binary)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), e2e::read_file(out), e2e::read_file(err)};
}

class Programs : public ::testing::Test {
 protected:
  void put(const std::string& name, const std::string& content) { e2e::write_file(dir_.path() + "/" + name, content); }
  ToolRun threshold(const std::vector<std::string>& args) { return run_tool(THRESHOLD_BINARY, args, dir_.path()); }
  ToolRun map(const std::vector<std::string>& args) { return run_tool(MAP_BINARY, args, dir_.path()); }
  e2e::TempDir dir_;
};

TEST_F(Programs, ThresholdReport) {
  // Grid 3 by 2: neighbours 1 apart, opposite corners sqrt(5) apart.
  ToolRun grid = threshold({"--grid", "3", "2"});
  EXPECT_EQ(grid.status, 0);
  EXPECT_EQ(grid.err, "");
  EXPECT_EQ(grid.out,
            "Sites:                                      6\n"
            "Longest edge of the minimum spanning tree:  1\n"
            "Smallest distance between two sites:        1\n"
            "Largest distance between two sites:         2.23606797749979\n"
            "\n"
            "Answer \"Highest unmodified value in distance matrix?\" with 1\n"
            "to keep every site linked to the others through unmodified distances.\n");

  // 1 2 3, a gap, 7 8; the supplementary site 12.5 hangs 4.5 beyond 8.
  put("gap.txt", "5 1 1\n1\n2\n3\n7\n8\n12.5\n");
  ToolRun gap = threshold({"gap.txt"});
  EXPECT_EQ(gap.status, 0);
  EXPECT_NE(gap.out.find("Sites:                                      6 (5 + 1 supplementary)\n"
                         "Longest edge of the minimum spanning tree:  4.5\n"
                         "Smallest distance between two sites:        1\n"
                         "Largest distance between two sites:         11.5\n"),
            std::string::npos)
      << gap.out;
  EXPECT_EQ(threshold({"-q", "gap.txt"}).out, "4.5\n");
  EXPECT_EQ(threshold({"--transect", "10", "--quiet"}).out, "1\n");

  put("same.txt", "3 2 0\n4 4\n4 4\n4 4\n");
  ToolRun same = threshold({"same.txt"});
  EXPECT_EQ(same.status, 0);
  EXPECT_NE(same.out.find("Longest edge of the minimum spanning tree:  0\n"), std::string::npos);
  EXPECT_NE(same.out.find("Every site has the same position"), std::string::npos);
}

TEST_F(Programs, ExitStatusesAndMessages) {
  put("one.txt", "1 2 0\n3 4\n");
  put("bad.txt", "2 2 0\n0 0\n1 x\n");
  put("var.txt", " 2 3\n   0.100000   0.200000   0.300000\n  -0.100000  -0.200000  -0.300000\n");
  put("stars.txt", " 2 1\n***********\n   1.000000\n");
  put("xy.txt", "1 1\n2 1\n");
  struct Case {
    const char* program;
    std::vector<std::string> args;
    int status;
    std::string err_start;  // the first line of standard error
  };
  const Case cases[] = {
      {THRESHOLD_BINARY, {}, 2, "ortelix-threshold: no sites: give FILE, --transect N or --grid ROWS COLS\n"},
      {THRESHOLD_BINARY, {"-x"}, 2, "ortelix-threshold: unknown option '-x'\n"},
      {THRESHOLD_BINARY, {"--transect", "0"}, 2, "ortelix-threshold: --transect: '0' is not a number of points from 1 to 2000\n"},
      {THRESHOLD_BINARY, {"--transect"}, 2, "ortelix-threshold: --transect needs the number of points\n"},
      {THRESHOLD_BINARY, {"--grid", "45", "45"}, 2, "ortelix-threshold: --grid 45 45: 2025 points, the program generates at most 2000\n"},
      {THRESHOLD_BINARY, {"one.txt", "bad.txt"}, 2, "ortelix-threshold: give one source of sites: FILE, --transect or --grid\n"},
      {THRESHOLD_BINARY, {"missing.txt"}, 1, "ortelix-threshold: missing.txt: No such file or directory\n"},
      {THRESHOLD_BINARY, {"bad.txt"}, 1, "ortelix-threshold: bad.txt:3: site 2 of 2: invalid number: incomprehensible list input\n"},
      {THRESHOLD_BINARY, {"one.txt"}, 1, "ortelix-threshold: one.txt: a single site has no distances to truncate\n"},
      {THRESHOLD_BINARY, {"--grid", "1", "1"}, 1, "ortelix-threshold: --grid 1 1: a single site has no distances to truncate\n"},
      {MAP_BINARY, {}, 2, "ortelix-map: no VARFILE\n"},
      {MAP_BINARY, {"var.txt", "xy.txt"}, 2, "ortelix-map: no output: -o OUT.svg\n"},
      {MAP_BINARY, {"var.txt", "-o", "m.svg"}, 2, "ortelix-map: give VARFILE and SITES\n"},
      {MAP_BINARY, {"var.txt", "xy.txt", "--transect", "2", "-o", "m.svg"}, 2, "ortelix-map: too many files\n"},
      {MAP_BINARY, {"var.txt", "xy.txt", "-o", "m.svg", "--vars", "3-1"}, 2, "ortelix-map: --vars: '3-1' is not a list such as 1-8 or 1,3,5-7\n"},
      {MAP_BINARY, {"var.txt", "xy.txt", "-o", "m.svg", "--vars", "4"}, 2, "ortelix-map: --vars: var.txt holds 3 variables, not 4\n"},
      {MAP_BINARY, {"var.txt", "xy.txt", "-o", "m.svg", "--kind", "poly"}, 2, "ortelix-map: --kind: pcnm, mono or plain\n"},
      {MAP_BINARY, {"var.txt", "--transect", "3", "-o", "m.svg"}, 1, "ortelix-map: var.txt holds 2 objects but --transect 3 gives 3 sites\n"},
      {MAP_BINARY, {"var.txt", "one.txt", "-o", "m.svg"}, 1, "ortelix-map: var.txt holds 2 objects but one.txt gives 1 site\n"},
      {MAP_BINARY, {"stars.txt", "xy.txt", "-o", "m.svg"}, 1,
       "ortelix-map: stars.txt:2: object 1, variable 1 was written as asterisks (too wide for its field): its value is lost\n"},
      {MAP_BINARY, {"var.txt", "missing.txt", "-o", "m.svg"}, 1, "ortelix-map: missing.txt: No such file or directory\n"},
      {MAP_BINARY, {"var.txt", "xy.txt", "-o", "no/such/folder/m.svg"}, 1, "ortelix-map: no/such/folder/m.svg: cannot be written\n"},
  };
  for (const Case& c : cases) {
    std::string line = c.program;
    for (const std::string& a : c.args) line += " " + a;
    SCOPED_TRACE(line);
    ToolRun r = run_tool(c.program, c.args, dir_.path());
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.err_start);
    EXPECT_EQ(r.out, "");
    if (c.status == 2) {
      EXPECT_NE(r.err.find("--help"), std::string::npos);
    }
  }
  for (const char* program : {THRESHOLD_BINARY, MAP_BINARY}) {
    ToolRun help = run_tool(program, {"--help"}, dir_.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: ortelix-")) << help.out;
    EXPECT_NE(help.out.find("Exit status: 0"), std::string::npos);
    ToolRun version = run_tool(program, {"--version"}, dir_.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.ends_with(" 1.0\n")) << version.out;
  }
  EXPECT_FALSE(std::ifstream(dir_.path() + "/m.svg").good());  // no map after a refusal
}

// What a new user does: ask for the limit, answer the dialogue with it,
// map the variables. The same run in layouts 1 and 3 must give the same
// values to the map.
TEST_F(Programs, LimitThenRunThenMap) {
  // Irregular sites in metres with one supplementary site.
  const std::string sites =
      "10 2 1\n"
      "0 0\n12.5 3\n25 -2\n31 14\n18 22.75\n6 17\n-4 30\n14 41\n29 36\n40 28\n"
      "20 10\n";
  put("sites.txt", sites);
  ToolRun limit = threshold({"-q", "sites.txt"});
  ASSERT_EQ(limit.status, 0) << limit.err;
  ASSERT_TRUE(limit.out.ends_with("\n"));
  const std::string answer = limit.out;

  VariableFile plain, canoco;
  for (const char* layout : {"1", "3"}) {
    SCOPED_TRACE(layout);
    e2e::RunResult run = e2e::run_fresh(std::string("rep.txt\nvar.txt\n") + layout + "\n3\nsites.txt\n1\n" + answer,
                                        {.input_files = {{"sites.txt", sites}}});
    ASSERT_EQ(run.status, "exit 0") << run.stdout_text << run.stderr_text;
    ASSERT_NE(run.stdout_text.find(" Truncation of the distance matrix to the distance"), std::string::npos);
    put(std::string("var") + layout + ".txt", run.files.at("var.txt"));
    ToolRun m = map({std::string("var") + layout + ".txt", "sites.txt", "-o", std::string("map") + layout + ".svg"});
    ASSERT_EQ(m.status, 0) << m.err;
    VariableFile& file = *layout == '1' ? plain : canoco;
    ASSERT_EQ(read_variable_file(dir_.path() + "/var" + layout + ".txt", file), std::nullopt);
    const std::string svg = e2e::read_file(dir_.path() + "/map" + layout + ".svg");
    std::string why;
    EXPECT_TRUE(svg_test::well_formed(svg, why)) << why;
    const auto panels = svg_test::panels(svg);
    ASSERT_EQ(panels.size(), static_cast<std::size_t>(std::min(8L, file.nvar)));
    for (const auto& p : panels) EXPECT_EQ(p.circles.size(), 10u);  // the supplementary site is not drawn
    EXPECT_EQ(panels[0].title, *layout == '1' ? "Variable 1" : "PCNM 1");
  }
  EXPECT_EQ(plain.n, 10);
  EXPECT_EQ(canoco.n, 10);
  EXPECT_GE(plain.nvar, 1);
  EXPECT_EQ(plain.nvar, canoco.nvar);
  EXPECT_EQ(plain.values, canoco.values);
}

}  // namespace
}  // namespace ortelix::tools
