// ortelix-map: maps of the spatial variables, one panel per variable.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/output_file.h"
#include "cli/program.h"
#include "maps/svg_map.h"
#include "output/variable_reader.h"

using namespace ortelix;

namespace {

const char kHelp[] =
    "usage: ortelix-map VARFILE SITES -o OUT.svg [--vars LIST] [--kind pcnm|mono|plain]\n"
    "       ortelix-map VARFILE --transect N -o OUT.svg [...]\n"
    "       ortelix-map VARFILE --grid ROWS COLS -o OUT.svg [...]\n"
    "\n"
    "Draws spatial variables on a map of the sites, one panel per variable:\n"
    "each site is a circle whose area is proportional to the absolute value\n"
    "of the variable there (scaled in each panel), filled for a positive value\n"
    "and open for a negative one. The result is a single SVG file that any\n"
    "web browser shows.\n"
    "\n"
    "VARFILE is a spatial-variable file of ortelix or ortelix-pcnm: layouts 1\n"
    "(a line per site), 2 (folded) and 3 (Canoco), or ortelix-pcnm's CSV table,\n"
    "whose column names become the panel titles. A value written as asterisks\n"
    "(too wide for its field) is refused, since its digits are lost.\n"
    "\n"
    "SITES gives the positions, in the order of the rows of VARFILE:\n"
    "  - the coordinate file of the run (header n p nsup): its first n sites,\n"
    "    since supplementary sites are not in VARFILE; with more than two\n"
    "    coordinates the map shows the first two;\n"
    "  - or a list of X Y positions, two numbers a line, such as Grid.txt;\n"
    "  - or --transect N, --grid ROWS COLS: the positions that ortelix\n"
    "    generates for these designs: ROWS X positions by COLS Y positions,\n"
    "    X running fastest. A variable file does not record the grid's shape:\n"
    "    --grid 4 3 and --grid 3 4 both match a file of 12 sites, so give the\n"
    "    shape of the run.\n"
    "Either file may be '-', standard input (not both). The number of sites\n"
    "must equal the number of rows of VARFILE.\n"
    "\n"
    "  -o, --output OUT.svg  the map; '-' writes it to standard output. It\n"
    "                      appears only once complete, replacing what was there\n"
    "  --vars LIST         the variables to draw, e.g. 1-8 (the default: the\n"
    "                      first 8), 3, or 1,4,6-9\n"
    "  --kind pcnm|mono|plain\n"
    "                      panel titles \"PCNM k\", \"Mono k\" or \"Variable k\";\n"
    "                      by default the file tells: the Canoco title, the CSV\n"
    "                      names, or, in layouts 1 and 2, columns of F11.6 values\n"
    "                      that each sum to zero (principal coordinates are\n"
    "                      centred) are PCNM variables\n"
    "  -h, --help          print this help\n"
    "      --version       print the version\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or unsuitable file (counts that do not\n"
    "match, asterisks, values or positions beyond the largest double) or a map\n"
    "that cannot be written, 2 wrong command line.\n";

int run(const cli::Program& program, const std::vector<std::string>& args) {
  const auto parsed = cli::parse_map_command(args);
  if (const auto done = program.answer(parsed, kHelp)) return *done;
  const cli::MapCommand& c = *parsed;

  std::vector<cli::NamedFile> inputs{{"VARFILE", c.variables}};
  if (c.sites.kind == cli::SiteSource::Kind::kFile) inputs.push_back({"SITES", c.sites.path});
  if (Status s = cli::check_distinct(inputs, {{"-o", c.out}}); !s.ok()) return program.usage_error(s.error());

  auto var = output::read_variable_file(c.variables, sites::kLargeCapacity);
  if (!var.ok()) return program.data_error(var.error());
  auto sites = cli::load_sites(c.sites, sites::kLargeCapacity);
  if (!sites.ok()) return program.data_error(sites.error());
  const std::string varname = c.variables == "-" ? "standard input" : c.variables;
  if (sites->n != var->n) {
    return program.data_error(varname + " holds " + std::to_string(var->n) + " objects but " + sites->name +
                              " gives " + std::to_string(sites->n) + (sites->n == 1 ? " site" : " sites") +
                              (sites->nsup > 0 ? " of the analysis" : ""));
  }
  std::vector<Index> vars = c.vars;
  if (vars.empty()) {
    for (Index v = 1; v <= std::min<Index>(var->nvar, 8); ++v) vars.push_back(v);
  }
  for (Index v : vars) {
    if (v > var->nvar) {
      return program.usage_error("--vars: " + varname + " holds " + std::to_string(var->nvar) + " variables, not " +
                                 std::to_string(v));
    }
  }

  output::ReadKind kind = var->kind;
  if (c.kind == "pcnm") kind = output::ReadKind::kPcnm;
  if (c.kind == "mono") kind = output::ReadKind::kMonomial;
  if (c.kind == "plain") kind = output::ReadKind::kUnnamed;
  std::vector<maps::MapPanel> panels;
  for (Index v : vars) {
    maps::MapPanel panel;
    const std::string k = std::to_string(v);
    if (!var->names.empty() && c.kind.empty()) {
      panel.title = var->names[static_cast<std::size_t>(v - 1)];
    } else {
      switch (kind) {
        case output::ReadKind::kPcnm: panel.title = "PCNM " + k; break;
        case output::ReadKind::kMonomial:
          panel.title = "Mono " + k;
          if (sites->p <= 2) panel.title += ": " + maps::monomial_term(v - 1, sites->p);
          break;
        case output::ReadKind::kUnnamed: panel.title = "Variable " + k; break;
      }
    }
    for (Index i = 0; i < var->n; ++i) panel.values.push_back(var->at(i, v - 1));
    panels.push_back(std::move(panel));
  }
  const std::string heading = varname + ": " + std::to_string(var->n) + " sites, " + std::to_string(var->nvar) +
                              (var->nvar == 1 ? " variable" : " variables");
  auto svg = maps::render_map_svg(heading, *sites, panels);
  if (!svg.ok()) return program.data_error(svg.error());

  cli::OutputFile out;
  if (Status s = out.open(c.out); !s.ok()) return program.data_error(s.error());
  out.append(*svg);
  if (Status s = cli::commit_all({&out}); !s.ok()) return program.data_error(s.error());
  return program.done();
}

}  // namespace

int main(int argc, char** argv) { return cli::Program("ortelix-map").run(argc, argv, run); }
