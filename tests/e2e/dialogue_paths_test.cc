// Short runs that end at a known point of the dialogue: at the end of the
// answers, on an answer that cannot be read, on an output or coordinate file
// that cannot be opened or read, or on a refusal that stops the run. Each
// expected screen is the run's prompts in the order the user meets them; the
// report holds what the stages reached had written; a failure leaves the four
// diagnostic lines and the abort status.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "e2e/run_binary.h"

namespace ortelix::e2e {
namespace {

using Files = std::map<std::string, std::string>;

// ---- screen

const std::string kBanner =
    " Program \"Ortelix\" creates a file of PCNM\n"
    " or polynomial spatial variables.\n"
    "\n"
    " Version 1.0\n"
    " Spatial variables for canonical ordination and regression.\n"
    "\n";
const std::string kStart = kBanner +
                           " This program can handle a maximum of   2000 objects.\n"
                           " Name of output file containing the PCoA eigenvalues?\n";
const std::string kAskVariable = "\n Name of output file containing the spatial\n variables (PCNM or monomials)?\n";
const std::string kAskLayout =
    "\n Output the file of spatial variables in the following format:\n"
    " (1) A single line per object\n"
    " (2) Folded object vectors, 10 to 12 values per line\n"
    " (3) Canoco input file, FREE format\n";
const std::string kAskDesign =
    "\n Sampling design:\n"
    " (1) A transect with equidistant points\n"
    " (2) A regular grid\n"
    " (3) File containing X or X-Y coordinates\n";
const std::string kAskObjects = "\n Number of objects?\n";
const std::string kJoking = " You are joking, I hope?\n Maximum number =  2000\n";
const std::string kAskGrid = "\n Regular grid: \n number of rows and columns of points (two integers)\n";
const std::string kExcessive =
    " These dimensions yield an excessive number of points.\n"
    " Use a smaller grid, or redimension and recompile\n"
    " the program.\n";
const std::string kAskSave = "\n Save the file of X-Y coordinates?\n (0) No, (1) Yes\n";
const std::string kAskFile = "\n File containing the coordinates?\n";
const std::string kAskMethod =
    "\n Do you want to construct\n"
    " (1) a file of PCNM spatial variables?\n"
    " (2) a file containing a polynomial of the coordinates?\n";
const std::string kRanging = "\n The coordinates were ranged and centred before computing the spatial variables.\n";
const std::string kAskOrder = "\n Order of the polynomial? 2 to 5\n";
const std::string kAskLimit =
    "\n Truncation of the distance matrix --\n\n"
    " Highest unmodified value in distance matrix?\n"
    " Type an integer or a real number, ex. 1 or 65.22.\n"
    " Use the SAME measurement units as the site coordinates.\n";

// ---- run report

const std::string kTransectRecord = "  Unidimensional transect with equidistant points\n";
const std::string kGrid43Record = " Regular grid containing\n      4 horizontal points\n      3 vertical points\n\n";
const std::string kPcnmHeading = "\n Matrix of PCNM spatial variables\n";

// Name, then n, p and nsup as the report's I6 fields show them.
std::string input_group(const std::string& name30, const std::string& n6, const std::string& p6,
                        const std::string& nsup6) {
  return "\n Input file: " + name30 + "\n" + n6 + " objects\n" + p6 + " coordinates\n" + nsup6 +
         " supplementary objects\n\n";
}

// ---- standard error

std::string diagnostic(const std::string& context, const std::string& reason, const std::string& state) {
  return context + ": " + reason + "\napparent state: " + state +
         "\nlast format: list io\nlately reading sequential formatted external IO\n";
}
const std::string kKeyboardEnd = diagnostic("list in", "end of file", "unit 5 (unnamed)");
const std::string kKeyboardReadStart = diagnostic("read start", "end of file", "unit 5 (unnamed)");
std::string keyboard(const std::string& context, const std::string& reason) {
  return diagnostic(context, reason, "unit 5 (unnamed)");
}

// A point of the dialogue: the answers that reach it, the screen so far,
// and the files as they stand while the next question waits.
struct Point {
  std::string in;
  std::string out;
  Files files;
};

Point then(Point p, const std::string& answer, const std::string& screen, const std::string& report = "") {
  p.in += answer;
  p.out += screen;
  p.files["rep.txt"] += report;
  return p;
}

const Point kAtLayout{
    "rep.txt\nvar.txt\n", kStart + kAskVariable + kAskLayout, {{"rep.txt", kBanner}, {"var.txt", ""}}};
const Point kAtDesign = then(kAtLayout, "1\n", kAskDesign);
const Point kAtObjects = then(kAtDesign, "1\n", kAskObjects);
const Point kAtGrid = then(kAtDesign, "2\n", kAskGrid);
const Point kAtSave = then(kAtGrid, "4 3\n", kAskSave, kGrid43Record);
const Point kAtFile = then(kAtDesign, "3\n", kAskFile);
const Point kAtMethod = then(kAtObjects, "5\n", kAskMethod, kTransectRecord);
const Point kAtOrder = then(kAtMethod, "2\n", kRanging + kAskOrder, kRanging);
const Point kAtLimit = then(kAtMethod, "1\n", kRanging + kAskLimit, kRanging + kPcnmHeading);

struct Expect {
  const char* what;
  std::string in;
  std::string out;
  std::string err;
  std::string status;
  Files files;        // every file left in the folder, inputs included
  Files inputs = {};  // placed in the folder before the run
};

void check(const Expect& e) {
  SCOPED_TRACE(e.what);
  RunOptions options;
  options.input_files = e.inputs;
  RunResult r = run_fresh(e.in, options);
  EXPECT_EQ(e.out, r.stdout_text);
  EXPECT_EQ(e.err, r.stderr_text);
  EXPECT_EQ(e.status, r.status);
  EXPECT_EQ(e.files, r.files);
}

Expect aborts(const char* what, const std::string& in, const std::string& out, const std::string& err,
              const Files& files, const Files& inputs = {}) {
  return {what, in, out, err, "exit 134", files, inputs};
}

// The run fails at `p` with `err` after the extra answer `answer`.
Expect fails_at(const char* what, const Point& p, const std::string& answer, const std::string& err) {
  return {what, p.in + answer, p.out, err, "exit 134", p.files};
}

TEST(EndOfInput, AtEveryQuestionEndsWithTheKeyboardDiagnostic) {
  const Point at_report{"", kStart, {}};
  const Point at_variable{"rep.txt\n", kStart + kAskVariable, {{"rep.txt", kBanner}}};
  for (const Expect& e : {
           fails_at("report name", at_report, "", kKeyboardEnd),
           fails_at("variable-file name", at_variable, "", kKeyboardEnd),
           fails_at("layout", kAtLayout, "", kKeyboardEnd),
           fails_at("design", kAtDesign, "", kKeyboardEnd),
           fails_at("number of objects", kAtObjects, "", kKeyboardEnd),
           fails_at("grid size", kAtGrid, "", kKeyboardEnd),
           fails_at("grid size, rows given, columns missing", kAtGrid, "4\n", kKeyboardEnd),
           fails_at("save question", kAtSave, "", kKeyboardEnd),
           fails_at("coordinate file name", kAtFile, "", kKeyboardEnd),
           fails_at("method", kAtMethod, "", kKeyboardEnd),
           fails_at("order", kAtOrder, "", kKeyboardEnd),
           fails_at("truncation limit", kAtLimit, "", kKeyboardEnd),
           fails_at("truncation limit, empty lines passed over", kAtLimit, "\n\n \n", kKeyboardEnd),
       }) {
    check(e);
  }
}

TEST(EndOfInput, AnAnswerWithoutLineFeedLeavesTheNextQuestionNothingToRead) {
  // The read that meets the end still completes; the next one fails at
  // its start, and differently from a read that finds the input empty.
  check({"report name", "rep.txt", kStart + kAskVariable, kKeyboardReadStart, "exit 134", {{"rep.txt", kBanner}}});
  check(fails_at("layout", then(kAtLayout, "", kAskDesign), "1", kKeyboardReadStart));
  check(fails_at("number of objects", then(kAtObjects, "", kAskMethod, kTransectRecord), "5", kKeyboardReadStart));
}

TEST(BadAnswers, EndTheRunWithTheReasonForTheirFirstBadCharacter) {
  const std::string number = "invalid number";
  const std::string incomprehensible = "incomprehensible list input";
  for (const Expect& e : {
           fails_at("word as layout", kAtLayout, "abc\n", keyboard(number, incomprehensible)),
           fails_at("layout beyond 32 bits", kAtLayout, "99999999999\n",
                    keyboard("invalid integer", "integer out of range")),
           fails_at("repeat count without count", kAtDesign, "*3\n",
                    keyboard("bad repetition count", incomprehensible)),
           fails_at("number of objects beyond 32 bits", kAtObjects, "2147483648\n",
                    keyboard("invalid integer", "integer out of range")),
           fails_at("decimal number of objects", kAtObjects, "2.5\n",
                    keyboard("invalid integer", "read unexpected character")),
           fails_at("exponent in the column count", kAtGrid, "4 3e1\n",
                    keyboard("invalid integer", "read unexpected character")),
           fails_at("word at the save question", kAtSave, "yes\n", keyboard(number, incomprehensible)),
           fails_at("1.0 as method", kAtMethod, "1.0\n", keyboard("invalid integer", "read unexpected character")),
           fails_at("2.5 as order", kAtOrder, "2.5\n", keyboard("invalid integer", "read unexpected character")),
           fails_at("word as order", kAtOrder, "two\n", keyboard(number, incomprehensible)),
           fails_at("word as limit", kAtLimit, "abc\n", keyboard(number, incomprehensible)),
           fails_at("lone point as limit", kAtLimit, ".\n", keyboard(number, incomprehensible)),
           fails_at("exponent without digits", kAtLimit, "1.5e\n", keyboard("exponent field", incomprehensible)),
       }) {
    check(e);
  }
}

TEST(Answers, NullsRepeatsAndTrailingJunkFollowTheReadingRules) {
  // A null keeps the starting 0, a repeat count fills both grid sizes, and
  // a value ends at the first character that cannot continue it.
  for (const Expect& e : {
           fails_at("null number of objects is 0", then(kAtObjects, "/\n", kJoking + kAskObjects), "", kKeyboardEnd),
           fails_at(
               "null order is 0",
               then(kAtOrder, ",\n", " You don't want to compute a polynomial of order 0\n Try again...\n" + kAskOrder),
               "", kKeyboardEnd),
           fails_at("negative order",
                    then(kAtOrder, "-3\n",
                         " You don't want to compute a polynomial of order -3\n Try again...\n" + kAskOrder),
                    "", kKeyboardEnd),
           fails_at("order 6",
                    then(kAtOrder, "6\n",
                         " The highest polynomial order in this program is 5.\n Try again...\n" + kAskOrder),
                    "", kKeyboardEnd),
           fails_at("2*700 is 700 by 700", then(kAtGrid, "2*700\n", kExcessive + kAskGrid), "", kKeyboardEnd),
           fails_at("65536 by 65536 is 2^32 points, not 0", then(kAtGrid, "65536 65536\n", kExcessive + kAskGrid), "",
                    kKeyboardEnd),
           fails_at("a negative grid size is asked again silently", then(kAtGrid, "-1 5\n", kAskGrid), "",
                    kKeyboardEnd),
           fails_at("12abc is layout 12", then(kAtLayout, "12abc\n", kAskLayout), "", kKeyboardEnd),
           fails_at("design 3,junk asks for a file", then(kAtDesign, "3,junk\n", kAskFile), "", kKeyboardEnd),
       }) {
    check(e);
  }
}

TEST(Designs, EveryAnswerButOneAndThreeIsTheGrid) {
  for (const char* answer : {"2\n", "0\n", "7\n", "-1\n", "2147483647\n"}) {
    check(fails_at(answer, then(kAtDesign, answer, kAskGrid), "", kKeyboardEnd));
  }
}

TEST(OutputFiles, AreCreatedNewOrTheRunEndsAtTheirOpen) {
  const std::string exists = "'new' file exists";
  const std::string null_name = "null file name";
  const Files banner_only{{"rep.txt", kBanner}};
  for (const Expect& e : {
           aborts("existing report file", "rep.txt\nvar.txt\n", kStart,
                  diagnostic("open", exists, "unit 7 named rep.txt"), {{"rep.txt", "kept\n"}}, {{"rep.txt", "kept\n"}}),
           aborts("existing variable file", "rep.txt\nvar.txt\n", kStart + kAskVariable,
                  diagnostic("open", exists, "unit 12 named var.txt"), {{"rep.txt", kBanner}, {"var.txt", "kept\n"}},
                  {{"var.txt", "kept\n"}}),
           aborts("one name for both", "same.txt\nsame.txt\n", kStart + kAskVariable,
                  diagnostic("open", exists, "unit 12 named same.txt"), {{"same.txt", kBanner}}),
           aborts("unquoted names are cut before a slash", "out/rep.txt\nvar/x.txt\n",
                  kStart + kAskVariable + kAskLayout, kKeyboardEnd, {{"out", kBanner}, {"var", ""}}),
           aborts("quoted name keeps its blank", "'my rep.txt'\n\"var.txt\"junk\n", kStart + kAskVariable + kAskLayout,
                  kKeyboardEnd, {{"my rep.txt", kBanner}, {"var.txt", ""}}),
           aborts("quoted path into a missing folder", "'nodir/rep.txt'\n", kStart,
                  diagnostic("open", "No such file or directory", "unit 7 named nodir/rep.txt"), {}),
           aborts("null report name", ",\n", kStart, diagnostic("open", null_name, "unit 7 named "), {}),
           aborts("empty quoted report name", "''\n", kStart, diagnostic("open", null_name, "unit 7 named "), {}),
           aborts("a leading slash ends the read", "/tmp/rep.txt\n", kStart,
                  diagnostic("open", null_name, "unit 7 named "), {}),
           aborts("null variable-file name", "rep.txt\n,\n", kStart + kAskVariable,
                  diagnostic("open", null_name, "unit 12 named "), banner_only),
           fails_at("null coordinate-file name", kAtFile, ",\n", diagnostic("open", null_name, "unit 2 named ")),
           fails_at("missing coordinate file", kAtFile, "missing.txt\n",
                    diagnostic("open", "No such file or directory", "unit 2 named missing.txt")),
       }) {
    check(e);
  }
}

TEST(OutputFiles, FolderNames) {
  // A folder is an existing name for a new file, a place for a quoted
  // path, and no coordinate file.
  struct Row {
    const char* what;
    std::string in;
    std::string out;
    std::string err;
    std::string sub_file;  // what sub/rep.txt must hold afterwards, if anything
  };
  for (const Row& row : {
           Row{"folder as report name", "sub\nvar.txt\n", kStart,
               diagnostic("open", "'new' file exists", "unit 7 named sub"), ""},
           Row{"folder as variable-file name", "rep.txt\nsub\n", kStart + kAskVariable,
               diagnostic("open", "'new' file exists", "unit 12 named sub"), ""},
           Row{"quoted path into a folder", "'sub/rep.txt'\nvar.txt\n", kStart + kAskVariable + kAskLayout,
               kKeyboardEnd, kBanner},
           Row{"folder as coordinate file", kAtFile.in + "sub\n", kAtFile.out,
               diagnostic("open", "Is a directory", "unit 2 named sub"), ""},
       }) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    ASSERT_EQ(0, mkdir((dir.path() + "/sub").c_str(), 0755));
    RunResult r = run_in(dir.path(), row.in);
    EXPECT_EQ(row.out, r.stdout_text);
    EXPECT_EQ(row.err, r.stderr_text);
    EXPECT_EQ("exit 134", r.status);
    struct stat st {};
    if (row.sub_file.empty()) {
      EXPECT_NE(0, stat((dir.path() + "/sub/rep.txt").c_str(), &st));
    } else {
      EXPECT_EQ(row.sub_file, read_file(dir.path() + "/sub/rep.txt"));
    }
  }
}

// A run reaching the coordinate file `text` named sites.txt.
Expect with_file(const char* what, const std::string& text, const std::string& more_answers,
                 const std::string& more_screen, const std::string& report, const std::string& err,
                 const std::string& status) {
  Files files = kAtFile.files;
  files["rep.txt"] += report;
  files["sites.txt"] = text;
  return {what,
          kAtFile.in + "sites.txt\n" + more_answers,
          kAtFile.out + more_screen,
          err,
          status,
          files,
          {{"sites.txt", text}}};
}

const std::string kSitesLine = " Input file of coordinates: sites.txt                     \n";
const std::string kSitesName30 = "sites.txt                     ";

TEST(CoordinateFile, HeaderRefusalsStopNormallyAfterTheInputRecord) {
  const std::string invalid =
      " Invalid header: at least 1 object and 1 coordinate,\n"
      " and no negative number of supplementary objects.\n";
  const std::string too_many_points = " Too many points (sites). Redimension the program.\n";
  const std::string too_many_coordinates = " Too many coordinates per site. Redimension the program.\n";
  auto refused = [&](const char* what, const std::string& header, const std::string& message, const std::string& n6,
                     const std::string& p6, const std::string& nsup6) {
    return with_file(what, header, "2\n", kSitesLine + message, input_group(kSitesName30, n6, p6, nsup6), "", "exit 0");
  };
  for (const Expect& e : {
           refused("no object", "0 2 0\n", invalid, "     0", "     2", "     0"),
           refused("no coordinate", "3 0 0\n1\n2\n3\n", invalid, "     3", "     0", "     0"),
           refused("negative supplementary count", "3 1 -1\n1\n2\n3\n", invalid, "     3", "     1", "    -1"),
           refused("negative count before a large p", "-2 3000 0\n", invalid, "    -2", "  3000", "     0"),
           refused("2001 coordinates", "1 2001 0\n", too_many_coordinates, "     1", "  2001", "     0"),
           refused("n + nsup past 32 bits", "2147483647 1 1\n", too_many_points, "******", "     1", "     1"),
       }) {
    check(e);
  }
}

TEST(CoordinateFile, FiveSitesInTwoCoordinatesReachTheTruncationQuestion) {
  check(with_file("5 2 0", "5 2 0\n0 0\n1 0\n2 1\n0 2\n3 3\n", "1\n", kSitesLine + kAskMethod + kRanging + kAskLimit,
                  "\n Input file: sites.txt                     \n"
                  "     5 objects\n"
                  "     2 coordinates\n"
                  "     0 supplementary objects\n\n" +
                      kRanging + kPcnmHeading,
                  kKeyboardEnd, "exit 134"));
}

TEST(CoordinateFile, RefusalsAfterTheMethodQuestion) {
  const std::string three = "4 3 0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n";
  const std::string no_polynomial =
      "\n This program can only construct a polynomial for\n"
      " transects or surfaces, not for 3 geographic dimensions\n";
  const std::string group3 = input_group(kSitesName30, "     4", "     3", "     0");
  for (const Expect& e : {
           with_file("polynomial of 3 coordinates, method 2", three, "2\n", kSitesLine + kAskMethod + no_polynomial,
                     group3, "", "exit 0"),
           with_file("polynomial of 3 coordinates, method 5", three, "5\n", kSitesLine + kAskMethod + no_polynomial,
                     group3, "", "exit 0"),
           with_file("PCNM with a supplementary object and one object", "1 2 1\n0 0\n1 1\n", "1\n",
                     kSitesLine + kAskMethod +
                         "\n PCNM variables with supplementary objects need at least\n"
                         " two objects in the analysis.\n",
                     input_group(kSitesName30, "     1", "     2", "     1"), "", "exit 0"),
       }) {
    check(e);
  }

  // The coordinate echo comes before the method question: twelve
  // coordinates per site fold as ten and two under (1X,10F10.5).
  const std::string twelve = "2 12 0\n1 2 3 4 5 6 7 8 9 10 11 12\n-1 -2 -3 -4 -5 -6 -7 -8 -9 -10 -11 -12.5\n";
  Point verbose = then(then(kAtLayout, "-1\n", kAskDesign), "3\nsites.txt\n2\n",
                       kAskFile + kSitesLine + kAskMethod +
                           "\n This program can only construct a polynomial for\n"
                           " transects or surfaces, not for 12 geographic dimensions\n",
                       input_group(kSitesName30, "     2", "    12", "     0") +
                           "\n Matrice X\n\n"
                           "    1.00000   2.00000   3.00000   4.00000   5.00000"
                           "   6.00000   7.00000   8.00000   9.00000  10.00000\n"
                           "   11.00000  12.00000\n"
                           "   -1.00000  -2.00000  -3.00000  -4.00000  -5.00000"
                           "  -6.00000  -7.00000  -8.00000  -9.00000 -10.00000\n"
                           "  -11.00000 -12.50000\n"
                           "\n");
  verbose.files["sites.txt"] = twelve;
  check({"twelve coordinates echoed, then refused",
         verbose.in,
         verbose.out,
         "",
         "exit 0",
         verbose.files,
         {{"sites.txt", twelve}}});
}

TEST(CoordinateFile, ReadFailuresNameUnit2AndTheFile) {
  const std::string unit2 = "unit 2 named sites.txt";
  const std::string group310 = input_group(kSitesName30, "     3", "     1", "     0");
  for (const Expect& e : {
           with_file("empty file", "", "", "", "", diagnostic("list in", "end of file", unit2), "exit 134"),
           with_file("header cut short", "3 1\n", "", "", "", diagnostic("list in", "end of file", unit2), "exit 134"),
           with_file("decimal point in the header", "2.5 1 0\n1\n2\n", "", "", "",
                     diagnostic("invalid integer", "read unexpected character", unit2), "exit 134"),
           with_file("header beyond 32 bits", "99999999999 1 0\n1\n", "", "", "",
                     diagnostic("invalid integer", "integer out of range", unit2), "exit 134"),
           with_file("header without line feed and no site", "3 1 0", "", kSitesLine, group310,
                     diagnostic("read start", "end of file", unit2), "exit 134"),
           with_file("one site missing", "3 1 0\n1\n2\n", "", kSitesLine, group310,
                     diagnostic("list in", "end of file", unit2), "exit 134"),
           with_file("a word for a coordinate", "3 1 0\n1\nx\n3\n", "", kSitesLine, group310,
                     diagnostic("invalid number", "incomprehensible list input", unit2), "exit 134"),
           with_file("carriage return inside a record", "2 2 0\r\n1\r\n2\r\n3 4\r\n", "", kSitesLine,
                     input_group(kSitesName30, "     2", "     2", "     0"),
                     diagnostic("invalid number", "incomprehensible list input", unit2), "exit 134"),
       }) {
    check(e);
  }
}

}  // namespace
}  // namespace ortelix::e2e
