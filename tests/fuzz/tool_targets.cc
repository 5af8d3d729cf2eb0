// The readers of the tools, under the fuzzer: site files and lists of
// positions, variable files of every layout, and the command lines. None
// may crash, hang or take memory the input does not ask for, and whatever
// they accept must hold together: as many values as the counts say, every
// one finite, and a variable file read back the same after the programs'
// own writer has written it again.
#include <cmath>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "fuzz/fuzz.h"
#include "output/variable_reader.h"
#include "output/variable_writer.h"
#include "sites/site_files.h"
#include "textio/record_sink.h"

namespace ortelix::fuzz {

int fuzz_sites_file(const std::uint8_t* data, std::size_t size) {
  Bytes b(data, size);
  const bool any = b.pick(0, 1) == 1;
  const std::string text = b.rest();
  auto s = any ? sites::parse_sites_text("f", text, 500) : sites::parse_coordinate_text("f", text, 500);
  if (!s.ok()) {
    check(s.error().starts_with("f:") || s.error().starts_with("f: "), "an error that does not name the file: " + s.error());
    return 0;
  }
  check(s->p >= 1 && s->n >= 1 && s->nsup >= 0 && s->total() <= 500, "counts out of bounds");
  check(s->coords.size() == static_cast<std::size_t>(s->total()) * static_cast<std::size_t>(s->p), "coordinates "
        "do not match the counts");
  for (double v : s->coords) check(std::isfinite(v), "a coordinate that is not finite");
  return 0;
}

int fuzz_variable_file(const std::uint8_t* data, std::size_t size) {
  Bytes b(data, size);
  auto f = output::parse_variable_text("v", b.rest(), 300);
  if (!f.ok()) {
    check(f.error().starts_with("v:") || f.error().starts_with("v: "), "an error that does not name the file: " + f.error());
    return 0;
  }
  check(f->n >= 1 && f->n <= 300 && f->nvar >= 1, "counts out of bounds");
  check(f->values.size() == static_cast<std::size_t>(f->n * f->nvar), "values do not match the counts");
  for (double v : f->values) check(std::isfinite(v), "a value that is not finite");
  // Written again as CSV, every digit kept: the same values back.
  output::VariableTable t;
  t.n = f->n;
  std::vector<double> columns(f->values.size());
  for (Index i = 0; i < f->n; ++i) {
    for (Index j = 0; j < f->nvar; ++j) columns[j * f->n + i] = f->at(i, j);
  }
  t.x = columns.data();
  t.ld = f->n;
  for (Index j = 0; j < f->nvar; ++j) {
    t.columns.push_back(j);
    t.numbers.push_back(j + 1);
  }
  textio::StringSink sink;
  output::write_variables(sink, output::Layout::kCsv, t);
  std::string csv;
  for (const std::string& line : sink.records) csv += line + "\n";
  auto again = output::parse_variable_text("again", csv, 300);
  check(again.ok(), "the CSV written from a file accepted is refused: " + (again.ok() ? "" : again.error()));
  check(again->values == f->values, "the CSV written from a file gives other values");
  return 0;
}

int fuzz_command_line(const std::uint8_t* data, std::size_t size) {
  Bytes b(data, size);
  const int which = b.pick(0, 2);
  // Arguments separated by NUL bytes, as the kernel hands them over.
  std::vector<std::string> args(1);
  for (char c : b.rest()) {
    if (c == '\0') {
      args.emplace_back();
    } else {
      args.back().push_back(c);
    }
  }
  if (which == 0) {
    auto c = cli::parse_pcnm_command(args);
    if (c.ok() && !c->help && !c->version) {
      check(!c->out.empty() && c->sites.kind != cli::SiteSource::Kind::kNone, "a run without output or sites");
      check(!c->run.limits.empty(), "no limit");
      for (const large::Limit& l : c->run.limits) {
        check(l.mst || (std::isfinite(l.value) && l.value > 0), "a limit that is not positive");
      }
      check(c->run.count >= 0, "a negative count");
    }
  } else if (which == 1) {
    auto c = cli::parse_map_command(args);
    if (c.ok() && !c->help && !c->version) {
      for (Index v : c->vars) check(v >= 1, "a variable number below 1");
      check(!c->out.empty() && !c->variables.empty(), "a map without output or variables");
    }
  } else {
    auto c = cli::parse_threshold_command(args);
    if (c.ok() && !c->help && !c->version) {
      const cli::SiteSource& s = c->sites;
      check(s.kind != cli::SiteSource::Kind::kNone, "no sites");
      if (s.kind == cli::SiteSource::Kind::kGrid) check(s.first * s.second <= 2000, "a grid beyond the capacity");
    }
  }
  return 0;
}

}  // namespace ortelix::fuzz
