#include "cli/commands.h"

#include <algorithm>
#include <array>

#include "cli/command_line.h"
#include "sites/site_files.h"

namespace ortelix::cli {
namespace {

const OptionForm kHelp{"--help", "-h", 0};
const OptionForm kVersion{"--version", "", 0};
const OptionForm kTransect{"--transect", "", 1};
const OptionForm kGrid{"--grid", "", 2};

// --transect and --grid, and a sites file as an operand: exactly one.
class SiteChoice {
 public:
  // `sources` names them in messages: "a file, --transect or --grid".
  SiteChoice(Index capacity, const char* sources = "a file, --transect or --grid")
      : capacity_(capacity), sources_(sources) {}

  // Takes a design option; false when `o` is none.
  Expected<bool> option(const Occurrence& o) {
    if (o.name != kTransect.name && o.name != kGrid.name) return false;
    if (source_.kind != SiteSource::Kind::kNone) return fail(one_source());
    const std::string limit = std::to_string(capacity_);
    if (o.name == kTransect.name) {
      if (!parse_count(o.values[0], capacity_, source_.first)) {
        return fail("--transect: '" + o.values[0] + "' is not a number of points from 1 to " + limit);
      }
      source_.kind = SiteSource::Kind::kTransect;
      return true;
    }
    if (!parse_count(o.values[0], capacity_, source_.first) || !parse_count(o.values[1], capacity_, source_.second)) {
      return fail("--grid: '" + o.values[0] + " " + o.values[1] + "' are not two numbers from 1 to " + limit);
    }
    if (source_.first > capacity_ / source_.second) {
      return fail("--grid " + o.values[0] + " " + o.values[1] + ": " + std::to_string(source_.first * source_.second) +
                  " points, the program generates at most " + limit);
    }
    source_.kind = SiteSource::Kind::kGrid;
    return true;
  }

  Status file(const std::string& path) {
    if (source_.kind != SiteSource::Kind::kNone) return fail(one_source());
    source_.kind = SiteSource::Kind::kFile;
    source_.path = path;
    return {};
  }

  Status pairs(const std::string& path) {
    if (source_.kind != SiteSource::Kind::kNone) return fail(one_source());
    source_.kind = SiteSource::Kind::kPairs;
    source_.path = path;
    return {};
  }

  Expected<SiteSource> result(const char* file_word) const {
    if (source_.kind == SiteSource::Kind::kNone) {
      return fail(std::string("no sites: give ") + file_word + ", --transect N or --grid ROWS COLS");
    }
    return source_;
  }

 private:
  std::string one_source() const { return std::string("give one source of sites: ") + sources_; }

  Index capacity_;
  const char* sources_;
  SiteSource source_;
};

// "mst", "2.5", or a list of them: "mst,2.5,10".
Expected<std::vector<large::Limit>> parse_limits(const std::string& text) {
  std::vector<large::Limit> limits;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    large::Limit l;
    l.mst = item == "mst";
    if (!l.mst && !parse_positive(item, l.value)) {
      return fail("--limit: '" + item + "' is neither a positive number nor 'mst'");
    }
    for (const large::Limit& before : limits) {
      if (before.mst == l.mst && before.value == l.value) return fail("--limit: '" + item + "' is given twice");
    }
    limits.push_back(l);
    if (comma == std::string::npos) return limits;
    start = comma + 1;
  }
}

}  // namespace

Expected<sites::Sites> load_sites(const SiteSource& source, Index capacity, bool longlat) {
  switch (source.kind) {
    case SiteSource::Kind::kFile:
      return longlat ? sites::read_longlat_file(source.path, capacity) : sites::read_sites_file(source.path, capacity);
    case SiteSource::Kind::kTransect: return sites::transect_sites(source.first);
    case SiteSource::Kind::kGrid: return sites::grid_sites(source.first, source.second);
    case SiteSource::Kind::kNone:
    case SiteSource::Kind::kPairs: break;
  }
  return fail("no sites");
}

