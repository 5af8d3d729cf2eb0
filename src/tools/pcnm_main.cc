// ortelix-pcnm: PCNM variables of large site sets, from the command line.
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/output_file.h"
#include "cli/program.h"
#include "cli/progress.h"
#include "large/pcnm_report.h"
#include "large/pcnm_run.h"
#include "output/variable_writer.h"
#include "textio/exact_number.h"

using namespace ortelix;

namespace {

const char kHelp[] =
    "usage: ortelix-pcnm SITES --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --transect N --limit L|mst -o VARFILE [options]\n"
    "       ortelix-pcnm --grid ROWS COLS --limit L|mst -o VARFILE [options]\n"
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
    "  --limit L          the truncation limit, in the units of the coordinates:\n"
    "                     distances above it become 4 L; 'mst' takes the longest\n"
    "                     edge of a minimum spanning tree of the sites\n"
    "  --count K          the K leading variables only (the largest eigenvalues)\n"
    "  --positive-moran   write only the variables whose Moran's I exceeds its\n"
    "                     expectation -1/(n-1) (positive spatial correlation)\n"
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
    "the sites' file, are refused.\n"
    "\n"
    "Signs: each variable is turned so that it is positive at the first site of\n"
    "the analysis where its magnitude is largest (within a millionth, so that\n"
    "rounding does not decide between symmetric sites).\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or unsuitable data or a file that cannot\n"
    "be read or written (no output is changed then), 2 wrong command line.\n";

int run(const cli::Program& program, const std::vector<std::string>& args) {
  const auto parsed = cli::parse_pcnm_command(args);
  if (const auto done = program.answer(parsed, kHelp)) return *done;
  const cli::PcnmCommand& c = *parsed;

  std::vector<cli::NamedFile> inputs, outputs{{"-o", c.out}};
  if (c.sites.kind == cli::SiteSource::Kind::kFile) inputs.push_back({"SITES", c.sites.path});
  if (!c.report.empty()) outputs.push_back({"--report", c.report});
  if (Status s = cli::check_distinct(inputs, outputs); !s.ok()) return program.usage_error(s.error());

  cli::TerminalProgress progress(program.name(), isatty(STDERR_FILENO) == 1);
  auto error = [&](const std::string& message) {
    progress.clear();
    return program.data_error(message);
  };
  if (c.sites.kind == cli::SiteSource::Kind::kFile) progress.stage("reading " + c.sites.path);
  auto sites = cli::load_sites(c.sites, sites::kLargeCapacity);
  if (!sites.ok()) return error(sites.error());
  if (Status s = large::check_solver(c.run, sites->total()); !s.ok()) {
    progress.clear();
    return program.usage_error(s.error());
  }

  // The outputs are prepared first, so that a place that cannot take them
  // is known before the work, not after.
  cli::OutputFile variables, report;
  if (Status s = variables.open(c.out); !s.ok()) return error(s.error());
  if (!c.report.empty()) {
    if (Status s = report.open(c.report); !s.ok()) return error(s.error());
  }

  auto result = large::run_pcnm(*sites, c.run, &progress);
  if (!result.ok()) return error(sites->name + ": " + result.error());

  progress.stage("writing " + variables.path());
  output::VariableTable table;
  table.n = result->n;
  table.x = result->values.data();
  table.ld = result->ld;
  for (std::size_t k = 0; k < result->written_axes.size(); ++k) {
    table.columns.push_back(static_cast<Index>(k));
    table.numbers.push_back(result->written_axes[k]);
  }
  output::write_variables(variables, c.layout, table);
  if (!c.report.empty()) {
    large::ReportContext context{ORTELIX_VERSION, sites->name, c.run.limit_mst, variables.path()};
    large::write_report(report, context, *result);
  }
  if (Status s = cli::commit_all({&variables, c.report.empty() ? nullptr : &report}); !s.ok()) return error(s.error());
  progress.clear();

  const bool quiet = c.quiet || variables.is_standard_output() || report.is_standard_output();
  if (!quiet) {
    const large::RunResult& r = *result;
    std::string count = std::to_string(r.n + r.nsup);
    if (r.nsup > 0) count += " (" + std::to_string(r.n) + " + " + std::to_string(r.nsup) + " supplementary)";
    std::printf("Sites:             %s\n", count.c_str());
    std::printf("Truncation limit:  %s%s\n", textio::exact_number(r.limit).c_str(),
                c.run.limit_mst ? " (longest edge of a minimum spanning tree)" : "");
    std::printf("Pairs kept:        %llu\n", static_cast<unsigned long long>(r.near_pairs));
    std::printf("PCNM variables:    %zu written to %s\n", r.written_axes.size(), variables.path().c_str());
  }
  return program.done();
}

}  // namespace

int main(int argc, char** argv) { return cli::Program("ortelix-pcnm").run(argc, argv, run); }
