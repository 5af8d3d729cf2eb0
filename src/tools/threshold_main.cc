// ortelix-threshold: the truncation limit to start a PCNM run from.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/program.h"
#include "sites/distance_summary.h"
#include "textio/exact_number.h"

using namespace ortelix;

namespace {

const char kHelp[] =
    "usage: ortelix-threshold [-q] FILE\n"
    "       ortelix-threshold [-q] --transect N\n"
    "       ortelix-threshold [-q] --grid ROWS COLS\n"
    "\n"
    "Prints the longest edge of the minimum spanning tree of the sites: the\n"
    "smallest truncation limit that keeps every site linked to the others\n"
    "through unmodified distances, the usual answer to ortelix's question\n"
    "\"Highest unmodified value in distance matrix?\". Also prints the number of\n"
    "sites and the smallest and largest distance between two sites.\n"
    "\n"
    "FILE is a coordinate file as ortelix reads it (header n p nsup, then one\n"
    "record per site, same free-format rules) or a list of X Y positions, two\n"
    "values a line; '-' reads standard input. Supplementary sites count, since\n"
    "ortelix computes its distances over all sites. At most 2000 sites, as in\n"
    "ortelix (ortelix-pcnm --limit mst finds the limit of larger sets).\n"
    "--transect and --grid stand for the positions that ortelix generates: 1..N\n"
    "along a line, or ROWS X positions by COLS Y positions, spacing 1.\n"
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
    "Exit status: 0 done, 1 unreadable file or sites without a limit (a single\n"
    "site, sites all at one position, distances beyond the largest double),\n"
    "2 wrong command line.\n";

int run(const cli::Program& program, const std::vector<std::string>& args) {
  const auto parsed = cli::parse_threshold_command(args);
  if (const auto done = program.answer(parsed, kHelp)) return *done;
  const cli::ThresholdCommand& c = *parsed;

  auto sites = cli::load_sites(c.sites, sites::kDialogueCapacity);
  if (!sites.ok()) return program.data_error(sites.error());
  if (sites->total() < 2) return program.data_error(sites->name + ": a single site has no distances to truncate");

  const sites::DistanceSummary s = sites::summarize_distances(*sites);
  if (!std::isfinite(s.largest)) {
    return program.data_error(sites->name +
                              ": the distances between the sites pass the largest double: no limit can be computed");
  }
  if (s.largest == 0) {
    return program.data_error(sites->name +
                              ": all the sites have the same coordinates: no spatial variables can be built");
  }
  const std::string limit = textio::exact_number(s.longest_tree_edge);
  if (c.quiet) {
    std::printf("%s\n", limit.c_str());
    return program.done();
  }
  std::string count = std::to_string(sites->total());
  if (sites->nsup > 0) count += " (" + std::to_string(sites->n) + " + " + std::to_string(sites->nsup) + " supplementary)";
  std::printf("Sites:                                      %s\n", count.c_str());
  std::printf("Longest edge of the minimum spanning tree:  %s\n", limit.c_str());
  std::printf("Smallest distance between two sites:        %s\n", textio::exact_number(s.smallest).c_str());
  std::printf("Largest distance between two sites:         %s\n", textio::exact_number(s.largest).c_str());
  std::printf("\nAnswer \"Highest unmodified value in distance matrix?\" with %s\n", limit.c_str());
  std::printf("to keep every site linked to the others through unmodified distances.\n");
  return program.done();
}

}  // namespace

int main(int argc, char** argv) { return cli::Program("ortelix-threshold").run(argc, argv, run); }
