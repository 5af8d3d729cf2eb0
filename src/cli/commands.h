// What each tool is asked to do, read from its command line into a plain
// struct; all checks of the command line as such happen here, before any
// file is read.
#pragma once

#include <string>
#include <vector>

#include "base/expected.h"
#include "base/index.h"
#include "large/pcnm_run.h"
#include "output/variable_writer.h"
#include "sites/sites.h"

namespace ortelix::cli {

// Where the sites come from: a file ("-" for standard input), or a design
// that the dialogue program generates.
struct SiteSource {
  enum class Kind { kNone, kFile, kTransect, kGrid, kPairs } kind = Kind::kNone;
  std::string path;
  Index first = 0, second = 0;  // N, or ROWS and COLS
};

// The sites of a source: read, or generated. Errors name the file and line.
// With `longlat`, the positions are longitudes and latitudes.
Expected<sites::Sites> load_sites(const SiteSource& source, Index capacity, bool longlat = false);

struct ThresholdCommand {
  bool help = false, version = false;
  bool quiet = false;
  SiteSource sites;
};

struct MapCommand {
  bool help = false, version = false;
  std::string variables;  // VARFILE
  SiteSource sites;
  std::string out;
  std::vector<Index> vars;  // 1-based, in the order given; empty: the first 8
  std::string kind;         // "pcnm", "mono", "plain", or empty: from the file
};

struct PcnmCommand {
  bool help = false, version = false;
  bool quiet = false;
  SiteSource sites;       // kPairs: --distances
  bool longlat = false;   // longitudes and latitudes, distances in km
  large::RunOptions run;  // limits in the order given
  output::Layout layout = output::Layout::kCsv;
  std::string out, report;
  std::string predict, predicted;  // new sites and their values
};

// Fail with the message of a usage error (exit status 2).
Expected<ThresholdCommand> parse_threshold_command(const std::vector<std::string>& args);
Expected<MapCommand> parse_map_command(const std::vector<std::string>& args);
Expected<PcnmCommand> parse_pcnm_command(const std::vector<std::string>& args);

}  // namespace ortelix::cli
