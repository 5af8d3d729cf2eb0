// The tools' command lines: every spelling a Unix user may type, and every
// refusal with its words, before any file is read.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/commands.h"

namespace ortelix::cli {
namespace {

using Args = std::vector<std::string>;

// What a parsed pcnm command line asks for, in a few words.
std::string pcnm(const Args& args) {
  auto c = parse_pcnm_command(args);
  if (!c.ok()) return "!" + c.error();
  if (c->help) return "help";
  if (c->version) return "version";
  std::string s;
  switch (c->sites.kind) {
    case SiteSource::Kind::kFile: s = "file " + c->sites.path; break;
    case SiteSource::Kind::kTransect: s = "transect " + std::to_string(c->sites.first); break;
    case SiteSource::Kind::kGrid: s = "grid " + std::to_string(c->sites.first) + "x" + std::to_string(c->sites.second); break;
    case SiteSource::Kind::kPairs: s = "pairs " + c->sites.path; break;
    case SiteSource::Kind::kNone: s = "none"; break;
  }
  for (const large::Limit& l : c->run.limits) s += l.mst ? " mst" : " limit " + std::to_string(l.value);
  if (c->run.count) s += " count " + std::to_string(c->run.count);
  s += " -o " + c->out;
  if (!c->report.empty()) s += " report " + c->report;
  if (c->quiet) s += " quiet";
  if (c->run.positive_moran) s += " moran";
  if (c->layout != output::Layout::kCsv) s += " layout";
  if (c->run.solver != large::Solver::kAuto) s += " solver";
  if (c->longlat) s += " longlat";
  if (!c->predict.empty()) s += " predict " + c->predict + " " + c->predicted;
  return s;
}

TEST(CommandLine, PcnmSpellings) {
  const std::pair<Args, std::string> cases[] = {
      {{"s.txt", "--limit", "2", "-o", "v.csv"}, "file s.txt limit 2.000000 -o v.csv"},
      {{"--limit=2.5", "--output=v.csv", "s.txt"}, "file s.txt limit 2.500000 -o v.csv"},
      {{"--grid", "3", "2", "--limit", "mst", "-o", "-"}, "grid 3x2 mst -o -"},
      {{"-", "--limit", "mst", "-o", "v", "--report", "r", "-q", "--count=5"}, "file - mst count 5 -o v report r quiet"},
      {{"--limit", "1", "-o", "v", "--", "-sites.txt"}, "file -sites.txt limit 1.000000 -o v"},
      {{"--transect", "10", "--limit", "1e-3", "-o", "v", "--positive-moran", "--format", "2", "--solver=dense"},
       "transect 10 limit 0.001000 -o v moran layout solver"},
      {{"--limit", "1", "--limit", "mst", "-o", "a", "-o", "b", "s"}, "file s mst -o b"},  // the last one counts
      {{"--help"}, "help"},
      {{"--limit", "bad", "--version"}, "!--limit: 'bad' is neither a positive number nor 'mst'"},
      {{"-h", "--bogus"}, "!unknown option '--bogus'"},
      {{"--version"}, "version"},
      // Refusals.
      {{"s", "--limit", "1"}, "!no output: -o VARFILE"},
      {{"s", "-o", "v"}, "!no truncation limit: --limit L or --limit mst"},
      {{"--limit", "1", "-o", "v"}, "!no sites: give SITES, --transect N, --grid ROWS COLS or --distances PAIRS"},
      {{"a", "b", "--limit", "1", "-o", "v"}, "!give one source of sites: a file, --transect, --grid or --distances"},
      {{"a", "--grid", "2", "2", "--limit", "1", "-o", "v"},
       "!give one source of sites: a file, --transect, --grid or --distances"},
      {{"a", "--distances", "p", "--limit", "1", "-o", "v"},
       "!give one source of sites: a file, --transect, --grid or --distances"},
      // Several limits, geographic coordinates, distances, new sites.
      {{"s", "--limit=mst,2.5,10", "-o", "v"}, "file s mst limit 2.500000 limit 10.000000 -o v"},
      {{"s", "--limit", "2.5,mst,2.5", "-o", "v"}, "!--limit: '2.5' is given twice"},
      {{"s", "--limit", "2.5,,3", "-o", "v"}, "!--limit: '' is neither a positive number nor 'mst'"},
      {{"--distances", "p.txt", "--limit", "3", "-o", "v"}, "pairs p.txt limit 3.000000 -o v"},
      {{"--distances", "p.txt", "--limit", "3", "-o", "v", "--longlat"},
       "!--longlat and --distances: the distances are given, there are no positions"},
      {{"--distances", "p.txt", "--limit", "3", "-o", "v", "--predict", "n", "--predicted", "w"},
       "!--predict does not apply to --distances: new sites have no distances to the sites of the analysis"},
      {{"s", "--limit", "3", "-o", "v", "--predict", "n"}, "!--predict needs --predicted NEWFILE"},
      {{"s", "--limit", "3", "-o", "v", "--predicted", "n"}, "!--predicted needs --predict NEWSITES"},
      {{"-", "--limit", "3", "-o", "v", "--predict", "-", "--predicted", "w"},
       "!SITES and NEWSITES cannot both be standard input"},
      {{"s", "--limit", "3", "-o", "v", "--longlat", "--predict=n", "--predicted=w"}, "file s limit 3.000000 -o v "
                                                                                       "longlat predict n w"},
      {{"s", "--limit"}, "!--limit needs a value"},
      {{"--grid", "3"}, "!--grid needs two values"},
      {{"--grid=3", "2"}, "!--grid takes its values apart: --grid A B"},
      {{"--quiet=yes"}, "!--quiet takes no value"},
      {{"s", "--limit", "1", "-o", "v", "--report", ""}, "!argument 7 is empty"},  // "$REPORT" unset
      {{"s", "--limit", "1", "-o", "v", "--report="}, "!--report= has no value"},
      {{"--limit", "0", "s", "-o", "v"}, "!--limit: '0' is neither a positive number nor 'mst'"},
      {{"--limit", "inf", "s", "-o", "v"}, "!--limit: 'inf' is neither a positive number nor 'mst'"},
      {{"--limit", "1e999", "s", "-o", "v"}, "!--limit: '1e999' is neither a positive number nor 'mst'"},
      {{"--limit", " 1", "s", "-o", "v"}, "!--limit: ' 1' is neither a positive number nor 'mst'"},
      {{"--count", "0"}, "!--count: '0' is not a whole number from 1"},
      {{"--count", "-3"}, "!--count: '-3' is not a whole number from 1"},
      {{"--format", "csv2"}, "!--format: csv, 1, 2 or 3, not 'csv2'"},
      {{"--solver", "fast"}, "!--solver: auto, dense or krylov, not 'fast'"},
      {{"--transect", "0"}, "!--transect: '0' is not a number of points from 1 to 50000000"},
      {{"--grid", "10000", "10000"}, "!--grid 10000 10000: 100000000 points, the program generates at most 50000000"},
      {{"--grid", "99999999999999999999", "2"}, "!--grid: '99999999999999999999 2' are not two numbers from 1 to 50000000"},
  };
  for (const auto& [args, want] : cases) EXPECT_EQ(want, pcnm(args)) << ::testing::PrintToString(args);
}

TEST(CommandLine, ThresholdAndMap) {
  auto t = parse_threshold_command({"--grid=3", "2"});
  ASSERT_FALSE(t.ok());
  t = parse_threshold_command({"-q", "--", "-"});
  ASSERT_TRUE(t.ok());
  EXPECT_TRUE(t->quiet);
  EXPECT_EQ("-", t->sites.path);
  t = parse_threshold_command({"--transect", "2001"});
  ASSERT_FALSE(t.ok());
  EXPECT_EQ("--transect: '2001' is not a number of points from 1 to 2000", t.error());

  auto m = parse_map_command({"v.csv", "--grid", "4", "3", "--output=m.svg", "--vars", "2,5-6", "--kind=pcnm"});
  ASSERT_TRUE(m.ok()) << m.error();
  EXPECT_EQ("v.csv", m->variables);
  EXPECT_EQ(SiteSource::Kind::kGrid, m->sites.kind);
  EXPECT_EQ("m.svg", m->out);
  EXPECT_EQ((std::vector<Index>{2, 5, 6}), m->vars);
  EXPECT_EQ("pcnm", m->kind);
  const std::pair<Args, std::string> refused[] = {
      {{"-", "-", "-o", "m"}, "VARFILE and SITES cannot both be standard input"},
      {{"v", "s", "t", "-o", "m"}, "give one source of sites: a file, --transect or --grid"},
      {{"v", "s"}, "no output: -o OUT.svg"},
      {{"-o", "m"}, "no VARFILE"},
      {{"v", "-o", "m"}, "no sites: give SITES, --transect N or --grid ROWS COLS"},
      {{"v", "s", "-o", "m", "--vars", "3-1"}, "--vars: '3-1' is not a list such as 1-8 or 1,3,5-7"},
      {{"v", "s", "-o", "m", "--kind", "x"}, "--kind: pcnm, mono or plain, not 'x'"},
  };
  for (const auto& [args, want] : refused) {
    auto r = parse_map_command(args);
    ASSERT_FALSE(r.ok()) << want;
    EXPECT_EQ(want, r.error());
  }
}

}  // namespace
}  // namespace ortelix::cli
