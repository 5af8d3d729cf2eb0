// ortelix-map: maps of the spatial variables, one panel per variable.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/command_line.h"
#include "tools/sites.h"
#include "tools/svg_map.h"
#include "tools/variable_file.h"

using namespace ortelix::tools;

namespace {

const char kUsage[] =
    "usage: ortelix-map VARFILE SITES -o OUT.svg [--vars LIST] [--kind pcnm|mono|plain]\n"
    "       ortelix-map VARFILE --transect N -o OUT.svg [...]\n"
    "       ortelix-map VARFILE --grid ROWS COLS -o OUT.svg [...]\n";

const char kHelp[] =
    "\n"
    "Draws the spatial variables of an ortelix run on a map of the sites, one\n"
    "panel per variable: each site is a circle whose area is proportional to\n"
    "the absolute value of the variable there (scaled in each panel), filled\n"
    "for a positive value and open for a negative one. The result is a single\n"
    "SVG file that any web browser shows.\n"
    "\n"
    "VARFILE is the spatial-variable file of the run, in any of its three\n"
    "layouts. A value that ortelix had to write as asterisks (too wide for its\n"
    "field) is refused, since its digits are lost.\n"
    "\n"
    "SITES gives the positions, in the order of the rows of VARFILE:\n"
    "  - the coordinate file of the run (header n p nsup): its first n sites,\n"
    "    since supplementary sites are not in VARFILE; with more than two\n"
    "    coordinates the map shows the first two;\n"
    "  - or a list of X Y positions, two numbers a line, such as Grid.txt;\n"
    "  - or --transect N, --grid ROWS COLS: the positions that ortelix\n"
    "    generates for these designs (X running fastest on a grid).\n"
    "The number of sites must equal the number of rows of VARFILE.\n"
    "\n"
    "  -o OUT.svg          the map to write (replaced if it exists)\n"
    "  --vars LIST         the variables to draw, e.g. 1-8 (the default: the\n"
    "                      first 8), 3, or 1,4,6-9\n"
    "  --kind pcnm|mono|plain\n"
    "                      panel titles \"PCNM k\", \"Mono k\" or \"Variable k\";\n"
    "                      layouts 1 and 2 carry no names and default to\n"
    "                      \"Variable k\", the Canoco layout tells from its title\n"
    "  -h, --help          print this help\n"
    "      --version       print the version\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or unsuitable file (counts that do not\n"
    "match, asterisks), 2 wrong command line.\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "ortelix-map: %s\n%sTry 'ortelix-map --help'.\n", message.c_str(), kUsage);
  return kExitUsage;
}

int data_error(const std::string& message) {
  std::fprintf(stderr, "ortelix-map: %s\n", message.c_str());
  return kExitBadData;
}

// "1-8", "3", "1,4,6-9": 1-based variable numbers, in the order given.
bool parse_vars(const std::string& text, std::vector<long>& vars) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = text.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    long first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!parse_count(item, kMaxSites, first)) return false;
      last = first;
    } else if (!parse_count(item.substr(0, dash), kMaxSites, first) ||
               !parse_count(item.substr(dash + 1), kMaxSites, last) || last < first) {
      return false;
    }
    for (long v = first; v <= last; ++v) vars.push_back(v);
    start = comma + 1;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  std::string out_path, kind_name;
  std::vector<long> vars;
  Sites sites;
  bool design = false;
  std::string sites_name;  // names the sites in messages
  for (int i = 1; i < argc;) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s%s", kUsage, kHelp);
      return kExitOk;
    }
    if (arg == "--version") {
      std::printf("ortelix-map %s\n", ORTELIX_VERSION);
      return kExitOk;
    }
    if (arg == "--transect" || arg == "--grid") {
      if (design) return usage_error("give one source of sites");
      const int start = i;
      std::string err = parse_design(argc, argv, i, sites);
      if (!err.empty()) return usage_error(err);
      for (int k = start; k < i; ++k) sites_name += (k > start ? " " : "") + std::string(argv[k]);
      design = true;
      continue;
    }
    if (arg == "-o" || arg == "--vars" || arg == "--kind") {
      if (i + 1 >= argc) return usage_error(arg + " needs a value");
      const std::string value = argv[i + 1];
      if (arg == "-o") {
        out_path = value;
      } else if (arg == "--kind") {
        if (value != "pcnm" && value != "mono" && value != "plain") return usage_error("--kind: pcnm, mono or plain");
        kind_name = value;
      } else if (vars.clear(); !parse_vars(value, vars)) {
        return usage_error("--vars: '" + value + "' is not a list such as 1-8 or 1,3,5-7");
      }
      i += 2;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return usage_error("unknown option '" + arg + "'");
    files.push_back(arg);
    ++i;
  }
  if (files.empty()) return usage_error("no VARFILE");
  if (files.size() != (design ? 1u : 2u)) return usage_error(design ? "too many files" : "give VARFILE and SITES");
  if (out_path.empty()) return usage_error("no output: -o OUT.svg");

  VariableFile var;
  if (auto err = read_variable_file(files[0], var)) return data_error(*err);
  if (!design) {
    sites_name = files[1];
    if (auto err = read_sites_file(files[1], sites)) return data_error(*err);
  }
  if (sites.n != var.n) {
    return data_error(files[0] + " holds " + std::to_string(var.n) + " objects but " + sites_name + " gives " +
                      std::to_string(sites.n) + (sites.n == 1 ? " site" : " sites") +
                      (sites.nsup > 0 ? " of the analysis" : ""));
  }
  if (vars.empty()) {
    for (long v = 1; v <= std::min(var.nvar, 8L); ++v) vars.push_back(v);
  }
  for (long v : vars) {
    if (v > var.nvar) {
      return usage_error("--vars: " + files[0] + " holds " + std::to_string(var.nvar) + " variables, not " +
                         std::to_string(v));
    }
  }

  VariableKind kind = var.kind;
  if (kind_name == "pcnm") kind = VariableKind::kPcnm;
  if (kind_name == "mono") kind = VariableKind::kMonomial;
  if (kind_name == "plain") kind = VariableKind::kUnnamed;
  std::vector<MapPanel> panels;
  for (long v : vars) {
    MapPanel panel;
    const std::string k = std::to_string(v);
    switch (kind) {
      case VariableKind::kPcnm: panel.title = "PCNM " + k; break;
      case VariableKind::kMonomial:
        panel.title = "Mono " + k;
        if (sites.p <= 2) panel.title += ": " + monomial_term(v - 1, sites.p);
        break;
      case VariableKind::kUnnamed: panel.title = "Variable " + k; break;
    }
    for (long i = 0; i < var.n; ++i) panel.values.push_back(var.at(i, v - 1));
    panels.push_back(std::move(panel));
  }
  const std::string heading = files[0] + ": " + std::to_string(var.n) + " sites, " + std::to_string(var.nvar) +
                              (var.nvar == 1 ? " variable" : " variables");
  const std::string svg = render_map_svg(heading, sites, panels);

  std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
  out << svg;
  out.close();
  if (!out) return data_error(out_path + ": cannot be written");
  return kExitOk;
}