Expected<ThresholdCommand> parse_threshold_command(const std::vector<std::string>& args) {
  static const std::array forms{kHelp, kVersion, kTransect, kGrid, OptionForm{"--quiet", "-q", 0}};
  auto line = parse_line(args, forms);
  if (!line.ok()) return fail(line.error());
  ThresholdCommand c;
  SiteChoice choice(sites::kDialogueCapacity);
  for (const Occurrence& o : line->options) {
    if (o.name == "--help") c.help = true;
    if (o.name == "--version") c.version = true;
    if (o.name == "--quiet") c.quiet = true;
    if (auto taken = choice.option(o); !taken.ok()) return fail(taken.error());
  }
  if (c.help || c.version) return c;
  for (const std::string& operand : line->operands) {
    if (Status s = choice.file(operand); !s.ok()) return fail(s.error());
  }
  auto source = choice.result("FILE");
  if (!source.ok()) return fail(source.error());
  c.sites = *source;
  return c;
}

namespace {

// "1-8", "3", "1,4,6-9": 1-based variable numbers, in the order given.
bool parse_vars(const std::string& text, std::vector<Index>& vars) {
  constexpr Index kMost = 100000;  // panels; far more than a map can show
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = text.substr(start, comma - start);
    const std::size_t dash = item.find('-');
    Index first = 0, last = 0;
    if (dash == std::string::npos) {
      if (!parse_count(item, kMost, first)) return false;
      last = first;
    } else if (!parse_count(item.substr(0, dash), kMost, first) || !parse_count(item.substr(dash + 1), kMost, last) ||
               last < first) {
      return false;
    }
    for (Index v = first; v <= last; ++v) vars.push_back(v);
    if (static_cast<Index>(vars.size()) > kMost) return false;
    start = comma + 1;
  }
  return true;
}

}  // namespace

Expected<MapCommand> parse_map_command(const std::vector<std::string>& args) {
  static const std::array forms{kHelp, kVersion, kTransect, kGrid, OptionForm{"--output", "-o", 1},
                                OptionForm{"--vars", "", 1}, OptionForm{"--kind", "", 1}};
  auto line = parse_line(args, forms);
  if (!line.ok()) return fail(line.error());
  MapCommand c;
  SiteChoice choice(sites::kLargeCapacity);
  for (const Occurrence& o : line->options) {
    if (o.name == "--help") c.help = true;
    if (o.name == "--version") c.version = true;
    if (o.name == "--output") c.out = o.values[0];
    if (o.name == "--kind") {
      if (o.values[0] != "pcnm" && o.values[0] != "mono" && o.values[0] != "plain") {
        return fail("--kind: pcnm, mono or plain, not '" + o.values[0] + "'");
      }
      c.kind = o.values[0];
    }
    if (o.name == "--vars") {
      c.vars.clear();
      if (!parse_vars(o.values[0], c.vars)) {
        return fail("--vars: '" + o.values[0] + "' is not a list such as 1-8 or 1,3,5-7");
      }
    }
    if (auto taken = choice.option(o); !taken.ok()) return fail(taken.error());
  }
  if (c.help || c.version) return c;
  if (line->operands.empty()) return fail("no VARFILE");
  c.variables = line->operands[0];
  for (std::size_t k = 1; k < line->operands.size(); ++k) {
    if (Status s = choice.file(line->operands[k]); !s.ok()) return fail(s.error());
  }
  auto source = choice.result("SITES");
  if (!source.ok()) return fail(source.error());
  c.sites = *source;
  if (c.variables == "-" && c.sites.path == "-") return fail("VARFILE and SITES cannot both be standard input");
  if (c.out.empty()) return fail("no output: -o OUT.svg");
  return c;
}

