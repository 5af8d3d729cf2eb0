// Hostile files: coordinate files in odd dress (CRLF, tabs, a byte-order
// mark, values near the end of the double range, identical sites, 2000
// coordinates), output names the system refuses, and a file-size limit that
// stops a write halfway. A file that reads the same under the rules must
// give the hand-worked run of tests/e2e/cases/file-sup-pcnm-layout2; a
// failed write must end with the write diagnostic, never with a success
// message over a short file.

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/run_binary.h"

namespace ortelix::e2e {
namespace {

using Files = std::map<std::string, std::string>;

const std::string kBanner =
    " Program \"Ortelix\" creates a file of PCNM\n"
    " or polynomial spatial variables.\n"
    "\n"
    " Version 1.0\n"
    " Spatial variables for canonical ordination and regression.\n"
    "\n";
const std::string kAskLimit =
    "\n Truncation of the distance matrix --\n\n"
    " Highest unmodified value in distance matrix?\n"
    " Type an integer or a real number, ex. 1 or 65.22.\n"
    " Use the SAME measurement units as the site coordinates.\n";
const std::string kRanging = "\n The coordinates were ranged and centred before computing the spatial variables.\n";
const std::string kSitesLine = " Input file of coordinates: sites.txt                     \n";

std::string input_group(int n, int p, int nsup) {
  char buf[200];
  std::snprintf(buf, sizeof buf,
                "\n Input file: sites.txt                     \n%6d objects\n%6d coordinates\n%6d supplementary "
                "objects\n\n",
                n, p, nsup);
  return buf;
}

std::string diagnostic(const std::string& first, const std::string& unit, const std::string& format, bool reading) {
  return first + "\napparent state: " + unit + "\nlast format: " + format + "\nlately " +
         (reading ? "reading" : "writing") + " sequential formatted external IO\n";
}

// ---- the worked example with supplementary sites

const std::string kCase = std::string(ORTELIX_CASES) + "/file-sup-pcnm-layout2/";
const std::string kAnswers = "rep.txt\nvar.txt\n2\n3\nsites.txt\n1\n1.2\n";

std::vector<std::vector<double>> golden_sites() {
  std::istringstream in(read_file(kCase + "input.files/sites.txt"));
  int n = 0, p = 0, nsup = 0;
  in >> n >> p >> nsup;
  std::vector<std::vector<double>> rows(static_cast<std::size_t>(n + nsup), std::vector<double>(2));
  for (auto& row : rows) in >> row[0] >> row[1];
  return rows;
}

void expect_worked_example(const char* what, const std::string& sites) {
  SCOPED_TRACE(what);
  RunOptions options;
  options.input_files["sites.txt"] = sites;
  RunResult r = run_fresh(kAnswers, options);
  EXPECT_EQ(mask_time(read_file(kCase + "expected.stdout")), mask_time(r.stdout_text));
  EXPECT_EQ("", r.stderr_text);
  EXPECT_EQ("exit 0", r.status);
  EXPECT_EQ(mask_time(read_file(kCase + "expected.files/rep.txt")), mask_time(r.files["rep.txt"]));
  EXPECT_EQ(read_file(kCase + "expected.files/var.txt"), r.files["var.txt"]);
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

TEST(HostileCoordinateFiles, ThatReadTheSameGiveTheWorkedExample) {
  const std::string plain = read_file(kCase + "input.files/sites.txt");
  expect_worked_example("line ends CR LF, every record on its line", replace_all(plain, "\n", "\r\n"));
  expect_worked_example("tabs for blanks", replace_all(plain, " ", "\t"));
  expect_worked_example("commas, tabs and blanks mixed", replace_all(plain, " ", " \t, "));
  expect_worked_example("words after the values", replace_all(plain, "\n", " site, 9 9 9\n"));
  expect_worked_example("no line feed at the end", plain.substr(0, plain.size() - 1));
  expect_worked_example("empty lines between records", replace_all(plain, "\n", "\n\n \t\n"));
  // Header over three lines, each record's Y on the next line.
  std::string spread = "14\n2\n2 ignored\n";
  for (const auto& row : golden_sites()) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.17g\n%.17g\n", row[0], row[1]);
    spread += buf;
  }
  expect_worked_example("header and records spread over lines", spread);
  expect_worked_example("repeat counts and exponents", replace_all(replace_all(plain, "\n0 0\n", "\n2*0\n"), "\n7 0.5\n",
                                                                   "\n0.7e1,5d-1\n"));
}

TEST(HostileCoordinateFiles, ScaledNearTheEndOfTheRangeGiveTheSameVariables) {
  // Multiplying every coordinate and the limit by 2^996 (sites near 1e300)
  // changes nothing after ranging: power-of-two scaling is exact, and so
  // are the differences and the quotients. Only the limit, which no longer
  // fits F12.3, shows as asterisks.
  std::string sites = "14 2 2\n";
  for (const auto& row : golden_sites()) {
    char buf[100];
    std::snprintf(buf, sizeof buf, "%.17g %.17g\n", std::ldexp(row[0], 996), std::ldexp(row[1], 996));
    sites += buf;
  }
  char limit[40];
  std::snprintf(limit, sizeof limit, "%.17g\n", std::ldexp(1.2, 996));
  RunOptions options;
  options.input_files["sites.txt"] = sites;
  RunResult r = run_fresh("rep.txt\nvar.txt\n2\n3\nsites.txt\n1\n" + std::string(limit), options);
  EXPECT_EQ("exit 0", r.status);
  EXPECT_EQ(read_file(kCase + "expected.files/var.txt"), r.files["var.txt"]);
  const std::string stars = "************";
  EXPECT_EQ(mask_time(replace_all(read_file(kCase + "expected.files/rep.txt"), "=        1.200", "= " + stars)),
            mask_time(r.files["rep.txt"]));
  EXPECT_EQ(mask_time(replace_all(read_file(kCase + "expected.stdout"), "distance       1.200", "distance" + stars)),
            mask_time(r.stdout_text));
}

// A run on the coordinate file `sites` with the answers after its name.
RunResult run_on(const std::string& sites, const std::string& answers, const std::string& layout = "1") {
  RunOptions options;
  options.input_files["sites.txt"] = sites;
  return run_fresh("rep.txt\nvar.txt\n" + layout + "\n3\nsites.txt\n" + answers, options);
}

const std::string kUpToFile = kBanner +
                              " This program can handle a maximum of   2000 objects.\n"
                              " Name of output file containing the PCoA eigenvalues?\n"
                              "\n Name of output file containing the spatial\n variables (PCNM or monomials)?\n"
                              "\n Output the file of spatial variables in the following format:\n"
                              " (1) A single line per object\n"
                              " (2) Folded object vectors, 10 to 12 values per line\n"
                              " (3) Canoco input file, FREE format\n"
                              "\n Sampling design:\n"
                              " (1) A transect with equidistant points\n"
                              " (2) A regular grid\n"
                              " (3) File containing X or X-Y coordinates\n"
                              "\n File containing the coordinates?\n";
const std::string kAskMethod =
    "\n Do you want to construct\n"
    " (1) a file of PCNM spatial variables?\n"
    " (2) a file containing a polynomial of the coordinates?\n";

TEST(HostileCoordinateFiles, ByteOrderMarkIsNoNumber) {
  RunResult r = run_on("\xEF\xBB\xBF" "3 1 0\n1\n2\n3\n", "1\n1\n");
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(diagnostic("invalid number: incomprehensible list input", "unit 2 named sites.txt", "list io", true),
            r.stderr_text);
  EXPECT_EQ(kUpToFile, r.stdout_text);
  EXPECT_EQ(kBanner, r.files["rep.txt"]);
  EXPECT_EQ("", r.files["var.txt"]);
}

TEST(HostileCoordinateFiles, InfiniteAndNotANumberFollowIeeeArithmetic) {
  // A range of 2e308 overflows to infinity: the far site ranges to
  // inf/inf = NaN, its distances are NaN and never truncated, and the QL
  // iterations cannot settle.
  const std::string sites = "3 1 0\n-1e308\n1e308\n0\n";
  {
    RunResult r = run_on(sites, "1\n1\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("STOP Too many iterations in TQLI statement executed\n", r.stderr_text);
    EXPECT_EQ(kUpToFile + kSitesLine + kAskMethod + kRanging + kAskLimit + "\n", r.stdout_text);
    EXPECT_EQ(kBanner + input_group(3, 1, 0) + kRanging + "\n Matrix of PCNM spatial variables\n" +
                  "    Highest unmodified distance value = ************\n" +
                  "    Multiplier for \"large distances\"  =        4.000\n",
              r.files["rep.txt"]);
    EXPECT_EQ("", r.files["var.txt"]);
  }
  {
    // The polynomial centres with a NaN mean: every monomial is NaN and
    // every F10.5 field is asterisks.
    RunResult r = run_on(sites, "2\n2\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("", r.stderr_text);
    const std::string row = std::string(20, '*') + "\n";
    EXPECT_EQ(" 3 2\n" + row + row + row, r.files["var.txt"]);
  }
  {
    // An infinite coordinate typed as 1e400: its own range is infinite too.
    RunResult r = run_on("3 1 0\n0\n1e400\n1\n", "1\n1\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("STOP Too many iterations in TQLI statement executed\n", r.stderr_text);
  }
}

TEST(HostileCoordinateFiles, IdenticalSites) {
  const std::string same = "\n All the sites have the same coordinates: no spatial\n variables can be built.\n";
  for (const char* sites : {"3 2 0\n5 5\n5 5\n5 5\n", "2 2 1\n1e300 -1e300\n1e300 -1e300\n1*1e300, 1*-1e300\n",
                            "1 1 0\n7\n"}) {
    SCOPED_TRACE(sites);
    RunResult r = run_on(sites, "1\n");
    EXPECT_EQ("exit 0", r.status);
    EXPECT_EQ("", r.stderr_text);
    EXPECT_EQ(kRanging + same, r.stdout_text.substr(r.stdout_text.size() - kRanging.size() - same.size()));
    EXPECT_TRUE(r.files["rep.txt"].size() >= same.size() &&
                r.files["rep.txt"].compare(r.files["rep.txt"].size() - same.size(), same.size(), same) == 0);
    EXPECT_EQ("", r.files["var.txt"]);
  }
  // Two sites at one place among others are only a zero distance: the
  // untruncated distances of points on a line give one variable.
  RunResult r = run_on("4 1 0\n1\n1\n2\n3\n", "1\n5\n");
  EXPECT_EQ("exit 0", r.status);
  EXPECT_NE(std::string::npos, r.stdout_text.find(" Truncation of the distance matrix to the distance       5.000\n"
                                                   " yielded    1 positive eigenvalues.\n"));
  EXPECT_EQ(" 4 1\n", r.files["var.txt"].substr(0, 5));
}

TEST(HostileCoordinateFiles, TwoThousandCoordinatesAreRead) {
  // The largest p accepted; a polynomial of it is then refused by name.
  RunResult r = run_on("2 2000 0\n2000*0\n1999*1, 2\n", "2\n");
  EXPECT_EQ("exit 0", r.status);
  EXPECT_EQ(kUpToFile + kSitesLine + kAskMethod +
                "\n This program can only construct a polynomial for\n"
                " transects or surfaces, not for 2000 geographic dimensions\n",
            r.stdout_text);
  EXPECT_EQ(kBanner + input_group(2, 2000, 0), r.files["rep.txt"]);
}

TEST(HostileOutputNames, APathThroughARegularFileIsNotADirectory) {
  RunResult r = run_fresh("rep.txt\n'rep.txt/var.txt'\n");
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(diagnostic("open: Not a directory", "unit 12 named rep.txt/var.txt", "list io", true), r.stderr_text);
  EXPECT_EQ((Files{{"rep.txt", kBanner}}), r.files);
}

TEST(HostileOutputNames, AFolderThatCannotBeWrittenGivesTheSystemsReason) {
  if (geteuid() == 0) {
    // Permission bits do not bind the superuser (CI runs as root).
    GTEST_SKIP() << "running as root: an unwritable folder cannot be made";
  }
  TempDir dir;
  ASSERT_EQ(0, ::mkdir((dir.path() + "/ro").c_str(), 0555));
  RunResult r = run_in(dir.path(), "'ro/rep.txt'\n");
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(diagnostic("open: Permission denied", "unit 7 named ro/rep.txt", "list io", true), r.stderr_text);
  EXPECT_TRUE(r.files.empty());
}

// ---- a file-size limit (RLIMIT_FSIZE): the system refuses the write past it

struct FullDisk {
  const char* what;
  std::string answers;
  long limit;
  std::string file;           // the file that cannot be written whole
  std::string unit;           // its unit as the diagnostic names it
  std::string format;         // the format of its last transfer
  std::string last_screen;    // the screen must end with this
};

TEST(HostileFullDisk, EndsWithTheWriteDiagnosticNeverASuccessMessage) {
  const std::string summary_end = " positive eigenvalues.\n";
  for (const FullDisk& f : {
           // The variable file's buffer fills and is written mid-run.
           FullDisk{"variable file, long", "rep.txt\nvar.txt\n1\n1\n300\n1\n1\n", 100000, "var.txt",
                    "unit 12 named var.txt", "(2000F11.6)", summary_end},
           // The variable file is short and fails at its close.
           FullDisk{"variable file, at close", "rep.txt\nvar.txt\n2\n1\n30\n1\n1\n", 2000, "var.txt",
                    "unit 12 named var.txt", "(11F11.6)", summary_end},
           // The report, with a limit of 0 no variables and a tiny variable
           // file, is longer than the limit by its eigenvalues.
           FullDisk{"run report", "rep.txt\nvar.txt\n1\n1\n500\n1\n0\n", 4000, "rep.txt", "unit 7 named rep.txt",
                    "list io", " Computation time:"},
           // Grid.txt of 2000 points.
           FullDisk{"grid file", "rep.txt\nvar.txt\n1\n2\n40 50\n1\n", 10000, "Grid.txt", "unit 9 named Grid.txt",
                    "(1X,3F5.0)", "\n Save the file of X-Y coordinates?\n (0) No, (1) Yes\n"},
       }) {
    SCOPED_TRACE(f.what);
    RunOptions options;
    options.file_size_limit = f.limit;
    RunResult r = run_fresh(f.answers, options);
    EXPECT_EQ("exit 134", r.status);
    EXPECT_EQ(diagnostic("write: File too large", f.unit, f.format, false), r.stderr_text);
    EXPECT_EQ(std::string::npos, r.stdout_text.find("End of the program.")) << r.stdout_text;
    EXPECT_EQ(std::string::npos, r.stdout_text.find("were written out")) << r.stdout_text;
    if (f.file == "var.txt") {
      EXPECT_EQ(std::string::npos, r.stdout_text.find("have been")) << r.stdout_text;
    }
    const std::size_t tail = r.stdout_text.rfind(f.last_screen);
    EXPECT_NE(std::string::npos, tail) << r.stdout_text;
    if (tail != std::string::npos && f.last_screen != " Computation time:") {
      EXPECT_EQ(r.stdout_text.size(), tail + f.last_screen.size()) << r.stdout_text;
    }
    EXPECT_EQ(static_cast<std::size_t>(f.limit), r.files[f.file].size());
  }
}

}  // namespace
}  // namespace ortelix::e2e
