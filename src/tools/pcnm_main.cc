// ortelix-pcnm: PCNM variables of large site sets, from the command line.
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "large/output_file.h"
#include "large/pcnm_report.h"
#include "large/pcnm_run.h"
#include "large/progress.h"
#include "large/variable_writer.h"
#include "tools/command_line.h"
#include "tools/sites.h"

using namespace ortelix;
using namespace ortelix::tools;

namespace {

// Sites read at most: the coordinates and the pairs of more would not fit
// a machine's memory anyway.
constexpr long kMaxLargeSites = 50'000'000;

const char kUsage[] =
    "usage: ortelix-pcnm SITES --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --transect N --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --grid ROWS COLS --limit L|mst -o VARFILE [options]\n";

const char kHelp[] =
    "\n"
    "Builds the PCNM variables of a set of sites as ortelix does (the same\n"
    "ranging, truncation, scaling and count of positive eigenvalues) without\n"
    "its dialogue and beyond its 2000 sites: every PCNM variable for up to\n"
    "10000 sites, or the K leading ones (--count K) for millions.\n"
    "\n"
    "SITES is a coordinate file as ortelix reads it (header n p nsup, then one\n"
    "record per site); supplementary sites take part in the computation but\n"
    "are not written, and the variables are then standardized over the sites\n"
    "of the analysis, as in ortelix. --transect and --grid stand for the\n"
    "positions that ortelix generates (spacing 1, X running fastest).\n"
    "\n"
    "  --limit L          the truncation limit, in the units of the coordinates:\n"
    "                     distances above it become 4 L; 'mst' takes the longest\n"
    "                     edge of a minimum spanning tree of the sites\n"
    "  --count K          the K leading variables only (the largest eigenvalues)\n"
    "  --positive-moran   write only the variables whose Moran's I exceeds its\n"
    "                     expectation -1/(n-1) (positive spatial correlation)\n"
    "  --format F         csv (the default: a header line 'site,PCNM1,...' and a\n"
    "                     row per site, every digit kept), or ortelix's layouts\n"
    "                     1 (a line per site), 2 (folded) and 3 (Canoco FREE)\n"
    "  -o VARFILE         the variables (replaced if it exists)\n"
    "  --report REPORT    the run report: the choices made, every eigenvalue\n"
    "                     computed with its Moran's I (replaced if it exists)\n"
    "  --solver S         auto (the default), dense or krylov\n"
    "  -q, --quiet        no summary on standard output\n"
    "  -h, --help         print this help\n"
    "      --version      print the version\n"
    "\n"
    "Signs: each variable is turned so that it is positive at the first site of\n"
    "the analysis where its magnitude is largest (within a millionth, so that\n"
    "rounding does not decide between symmetric sites).\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or unsuitable data or a file that cannot\n"
    "be written (nothing is left under VARFILE or REPORT then), 2 wrong command\n"
    "line.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "ortelix-pcnm: %s\n%sTry 'ortelix-pcnm --help'.\n", message.c_str(), kUsage);
  return kExitUsage;
}

int data_error(large::Progress& progress, const std::string& message) {
  progress.clear();
  std::fprintf(stderr, "ortelix-pcnm: %s\n", message.c_str());
  return kExitBadData;
}

bool parse_limit(const std::string& text, double& value) {
  if (text.empty() || text.find_first_of(" \t\n") != std::string::npos) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(value) && value > 0;
}