Expected<PcnmCommand> parse_pcnm_command(const std::vector<std::string>& args) {
  static const std::array forms{kHelp,
                                kVersion,
                                kTransect,
                                kGrid,
                                OptionForm{"--quiet", "-q", 0},
                                OptionForm{"--limit", "", 1},
                                OptionForm{"--count", "", 1},
                                OptionForm{"--positive-moran", "", 0},
                                OptionForm{"--format", "", 1},
                                OptionForm{"--output", "-o", 1},
                                OptionForm{"--report", "", 1},
                                OptionForm{"--solver", "", 1},
                                OptionForm{"--longlat", "", 0},
                                OptionForm{"--distances", "", 1},
                                OptionForm{"--predict", "", 1},
                                OptionForm{"--predicted", "", 1}};
  auto line = parse_line(args, forms);
  if (!line.ok()) return fail(line.error());
  PcnmCommand c;
  SiteChoice choice(sites::kLargeCapacity, "a file, --transect, --grid or --distances");
  bool have_limit = false;
  for (const Occurrence& o : line->options) {
    const std::string& value = o.values.empty() ? std::string() : o.values[0];
    if (o.name == "--help") c.help = true;
    if (o.name == "--version") c.version = true;
    if (o.name == "--quiet") c.quiet = true;
    if (o.name == "--positive-moran") c.run.positive_moran = true;
    if (o.name == "--output") c.out = value;
    if (o.name == "--report") c.report = value;
    if (o.name == "--limit") {
      have_limit = true;
      auto limits = parse_limits(value);
      if (!limits.ok()) return fail(limits.error());
      c.run.limits = *limits;
    }
    if (o.name == "--longlat") c.longlat = true;
    if (o.name == "--predict") c.predict = value;
    if (o.name == "--predicted") c.predicted = value;
    if (o.name == "--distances") {
      if (Status st = choice.pairs(value); !st.ok()) return fail(st.error());
    }
    if (o.name == "--count" && !parse_count(value, sites::kLargeCapacity, c.run.count)) {
      return fail("--count: '" + value + "' is not a whole number from 1");
    }
    if (o.name == "--format") {
      if (value == "csv") c.layout = output::Layout::kCsv;
      else if (value == "1") c.layout = output::Layout::kOneLine;
      else if (value == "2") c.layout = output::Layout::kFolded;
      else if (value == "3") c.layout = output::Layout::kCanoco;
      else return fail("--format: csv, 1, 2 or 3, not '" + value + "'");
    }
    if (o.name == "--solver") {
      if (value == "auto") c.run.solver = large::Solver::kAuto;
      else if (value == "dense") c.run.solver = large::Solver::kDense;
      else if (value == "krylov") c.run.solver = large::Solver::kKrylov;
      else return fail("--solver: auto, dense or krylov, not '" + value + "'");
    }
    if (auto taken = choice.option(o); !taken.ok()) return fail(taken.error());
  }
  if (c.help || c.version) return c;
  for (const std::string& operand : line->operands) {
    if (Status s = choice.file(operand); !s.ok()) return fail(s.error());
  }
  auto source = choice.result("SITES");
  if (!source.ok()) return fail("no sites: give SITES, --transect N, --grid ROWS COLS or --distances PAIRS");
  c.sites = *source;
  if (!have_limit) return fail("no truncation limit: --limit L or --limit mst");
  if (c.out.empty()) return fail("no output: -o VARFILE");
  if (c.predict.empty() != c.predicted.empty()) {
    return fail(c.predict.empty() ? "--predicted needs --predict NEWSITES" : "--predict needs --predicted NEWFILE");
  }
  if (c.sites.kind == SiteSource::Kind::kPairs) {
    if (c.longlat) return fail("--longlat and --distances: the distances are given, there are no positions");
    if (!c.predict.empty()) {
      return fail("--predict does not apply to --distances: new sites have no distances to the sites of the "
                  "analysis");
    }
  }
  if (c.sites.path == "-" && c.predict == "-") return fail("SITES and NEWSITES cannot both be standard input");
  return c;
}

}  // namespace ortelix::cli
