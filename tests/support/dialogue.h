// The screen texts of the dialogue and the points where it waits for an
// answer, for the end-to-end tests that build many runs from one rule.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/run_binary.h"

namespace ortelix::e2e {

using Files = std::map<std::string, std::string>;

inline const std::string kBanner =
    " Program \"Ortelix\" creates a file of PCNM\n or polynomial spatial variables.\n\n"
    " Version 1.0\n Spatial variables for canonical ordination and regression.\n\n";
inline const std::string kAskReport = kBanner +
    " This program can handle a maximum of   2000 objects.\n Name of output file containing the PCoA eigenvalues?\n";
inline const std::string kAskVariable =
    "\n Name of output file containing the spatial\n variables (PCNM or monomials)?\n";
inline const std::string kAskLayout =
    "\n Output the file of spatial variables in the following format:\n (1) A single line per object\n"
    " (2) Folded object vectors, 10 to 12 values per line\n (3) Canoco input file, FREE format\n";
inline const std::string kAskDesign =
    "\n Sampling design:\n (1) A transect with equidistant points\n (2) A regular grid\n"
    " (3) File containing X or X-Y coordinates\n";
inline const std::string kAskMethod =
    "\n Do you want to construct\n (1) a file of PCNM spatial variables?\n"
    " (2) a file containing a polynomial of the coordinates?\n";
inline const std::string kRanging =
    "\n The coordinates were ranged and centred before computing the spatial variables.\n";
inline const std::string kAskLimit =
    "\n Truncation of the distance matrix --\n\n Highest unmodified value in distance matrix?\n"
    " Type an integer or a real number, ex. 1 or 65.22.\n Use the SAME measurement units as the site coordinates.\n";
inline const std::string kTransectRecord = "  Unidimensional transect with equidistant points\n";
inline const std::string kPcnmHeading = "\n Matrix of PCNM spatial variables\n";

inline std::string diagnostic(const std::string& first, const std::string& unit = "unit 5 (unnamed)",
                              const std::string& format = "list io", bool reading = true) {
  return first + "\napparent state: " + unit + "\nlast format: " + format + "\nlately " +
         (reading ? "reading" : "writing") + " sequential formatted external IO\n";
}
inline const std::string kEnd = diagnostic("list in: end of file");
inline const std::string kUnexpected = diagnostic("invalid integer: read unexpected character");
inline const std::string kOutOfRange = diagnostic("invalid integer: integer out of range");
inline const std::string kBadCount = diagnostic("bad repetition count: incomprehensible list input");
inline const std::string kNotANumber = diagnostic("invalid number: incomprehensible list input");
inline const std::string kBadExponent = diagnostic("exponent field: incomprehensible list input");

// A question of the dialogue: the answers that reach it, the screen and the
// files as they stand while it waits.
struct Question {
  const char* name;
  std::string in, out;
  Files files;
};

inline Question then(const Question& q, const char* name, const std::string& answer, const std::string& screen,
                     const std::string& report = "") {
  Question next{name, q.in + answer, q.out + screen, q.files};
  next.files["rep.txt"] += report;
  return next;
}

inline const Question kAtReport{"report name", "", kAskReport, {}};
inline const Question kAtVariable{"variable-file name", "rep.txt\n", kAskReport + kAskVariable, {{"rep.txt", kBanner}}};
inline const Question kAtLayout{"layout", "rep.txt\nvar.txt\n", kAskReport + kAskVariable + kAskLayout,
                                {{"rep.txt", kBanner}, {"var.txt", ""}}};
inline const Question kAtDesign = then(kAtLayout, "design", "1\n", kAskDesign);
inline const Question kAtObjects = then(kAtDesign, "number of objects", "1\n", "\n Number of objects?\n");
inline const Question kAtGrid = then(kAtDesign, "grid size", "2\n",
                                     "\n Regular grid: \n number of rows and columns of points (two integers)\n");
inline const Question kAtSave =
    then(kAtGrid, "save", "3 2\n", "\n Save the file of X-Y coordinates?\n (0) No, (1) Yes\n",
         " Regular grid containing\n      3 horizontal points\n      2 vertical points\n\n");
inline const Question kAtMethod = then(kAtObjects, "method", "10\n", kAskMethod, kTransectRecord);
inline const Question kAtOrder =
    then(kAtMethod, "order", "2\n", kRanging + "\n Order of the polynomial? 2 to 5\n", kRanging);
inline const Question kAtLimit =
    then(kAtMethod, "truncation limit", "1\n", kRanging + kAskLimit, kRanging + kPcnmHeading);

// The run ends on `answer` at `q` with the diagnostic `err`, nothing more
// on the screen or in the files.
inline void expect_failure(const Question& q, const std::string& answer, const std::string& err) {
  SCOPED_TRACE(std::string(q.name) + " answered " + answer.substr(0, 40));
  RunResult r = run_fresh(q.in + answer);
  EXPECT_EQ("exit 134", r.status);
  EXPECT_EQ(err, r.stderr_text);
  EXPECT_EQ(q.out, r.stdout_text);
  EXPECT_EQ(q.files, r.files);
}

inline std::string case_file(const std::string& name, const std::string& file) {
  return read_file(std::string(ORTELIX_CASES) + "/" + name + "/" + file);
}

// The run gave exactly what the case folder `name` expects.
inline void expect_case(const std::string& name, const RunResult& r) {
  EXPECT_EQ(mask_time(case_file(name, "expected.stdout")), mask_time(r.stdout_text));
  EXPECT_EQ(case_file(name, "expected.stderr"), r.stderr_text);
  EXPECT_EQ("exit 0", r.status);
  auto file = [&](const std::string& file_name) {
    return r.files.count(file_name) ? r.files.at(file_name) : "(missing)";
  };
  EXPECT_EQ(mask_time(case_file(name, "expected.files/rep.txt")), mask_time(file("rep.txt")));
  EXPECT_EQ(case_file(name, "expected.files/var.txt"), file("var.txt"));
}

}  // namespace ortelix::e2e
