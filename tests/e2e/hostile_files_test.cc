// Hostile files: coordinate files that read the same under the rules in odd
// dress, sites near the end of the double range, a folder that cannot be
// written, and a file-size limit that stops a write halfway.

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/dialogue.h"

namespace ortelix::e2e {
namespace {

const std::string kSup = "file-sup-pcnm-layout2";

RunResult run_on(const std::string& sites, const std::string& limit = "1.2") {
  RunOptions options;
  options.input_files["sites.txt"] = sites;
  return run_fresh("rep.txt\nvar.txt\n2\n3\nsites.txt\n1\n" + limit + "\n", options);
}

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) {
    s.replace(at, from.size(), to);
  }
  return s;
}

// The sites of the worked example, each written with `print`.
std::string respelled(const char* header, const char* print, int exponent = 0) {
  std::istringstream in(case_file(kSup, "input.files/sites.txt"));
  int n = 0, p = 0, nsup = 0;
  in >> n >> p >> nsup;
  std::string out = header;
  for (double x, y; in >> x >> y;) {
    char buf[100];
    std::snprintf(buf, sizeof buf, print, std::ldexp(x, exponent), std::ldexp(y, exponent));
    out += buf;
  }
  return out;
}

TEST(HostileFiles, CoordinateFilesThatReadTheSameGiveTheWorkedExample) {
  const std::string plain = case_file(kSup, "input.files/sites.txt");
  for (const auto& [what, sites] : std::vector<std::pair<const char*, std::string>>{
           {"line ends CR LF, every record on its line", replace_all(plain, "\n", "\r\n")},
           {"tabs for blanks", replace_all(plain, " ", "\t")},
           {"commas, tabs and blanks mixed", replace_all(plain, " ", " \t, ")},
           {"words after the values", replace_all(plain, "\n", " site, 9 9 9\n")},
           {"no line feed at the end", plain.substr(0, plain.size() - 1)},
           {"empty lines between records", replace_all(plain, "\n", "\n\n \t\n")},
           {"header and records spread over lines", respelled("14\n2\n2 ignored\n", "%.17g\n%.17g\n")},
           {"repeat counts and exponents",
            replace_all(replace_all(plain, "\n0 0\n", "\n2*0\n"), "\n7 0.5\n", "\n0.7e1,5d-1\n")}}) {
    SCOPED_TRACE(what);
    expect_case(kSup, run_on(sites));
  }
}

TEST(HostileFiles, SitesNearTheEndOfTheRangeGiveTheSameVariables) {
  // Scaling every coordinate and the limit by 2^996 (sites near 1e300) is
  // exact, and so are the differences and quotients after it. Only the
  // limit, which no longer fits F12.3, shows as asterisks.
  char limit[40];
  std::snprintf(limit, sizeof limit, "%.17g", std::ldexp(1.2, 996));
  RunResult r = run_on(respelled("14 2 2\n", "%.17g %.17g\n", 996), limit);
  EXPECT_EQ("exit 0", r.status);
  EXPECT_EQ(case_file(kSup, "expected.files/var.txt"), r.files["var.txt"]);
  const std::string stars = "************";
  EXPECT_EQ(mask_time(replace_all(case_file(kSup, "expected.files/rep.txt"), "=        1.200", "= " + stars)),
            mask_time(r.files["rep.txt"]));
  EXPECT_EQ(mask_time(replace_all(case_file(kSup, "expected.stdout"), "distance       1.200", "distance" + stars)),
            mask_time(r.stdout_text));
}

TEST(HostileFiles, AFolderThatCannotBeWrittenGivesTheSystemsReason) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not bind the superuser";
  TempDir dir;
  ASSERT_EQ(0, ::mkdir((dir.path() + "/ro").c_str(), 0555));
  RunResult r = run_in(dir.path(), "'ro/rep.txt'\n");
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(diagnostic("open: Permission denied", "unit 7 named ro/rep.txt"), r.stderr_text);
  EXPECT_TRUE(r.files.empty());
}

TEST(HostileFiles, AFullDiskEndsWithTheWriteDiagnosticNeverASuccessMessage) {
  struct FullDisk {
    const char* what;
    std::string answers;
    long limit;                // RLIMIT_FSIZE: the system refuses the write past it
    std::string file, format;  // the file that cannot be written whole, its last format
    std::string last_screen;   // the screen ends with this line
  };
  const std::string summary = " positive eigenvalues.\n";
  for (const FullDisk& f : {
           FullDisk{"variable file, buffer written mid-run", "rep.txt\nvar.txt\n1\n1\n300\n1\n1\n", 100000, "var.txt",
                    "(2000F11.6)", summary},
           FullDisk{"variable file, at its close", "rep.txt\nvar.txt\n2\n1\n30\n1\n1\n", 2000, "var.txt", "(11F11.6)",
                    summary},
           // No variables and a tiny variable file; the report is longer
           // than the limit by its eigenvalues.
           FullDisk{"run report", "rep.txt\nvar.txt\n1\n1\n500\n1\n0\n", 4000, "rep.txt", "list io",
                    "\n Computation time:"},
           FullDisk{"grid file of 2000 points", "rep.txt\nvar.txt\n1\n2\n40 50\n1\n", 10000, "Grid.txt", "(1X,3F5.0)",
                    "\n Save the file of X-Y coordinates?\n (0) No, (1) Yes\n"},
       }) {
    SCOPED_TRACE(f.what);
    RunOptions options;
    options.file_size_limit = f.limit;
    RunResult r = run_fresh(f.answers, options);
    EXPECT_EQ("exit 134", r.status);
    const std::string unit = f.file == "var.txt" ? "unit 12" : f.file == "rep.txt" ? "unit 7" : "unit 9";
    EXPECT_EQ(diagnostic("write: File too large", unit + " named " + f.file, f.format, false), r.stderr_text);
    const std::size_t tail = r.stdout_text.rfind(f.last_screen);
    ASSERT_NE(std::string::npos, tail) << r.stdout_text;
    const std::size_t end = r.stdout_text.find('\n', tail + f.last_screen.size());
    EXPECT_TRUE(end == std::string::npos || end + 1 == r.stdout_text.size()) << r.stdout_text;
    EXPECT_EQ(static_cast<std::size_t>(f.limit), r.files[f.file].size());
  }
}

}  // namespace
}  // namespace ortelix::e2e