int run(int argc, char** argv) {
  large::RunOptions options;
  std::string file, design, out_path, report_path, limit_text;
  large::VariableFormat format = large::VariableFormat::kCsv;
  bool quiet = false, have_sites = false;
  Sites sites;
  for (int i = 1; i < argc;) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s%s", kUsage, kHelp);
      return kExitOk;
    }
    if (arg == "--version") {
      std::printf("ortelix-pcnm %s\n", ORTELIX_VERSION);
      return kExitOk;
    }
    if (arg == "-q" || arg == "--quiet" || arg == "--positive-moran") {
      (arg == "--positive-moran" ? options.positive_moran : quiet) = true;
      ++i;
      continue;
    }
    if (arg == "--transect" || arg == "--grid") {
      if (have_sites || !file.empty()) return usage_error("give one source of sites: SITES, --transect or --grid");
      const int start = i;
      std::string err = parse_design(argc, argv, i, sites, kMaxLargeSites);
      if (!err.empty()) return usage_error(err);
      for (int k = start; k < i; ++k) design += (k > start ? " " : "") + std::string(argv[k]);
      have_sites = true;
      continue;
    }
    if (arg == "--limit" || arg == "--count" || arg == "--format" || arg == "-o" || arg == "--report" ||
        arg == "--solver") {
      if (i + 1 >= argc) return usage_error(arg + " needs a value");
      const std::string value = argv[i + 1];
      if (arg == "--limit") {
        limit_text = value;
        options.limit_mst = value == "mst";
        if (!options.limit_mst && !parse_limit(value, options.limit)) {
          return usage_error("--limit: '" + value + "' is neither a positive number nor 'mst'");
        }
      } else if (arg == "--count") {
        long k = 0;
        if (!parse_count(value, kMaxLargeSites, k)) return usage_error("--count: '" + value + "' is not a whole number from 1");
        options.count = static_cast<int>(k);
      } else if (arg == "--format") {
        if (value == "csv") format = large::VariableFormat::kCsv;
        else if (value == "1") format = large::VariableFormat::kOneLine;
        else if (value == "2") format = large::VariableFormat::kFolded;
        else if (value == "3") format = large::VariableFormat::kCanoco;
        else return usage_error("--format: csv, 1, 2 or 3, not '" + value + "'");
      } else if (arg == "--solver") {
        if (value == "auto") options.solver = large::Solver::kAuto;
        else if (value == "dense") options.solver = large::Solver::kDense;
        else if (value == "krylov") options.solver = large::Solver::kKrylov;
        else return usage_error("--solver: auto, dense or krylov, not '" + value + "'");
      } else {
        (arg == "-o" ? out_path : report_path) = value;
      }
      i += 2;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option '" + arg + "'");
    if (have_sites || !file.empty()) return usage_error("give one source of sites: SITES, --transect or --grid");
    file = arg;
    ++i;
  }
  if (!have_sites && file.empty()) return usage_error("no sites: give SITES, --transect N or --grid ROWS COLS");
  if (limit_text.empty()) return usage_error("no truncation limit: --limit L or --limit mst");
  if (out_path.empty()) return usage_error("no output: -o VARFILE");
  if (out_path == report_path) return usage_error("-o and --report name the same file");

  large::Progress progress(isatty(STDERR_FILENO) == 1);
  if (!file.empty()) {
    progress.stage("reading " + file);
    if (auto err = read_coordinate_file_capped(file, sites, kMaxLargeSites)) return data_error(progress, *err);
  }
  if (const std::string problem = large::solver_problem(options, sites.total()); !problem.empty()) {
    progress.clear();
    return usage_error(problem);
  }

  // The files are created first, so that a folder that cannot take them is
  // known before the work, not after.
  large::remove_temporaries_on_signals();
  large::OutputFile variables, report;
  if (std::string err = variables.open(out_path); !err.empty()) return data_error(progress, err);
  if (!report_path.empty()) {
    if (std::string err = report.open(report_path); !err.empty()) return data_error(progress, err);
  }

  large::RunResult result;
  if (auto err = large::run_pcnm(sites, options, result, &progress)) {
    return data_error(progress, (file.empty() ? design : file) + ": " + *err);
  }

  progress.stage("writing " + out_path);
  large::write_variables(variables, format, result.n, result.values.data(), result.ld, result.written_axes);
  if (!report_path.empty()) {
    large::ReportContext context{ORTELIX_VERSION, file.empty() ? design : file, options.limit_mst, out_path};
    large::write_report(report, context, result);
  }
  if (std::string err = variables.commit(); !err.empty()) return data_error(progress, err);
  if (!report_path.empty()) {
    if (std::string err = report.commit(); !err.empty()) return data_error(progress, err);
  }
  progress.clear();

  if (!quiet) {
    std::string count = std::to_string(result.n + result.nsup);
    if (result.nsup > 0) count += " (" + std::to_string(result.n) + " + " + std::to_string(result.nsup) + " supplementary)";
    std::printf("Sites:             %s\n", count.c_str());
    std::printf("Truncation limit:  %s%s\n", exact_number(result.limit).c_str(),
                options.limit_mst ? " (longest edge of a minimum spanning tree)" : "");
    std::printf("Pairs kept:        %llu\n", static_cast<unsigned long long>(result.near_pairs));
    std::printf("PCNM variables:    %zu written to %s\n", result.written_axes.size(), out_path.c_str());
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit then shows as a failed write, not a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "ortelix-pcnm: out of memory\n");
    return kExitBadData;
  }
}
