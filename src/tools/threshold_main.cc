// ortelix-threshold: the truncation limit to start a PCNM run from.
#include <cstdio>
#include <string>

#include "tools/command_line.h"
#include "tools/sites.h"
#include "tools/spanning_tree.h"

using namespace ortelix::tools;

namespace {

const char kUsage[] =
    "usage: ortelix-threshold [-q] FILE\n"
    "       ortelix-threshold [-q] --transect N\n"
    "       ortelix-threshold [-q] --grid ROWS COLS\n";

const char kHelp[] =
    "\n"
    "Prints the longest edge of the minimum spanning tree of the sites: the\n"
    "smallest truncation limit that keeps every site linked to the others\n"
    "through unmodified distances, the usual answer to ortelix's question\n"
    "\"Highest unmodified value in distance matrix?\". Also prints the number of\n"
    "sites and the smallest and largest distance between two sites.\n"
    "\n"
    "FILE is a coordinate file as ortelix reads it (header n p nsup, then one\n"
    "record per site, same free-format rules); supplementary sites count, since\n"
    "ortelix computes its distances over all sites. --transect and --grid stand\n"
    "for the positions that ortelix generates: 1..N along a line, or ROWS X\n"
    "positions by COLS Y positions, spacing 1.\n"
    "\n"
    "Distances are in the units of the coordinates, computed as ortelix does\n"
    "(squared differences summed coordinate by coordinate, then the square\n"
    "root). The limit is printed with at least 9 significant digits, and with\n"
    "as many more as it takes to read back as exactly the same number. Typed as\n"
    "the answer, it keeps every edge of the tree: ortelix ranges the\n"
    "coordinates and keeps a distance when it is at most limit/rangmax + 1e-10\n"
    "(rangmax being its ranging divisor), a margin far above the rounding of\n"
    "the ranging.\n"
    "\n"
    "  -q, --quiet   print the limit alone\n"
    "  -h, --help    print this help\n"
    "      --version print the version\n"
    "\n"
    "Exit status: 0 done, 1 unreadable file or data without a limit (a single\n"
    "site), 2 wrong command line.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "ortelix-threshold: %s\n%sTry 'ortelix-threshold --help'.\n", message.c_str(), kUsage);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  bool quiet = false;
  std::string file;
  std::string design;  // "--grid 3 2": names the sites in messages
  Sites sites;
  bool have_sites = false;
  for (int i = 1; i < argc;) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s%s", kUsage, kHelp);
      return kExitOk;
    }
    if (arg == "--version") {
      std::printf("ortelix-threshold %s\n", ORTELIX_VERSION);
      return kExitOk;
    }
    if (arg == "-q" || arg == "--quiet") {
      quiet = true;
      ++i;
      continue;
    }
    if (have_sites || !file.empty()) return usage_error("give one source of sites: FILE, --transect or --grid");
    if (arg == "--transect" || arg == "--grid") {
      const int start = i;
      std::string err = parse_design(argc, argv, i, sites);
      if (!err.empty()) return usage_error(err);
      for (int k = start; k < i; ++k) design += (k > start ? " " : "") + std::string(argv[k]);
      have_sites = true;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option '" + arg + "'");
    file = arg;
    ++i;
  }
  if (!have_sites && file.empty()) return usage_error("no sites: give FILE, --transect N or --grid ROWS COLS");
  if (!file.empty()) {
    if (auto err = read_coordinate_file(file, sites)) {
      std::fprintf(stderr, "ortelix-threshold: %s\n", err->c_str());
      return kExitBadData;
    }
  }
  if (sites.total() < 2) {
    std::fprintf(stderr, "ortelix-threshold: %s: a single site has no distances to truncate\n",
                 file.empty() ? design.c_str() : file.c_str());
    return kExitBadData;
  }

  const DistanceSummary s = summarize_distances(sites);
  const std::string limit = exact_number(s.longest_tree_edge);
  if (quiet) {
    std::printf("%s\n", limit.c_str());
    return kExitOk;
  }
  std::string count = std::to_string(sites.total());
  if (sites.nsup > 0) count += " (" + std::to_string(sites.n) + " + " + std::to_string(sites.nsup) + " supplementary)";
  std::printf("Sites:                                      %s\n", count.c_str());
  std::printf("Longest edge of the minimum spanning tree:  %s\n", limit.c_str());
  std::printf("Smallest distance between two sites:        %s\n", exact_number(s.smallest).c_str());
  std::printf("Largest distance between two sites:         %s\n", exact_number(s.largest).c_str());
  if (s.largest == 0) {
    std::printf("\nEvery site has the same position: ortelix builds no variables for them.\n");
  } else {
    std::printf("\nAnswer \"Highest unmodified value in distance matrix?\" with %s\n", limit.c_str());
    std::printf("to keep every site linked to the others through unmodified distances.\n");
  }
  return kExitOk;
}
