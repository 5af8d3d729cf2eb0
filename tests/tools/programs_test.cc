// The companion programs: what they read and compute, the maps they draw,
// and their command lines as a user runs them (the cases under
// tests/tools/cases), down to the round trip through a run of the main
// program.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/run_binary.h"
#include "tools/command_line.h"
#include "tools/sites.h"
#include "tools/svg_map.h"
#include "tools/variable_file.h"

namespace ortelix::tools {
namespace {

namespace fs = std::filesystem;

// `text` in a file of a folder that lives as long as the test program.
std::string file(const std::string& text) {
  static const e2e::TempDir dir;
  e2e::write_file(dir.path() + "/f.txt", text);
  return dir.path() + "/f.txt";
}

TEST(Readers, CoordinateFilesAndListsOfPositions) {
  struct Case {
    const char* text;
    int p;
    long n, nsup;
    std::vector<double> coords;
    bool list_only;  // a list of X Y positions, not a coordinate file
  } cases[] = {
      {"3 2 0\n0 0\n1 0.5\n2 -1.5e1\n", 2, 3, 0, {0, 0, 1, 0.5, 2, -15}, false},
      // A header over lines; what follows its third value or a site's last
      // value on a line is ignored; a record may go on over lines.
      {"2\n1\n0 9 9\n5 6 7\n8\n", 1, 2, 0, {5, 8}, false},
      {"2 3 0\n1\n\n2 3\n4, 5, 6\n", 3, 2, 0, {1, 2, 3, 4, 5, 6}, false},
      {"2 1 1\n1\n2\n10\n", 1, 2, 1, {1, 2, 10}, false},
      {"1 4 0\r\n2*1.5,,1d2\r\n", 4, 1, 0, {1.5, 1.5, 0, 100}, false},
      {"1 2 0\n3 4", 2, 1, 0, {3, 4}, false},
      // Grid.txt fields touch once Y reaches 1000.
      {"    1.   1.\n    2.   1.\n    1.1000.\n    2.2000.\n", 2, 4, 0, {1, 1, 2, 1, 1, 1000, 2, 2000}, true},
      {"0.5 7\r\n-3,\t1e2\n\n", 2, 2, 0, {0.5, 7, -3, 100}, true},
  };
  for (const Case& c : cases) {
    for (auto reader : {read_coordinate_file, read_sites_file}) {
      if (c.list_only && reader == read_coordinate_file) continue;
      Sites s;
      ASSERT_EQ(std::nullopt, reader(file(c.text), s)) << c.text;
      EXPECT_EQ(c.p, s.p) << c.text;
      EXPECT_EQ(c.n, s.n) << c.text;
      EXPECT_EQ(c.nsup, s.nsup) << c.text;
      EXPECT_EQ(c.coords, s.coords) << c.text;
    }
  }
  EXPECT_EQ((std::vector<double>{1, 2, 3, 4}), transect_sites(4).coords);
  EXPECT_EQ((std::vector<double>{1, 1, 2, 1, 3, 1, 1, 2, 2, 2, 3, 2}), grid_sites(3, 2).coords);
}

double value(long i, long j) { return (i + 1) * 1.5 - (j + 1) * 0.125; }

// Objects as the program writes them: fields of width w with w - 5
// decimals, `per_line` a line, each object on new lines.
std::string objects(long n, long nvar, int width, long per_line) {
  std::string out;
  for (long i = 0; i < n; ++i) {
    for (long j = 0; j < nvar; ++j) {
      char field[32];
      std::snprintf(field, sizeof field, "%*.*f", width, width - 5, value(i, j));
      out += field + std::string((j + 1) % per_line == 0 || j + 1 == nvar ? "\n" : "");
    }
  }
  return out;
}

std::string labels(const char* word, long count) {
  std::string out;
  for (long k = 1; k <= count; ++k) {
    out += word + std::string(k < 10 ? " " : "") + std::to_string(k) + (k % 10 == 0 || k == count ? "\n" : "  ");
  }
  return out;
}

TEST(Readers, VariableFilesOfEveryLayoutAndNumberFormat) {
  using K = VariableKind;
  const struct Case {
    std::string text;
    long n, nvar;
    bool canoco;
    VariableKind kind;
  } cases[] = {
      {" 3 4\n" + objects(3, 4, 11, 2000), 3, 4, false, K::kUnnamed},
      {" 2 12\n" + objects(2, 12, 11, 11), 2, 12, false, K::kUnnamed},
      {" 2 22\n" + objects(2, 22, 11, 11), 2, 22, false, K::kUnnamed},
      {" 3 5\n" + objects(3, 5, 10, 2000), 3, 5, false, K::kUnnamed},
      {" 2 13\n" + objects(2, 13, 10, 12), 2, 13, false, K::kUnnamed},
      {" 2 14\n" + objects(2, 14, 12, 10), 2, 14, false, K::kUnnamed},
      {"File of PCNM variables\nFREE\n 12 3\n" + objects(3, 12, 11, 11) + labels("PCNM", 12) + labels("Site", 3), 3,
       12, true, K::kPcnm},
      {"File of monomials\nFREE\n 14 2\n" + objects(2, 14, 12, 10) + labels("Mono", 14) + labels("Site", 2), 2, 14,
       true, K::kMonomial},
      {"Sites of the lake\nFREE\n 2 2\n" + objects(2, 2, 11, 11) + labels("Vari", 2), 2, 2, true, K::kUnnamed},
      {" 2 3\n1.375 1.25\n1.125\n2.875,2.75 2.625\n", 2, 3, false, K::kUnnamed},  // by hand, free format
  };
  for (const Case& c : cases) {
    VariableFile f;
    ASSERT_EQ(std::nullopt, read_variable_file(file(c.text), f)) << c.text;
    EXPECT_EQ(c.n, f.n) << c.text;
    EXPECT_EQ(c.nvar, f.nvar) << c.text;
    EXPECT_EQ(c.canoco, f.canoco) << c.text;
    EXPECT_EQ(c.kind, f.kind) << c.text;
    for (long i = 0; i < f.n; ++i)
      for (long j = 0; j < f.nvar; ++j) EXPECT_EQ(value(i, j), f.at(i, j)) << c.text << i << "," << j;
  }
  // Full fields touch: "1234.5678901000.000000" is two F11.6 values.
  const std::pair<const char*, std::vector<double>> touching[] = {
      {" 1 4\n-999.9999991234.5678901000.000000   0.500000\r\n", {-999.999999, 1234.56789, 1000, 0.5}},
      {" 1 2\n1000.000001000.00000\n", {1000, 1000}},
      {" 1 2\n1000.00000001000.0000000\n", {1000, 1000}},
  };
  for (const auto& [text, values] : touching) {
    VariableFile f;
    ASSERT_EQ(std::nullopt, read_variable_file(file(text), f));
    EXPECT_EQ(values, f.values) << text;
  }
}

TEST(ExactNumber, ReadsBackExactlyWithAtLeastNineDigits) {
  const std::pair<double, const char*> cases[] = {
      {1, "1"}, {0.5, "0.5"}, {2.23606798, "2.23606798"}, {123.456789012, "123.456789012"},
      {std::sqrt(5.0), "2.23606797749979"}, {0.1 + 0.2, "0.30000000000000004"}, {1e-5, "1e-05"},
      {1.0 / 3, "0.3333333333333333"}, {0, "0"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(text, exact_number(value));
}

// Well-formed XML, as far as the maps go: nothing but tags with quoted
// attributes and text without '<' or a bare '&', tags nested and closed,
// one root. Returns "" or what is wrong.
std::string xml_fault(const std::string& xml) {
  static const std::regex tag(R"(<(/?)([\w:-]+)(?:\s+[\w:-]+="(?:[^"<&]|&(?:amp|lt|gt|quot);)*")*\s*(/?)>)");
  static const std::regex text(R"((?:[^<&]|&(?:amp|lt|gt|quot);)*)");
  std::vector<std::string> open;
  int roots = 0;
  std::size_t at = xml.starts_with("<?xml") ? xml.find("?>") + 2 : 0;
  for (std::smatch m; at < xml.size(); at += m.length(0)) {
    const std::string rest = xml.substr(at);
    if (std::regex_search(rest, m, text, std::regex_constants::match_continuous) && m.length(0) > 0) {
      if (open.empty() && m.str().find_first_not_of(" \n") != std::string::npos) return "text outside the root";
      continue;
    }
    if (!std::regex_search(rest, m, tag, std::regex_constants::match_continuous)) return "bad tag at " + rest.substr(0, 40);
    if (m[1].length() > 0) {
      if (open.empty() || open.back() != m[2]) return "mismatched </" + m[2].str() + ">";
      open.pop_back();
    } else {
      roots += open.empty();
      if (m[3].length() == 0) open.push_back(m[2]);
    }
  }
  return !open.empty() ? "<" + open.back() + "> not closed" : roots != 1 ? "roots: " + std::to_string(roots) : "";
}

struct Circle {
  double cx, cy, r;
  std::string fill;
};

// Per panel: its title and its circles.
std::vector<std::pair<std::string, std::vector<Circle>>> panels(const std::string& svg) {
  std::vector<std::pair<std::string, std::vector<Circle>>> out;
  static const std::regex item(
      R"re(<g class="panel"[^>]*>\n<text[^>]*>([^<]*)<|<circle cx="([^"]*)" cy="([^"]*)" r="([^"]*)" fill="([^"]*)"/>)re");
  for (std::sregex_iterator i(svg.begin(), svg.end(), item), end; i != end; ++i) {
    const std::smatch& m = *i;
    if (m[1].matched) out.push_back({m[1], {}});
    if (m[2].matched && !out.empty()) out.back().second.push_back({std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
  }
  return out;
}

Sites two_d(std::vector<double> coords) {
  Sites s;
  s.p = 2;
  s.coords = std::move(coords);
  s.n = static_cast<long>(s.coords.size() / 2);
  return s;
}

// Circle areas follow |value| (largest |value| 8: radii in the ratios
// sqrt(|v| / 8)), the fill the sign; text is escaped; nothing is fetched.
TEST(SvgMap, OneSelfContainedPanelPerVariableOneCirclePerSite) {
  const std::vector<double> values = {2, -0.5, 0, 8, -8, 0.02};
  const std::string svg = render_map_svg("a<b & \"c\".txt", two_d({0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0}),
                                         {{"x<y", values}, {"PCNM 2", {1, 1, 1, 1, 1, 1}}});
  EXPECT_EQ("", xml_fault(svg));
  EXPECT_NE(std::string::npos, svg.find("a&lt;b &amp; &quot;c&quot;.txt"));
  for (const char* outside : {"<script", "href", "url(", "@import", "<image"}) EXPECT_EQ(std::string::npos, svg.find(outside));
  const auto found = panels(svg);
  ASSERT_EQ(2u, found.size());
  EXPECT_EQ("x&lt;y", found[0].first);
  EXPECT_EQ("PCNM 2", found[1].first);
  ASSERT_EQ(6u, found[0].second.size());
  const double ratio[] = {0.5, 0.25, 0, 1, 1, 0.05};
  const char* fill[] = {"#222", "none", "none", "#222", "none", "#222"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_NEAR(found[0].second[3].r * ratio[i], found[0].second[i].r, 0.006) << i;  // radii to 0.01 px
    EXPECT_EQ(fill[i], found[0].second[i].fill) << i;
  }
  // X spans 16 around 1e17, where every round tick is the same double.
  const std::string far = render_map_svg("h", two_d({1e17, 0, 1e17 + 16, 10}), {{"v", {1, -1}}});
  EXPECT_EQ("", xml_fault(far));
  const std::regex x_label("text-anchor=\"middle\"");
  EXPECT_EQ(1, std::distance(std::sregex_iterator(far.begin(), far.end(), x_label), {}));
}

// One scale in X and Y, larger Y higher up; a transect on one line. The
// grid runs X fastest: sites 1 and 2 differ in X, sites 1 and 4 in Y.
TEST(SvgMap, NorthUpAtOneScale) {
  const auto grid = panels(render_map_svg("h", grid_sites(3, 2), {{"v", {1, 2, 3, 4, 5, 6}}})).at(0).second;
  ASSERT_EQ(6u, grid.size());
  EXPECT_GT(grid[1].cx - grid[0].cx, 0);
  EXPECT_NEAR(grid[0].cx - grid[1].cx, grid[3].cy - grid[0].cy, 0.02);
  EXPECT_NEAR(grid[0].cy, grid[1].cy, 0.005);
  EXPECT_NEAR(grid[0].cx, grid[3].cx, 0.005);
  const auto line = panels(render_map_svg("h", transect_sites(3), {{"v", {1, -1, 1}}})).at(0).second;
  ASSERT_EQ(3u, line.size());
  EXPECT_NEAR(line[2].cx - line[1].cx, line[1].cx - line[0].cx, 0.02);
  EXPECT_EQ(line[0].cy, line[2].cy);
}

TEST(SvgMap, MonomialNamesInTheOrderOfTheVariableFile) {
  const std::vector<std::string> surface = {"X",   "Y",    "X²",   "XY",  "Y²", "X³",  "X²Y", "XY²",  "Y³",   "X⁴",
                                            "X³Y", "X²Y²", "XY³", "Y⁴", "X⁵", "X⁴Y", "X³Y²", "X²Y³", "XY⁴", "Y⁵"};
  for (std::size_t k = 0; k < surface.size(); ++k) EXPECT_EQ(surface[k], monomial_term(static_cast<long>(k), 2));
  const std::vector<std::string> line = {"X", "X²", "X³", "X⁴", "X⁵"};
  for (std::size_t k = 0; k < line.size(); ++k) EXPECT_EQ(line[k], monomial_term(static_cast<long>(k), 1));
}

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
// the variables. Layouts 1 and 3 of the same run give the map the same
// values; the supplementary site is not drawn.
TEST(Programs, LimitThenRunThenMap) {
  const std::string sites = "10 2 1\n0 0\n12.5 3\n25 -2\n31 14\n18 22.75\n6 17\n-4 30\n14 41\n29 36\n40 28\n20 10\n";
  const e2e::TempDir dir;
  e2e::write_file(dir.path() + "/sites.txt", sites);
  const e2e::ProgramRun limit = e2e::run_program(THRESHOLD_BINARY, {"-q", "sites.txt"}, dir.path());
  ASSERT_EQ(0, limit.status) << limit.err;
  VariableFile files[2];
  for (int k = 0; k < 2; ++k) {
    const std::string layout = k == 0 ? "1" : "3", var = "var" + layout + ".txt", map = "map" + layout + ".svg";
    e2e::RunOptions options;
    options.input_files["sites.txt"] = sites;
    const e2e::RunResult main = e2e::run_fresh("rep.txt\nvar.txt\n" + layout + "\n3\nsites.txt\n1\n" + limit.out, options);
    ASSERT_EQ("exit 0", main.status) << main.stdout_text << main.stderr_text;
    e2e::write_file(dir.path() + "/" + var, main.files.at("var.txt"));
    ASSERT_EQ(0, e2e::run_program(MAP_BINARY, {var, "sites.txt", "-o", map}, dir.path()).status);
    ASSERT_EQ(std::nullopt, read_variable_file(dir.path() + "/" + var, files[k]));
    const std::string svg = e2e::read_file(dir.path() + "/" + map);
    EXPECT_EQ("", xml_fault(svg));
    const auto found = panels(svg);
    ASSERT_EQ(static_cast<std::size_t>(std::min(8L, files[k].nvar)), found.size());
    for (const auto& p : found) EXPECT_EQ(10u, p.second.size());
    EXPECT_EQ(k == 0 ? "Variable 1" : "PCNM 1", found[0].first);
  }
  EXPECT_EQ(10, files[0].n);
  EXPECT_GE(files[0].nvar, 1);
  EXPECT_EQ(files[0].nvar, files[1].nvar);
  EXPECT_EQ(files[0].values, files[1].values);
}

}  // namespace
}  // namespace ortelix::tools
