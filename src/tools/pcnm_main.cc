// ortelix-pcnm: PCNM variables of large site sets, from the command line.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/output_file.h"
#include "cli/program.h"
#include "cli/progress.h"
#include "large/pcnm_report.h"
#include "large/pcnm_run.h"
#include "output/variable_writer.h"
#include "sites/pair_files.h"
#include "sites/site_files.h"
#include "textio/exact_number.h"

using namespace ortelix;

namespace {

const char kHelp[] =
    "usage: ortelix-pcnm SITES --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --transect N --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --grid ROWS COLS --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --distances PAIRS --limit L|mst -o VARFILE [options]\n"
    "\n"
    "Builds the PCNM variables of a set of sites as ortelix does (the same\n"
    "ranging, truncation, scaling and count of positive eigenvalues) without\n"
    "its dialogue and beyond its 2000 sites: every PCNM variable for up to\n"
    "10000 sites, or the K leading ones (--count K) for millions.\n"
    "\n"
    "SITES is a coordinate file as ortelix reads it (header n p nsup, then one\n"
    "record per site) or a list of X Y positions, two values a line; '-' reads\n"
    "standard input. Supplementary sites take part in the computation but are\n"
    "not written, and the variables are then standardized over the sites of\n"
    "the analysis, as in ortelix. --transect N and --grid ROWS COLS stand for\n"
    "the positions that ortelix generates, spacing 1: ROWS is the number of\n"
    "X positions and COLS the number of Y positions, X running fastest (site 2\n"
    "is X = 2, Y = 1).\n"
    "\n"
    "  --limit L          the truncation limit, in the units of the sites:\n"
    "                     distances above it become 4 L; 'mst' takes the longest\n"
    "                     edge of a minimum spanning tree of the sites; several,\n"
    "                     such as mst,2.5,10, give the variables of each side by\n"
    "                     side (CSV columns L1_PCNM1, ..., L2_PCNM1, ...)\n"
    "  --count K          the K leading variables of each limit (the largest\n"
    "                     eigenvalues; more when K would cut equal eigenvalues)\n"
    "  --positive-moran   write only the variables whose Moran's I exceeds its\n"
    "                     expectation -1/(n-1) (positive spatial correlation)\n"
    "  --longlat          SITES are longitudes and latitudes in degrees;\n"
    "                     distances are great circles in km, the limit in km\n"
    "  --distances PAIRS  the sites' distances instead of positions: a line with\n"
    "                     the number of sites, then 'i j d' a line, every pair at\n"
    "                     most the limit apart (pairs not listed are farther)\n"
    "  --predict NEWSITES  values of the variables at new sites (a coordinate\n"
    "  --predicted NEWFILE  file or a list of positions), in NEWFILE\n"
    "  --format F         csv (the default: a header line 'site,PCNM1,...' and a\n"
    "                     row per site, every digit kept), or ortelix's layouts\n"
    "                     1 (a line per site), 2 (folded) and 3 (Canoco FREE)\n"
    "  -o, --output VARFILE  the variables; '-' writes them to standard output\n"
    "  --report REPORT    the run report: the choices made, every eigenvalue\n"
    "                     computed with its Moran's I\n"
    "  --solver S         auto (the default), dense or krylov\n"
    "  -q, --quiet        no summary on standard output (none either when an\n"
    "                     output goes there)\n"
    "  -h, --help         print this help\n"
    "      --version      print the version\n"
    "Options take their value as '--limit 2' or '--limit=2'; '--' ends them.\n"
    "\n"
    "Outputs appear only once the run is complete, all of them together, and\n"
    "replace what was there before; a symbolic link is followed, a device or a\n"
    "pipe is written into. Two outputs that are one file, or an output that is\n"
    "an input, are refused.\n"
    "\n"
    "Signs: each variable is turned so that it is positive at the first site of\n"
    "the analysis where its magnitude is largest (within a millionth, so that\n"
    "rounding does not decide between symmetric sites). Equal eigenvalues\n"
    "(within 1e-9 of the largest) get the basis of their eigenspace that\n"
    "depends on the sites alone, whatever the solver.\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or unsuitable data or a file that cannot\n"
    "be read or written (no output is changed then), 2 wrong command line.\n";

output::VariableTable table_of(const large::RunResult& r, const std::vector<std::string>& names, Index rows,
                               const double* x, Index ld) {
  output::VariableTable t;
  t.n = rows;
  t.x = x;
  t.ld = ld;
  t.names = names;
  for (Index c = 0; c < r.columns(); ++c) {
    t.columns.push_back(c);
    // Canoco labels: the axis for one limit, the column's place for several.
    t.numbers.push_back(r.scales.size() == 1 ? r.scales[0].written_axes[c] : c + 1);
  }
  return t;
}

int run(const cli::Program& program, const std::vector<std::string>& args) {
  const auto parsed = cli::parse_pcnm_command(args);
  if (const auto done = program.answer(parsed, kHelp)) return *done;
  const cli::PcnmCommand& c = *parsed;
  using Kind = cli::SiteSource::Kind;

  std::vector<cli::NamedFile> inputs, outputs{{"-o", c.out}};
  if (c.sites.kind == Kind::kFile) inputs.push_back({"SITES", c.sites.path});
  if (c.sites.kind == Kind::kPairs) inputs.push_back({"--distances", c.sites.path});
  if (!c.predict.empty()) inputs.push_back({"--predict", c.predict});
  if (!c.report.empty()) outputs.push_back({"--report", c.report});
  if (!c.predicted.empty()) outputs.push_back({"--predicted", c.predicted});
  if (Status s = cli::check_distinct(inputs, outputs); !s.ok()) return program.usage_error(s.error());

  cli::TerminalProgress progress(program.name(), isatty(STDERR_FILENO) == 1);
  auto error = [&](const std::string& message) {
    progress.clear();
    return program.data_error(message);
  };
  if (c.sites.kind == Kind::kFile || c.sites.kind == Kind::kPairs) progress.stage("reading " + c.sites.path);
  std::shared_ptr<const large::Geometry> geometry;
  if (c.sites.kind == Kind::kPairs) {
    auto list = sites::read_pair_file(c.sites.path, sites::kLargeCapacity);
    if (!list.ok()) return error(list.error());
    geometry = std::make_shared<const large::Geometry>(large::Geometry::pairs(std::move(*list)));
  } else {
    auto sites = cli::load_sites(c.sites, sites::kLargeCapacity, c.longlat);
    if (!sites.ok()) return error(sites.error());
    if (sites->total() < 2) return error(sites->name + ": a single site has no distances to truncate");
    if (c.longlat) {
      geometry = std::make_shared<const large::Geometry>(large::Geometry::longlat(*sites));
    } else {
      auto g = large::Geometry::euclidean(*sites);
      if (!g.ok()) return error(sites->name + ": " + g.error());
      geometry = std::make_shared<const large::Geometry>(std::move(*g));
    }
  }
  if (geometry->total() < 2) return error(geometry->name() + ": a single site has no distances to truncate");
  if (Status s = large::check_solver(c.run, geometry->total()); !s.ok()) {
    progress.clear();
    return program.usage_error(s.error());
  }
  sites::Sites new_sites;
  if (!c.predict.empty()) {
    progress.stage("reading " + c.predict);
    auto read = c.longlat ? sites::read_longlat_file(c.predict, sites::kLargeCapacity)
                          : sites::read_sites_file(c.predict, sites::kLargeCapacity);
    if (!read.ok()) return error(read.error());
    new_sites = std::move(*read);
    if (Status s = geometry->check_new_sites(new_sites); !s.ok()) return error(s.error());
  }

  // The outputs are prepared first, so that a place that cannot take them
  // is known before the work, not after.
  cli::OutputFile variables, report, predicted;
  if (Status s = variables.open(c.out); !s.ok()) return error(s.error());
  if (!c.report.empty()) {
    if (Status s = report.open(c.report); !s.ok()) return error(s.error());
  }
  if (!c.predicted.empty()) {
    if (Status s = predicted.open(c.predicted); !s.ok()) return error(s.error());
  }

  auto result = large::run_pcnm(geometry, c.run, &progress);
  if (!result.ok()) return error(geometry->name() + ": " + result.error());
  const std::vector<std::string> names = large::column_names(*result);

  std::vector<double> placed;
  if (!c.predict.empty()) {
    auto values = large::predict(*result, new_sites, &progress);
    if (!values.ok()) return error(new_sites.name + ": " + values.error());
    placed = std::move(*values);
  }

  progress.stage("writing " + variables.path());
  output::write_variables(variables, c.layout, table_of(*result, names, result->n, result->values.data(), result->ld));
  if (!c.predicted.empty()) {
    const Index m = new_sites.total();
    output::write_variables(predicted, c.layout, table_of(*result, names, m, placed.data(), m));
  }
  if (!c.report.empty()) {
    large::ReportContext context{ORTELIX_VERSION, geometry->name(), variables.path(), names,
                                 c.predicted.empty() ? "" : predicted.path(), new_sites.total()};
    large::write_report(report, context, *result);
  }
  if (Status s = cli::commit_all({&variables, c.report.empty() ? nullptr : &report,
                                  c.predicted.empty() ? nullptr : &predicted});
      !s.ok()) {
    return error(s.error());
  }
  progress.clear();
  for (const std::string& note : result->notes) std::fprintf(stderr, "%s: %s\n", program.name().c_str(), note.c_str());

  const bool quiet = c.quiet || variables.is_standard_output() || report.is_standard_output() ||
                     predicted.is_standard_output();
  if (!quiet) {
    const large::RunResult& r = *result;
    std::string count = std::to_string(r.n + r.nsup);
    if (r.nsup > 0) count += " (" + std::to_string(r.n) + " + " + std::to_string(r.nsup) + " supplementary)";
    std::printf("Sites:             %s\n", count.c_str());
    for (const large::ScaleResult& s : r.scales) {
      std::printf("Truncation limit:  %s%s%s\n", textio::exact_number(s.limit).c_str(), c.longlat ? " km" : "",
                  s.limit_mst ? " (longest edge of a minimum spanning tree)" : "");
      std::printf("Pairs kept:        %llu\n", static_cast<unsigned long long>(s.near_pairs));
    }
    std::printf("PCNM variables:    %lld written to %s\n", static_cast<long long>(r.columns()),
                variables.path().c_str());
    if (!c.predicted.empty()) {
      std::printf("New sites:         %lld, their values written to %s\n", static_cast<long long>(new_sites.total()),
                  predicted.path().c_str());
    }
  }
  return program.done();
}

}  // namespace

int main(int argc, char** argv) { return cli::Program("ortelix-pcnm").run(argc, argv, run); }
