#include "fuzz/compare_reads.h"

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/check.h"
#include "textio/list_read.h"

namespace ortelix::fuzz {
namespace {

const std::set<std::pair<std::string, std::string>>& tabled() {
  static const std::set<std::pair<std::string, std::string>> t = {
      {"list in", "end of file"},
      {"read start", "end of file"},
      {"invalid number", "incomprehensible list input"},
      {"invalid integer", "read unexpected character"},
      {"invalid integer", "integer out of range"},
      {"exponent field", "incomprehensible list input"},
      {"bad repetition count", "incomprehensible list input"},
  };
  return t;
}

std::string describe(const RefOutcome& o) { return o.ok ? "ok" : o.context + ": " + o.reason; }

}  // namespace

bool compare_read(textio::CharStream& in, RefStream& ref, Kind kind, int count, std::vector<RefItem>* values) {
  // Starting values that no input produces by accident, so that a null that
  // overwrites, or a value that is not stored, shows.
  const std::size_t n = static_cast<std::size_t>(count);
  std::vector<std::int32_t> ints(n, -7);
  std::vector<double> reals(n, -7.25);
  std::vector<std::string> names(n, std::string(79, '#'));
  std::vector<RefItem> items(n);
  std::vector<textio::Target> targets;
  for (std::size_t k = 0; k < n; ++k) {
    items[k].integer = ints[k];
    items[k].real = reals[k];
    items[k].name = names[k];
    if (kind == Kind::kInteger) targets.emplace_back(ints[k]);
    if (kind == Kind::kReal) targets.emplace_back(reals[k]);
    if (kind == Kind::kName) targets.emplace_back(names[k]);
  }
  std::optional<textio::IoError> err = textio::list_read(in, targets);
  RefOutcome want = ref.read(kind, items);
  RefOutcome got;
  if (err) got = {false, err->context, err->reason};
  check(got.ok == want.ok && got.context == want.context && got.reason == want.reason,
        "outcome " + describe(got) + ", reference " + describe(want));
  if (!got.ok) check(tabled().count({got.context, got.reason}) == 1, "untabled diagnostic " + describe(got));
  check(in.end_seen() == ref.ended(), std::string("end-of-input flag ") + (in.end_seen() ? "set" : "clear") +
                                         ", reference " + (ref.ended() ? "set" : "clear"));
  for (std::size_t k = 0; k < n; ++k) {
    const std::string where = " in item " + std::to_string(k + 1);
    if (kind == Kind::kInteger) {
      check(ints[k] == items[k].integer,
            "integer " + std::to_string(ints[k]) + ", reference " + std::to_string(items[k].integer) + where);
    } else if (kind == Kind::kReal) {
      check(std::memcmp(&reals[k], &items[k].real, sizeof(double)) == 0,
            "real " + std::to_string(reals[k]) + ", reference " + std::to_string(items[k].real) + where);
    } else {
      check(names[k].size() == 79, "name of " + std::to_string(names[k].size()) + " characters" + where);
      check(names[k] == items[k].name, "name [" + names[k] + "], reference [" + items[k].name + "]" + where);
    }
  }
  if (values) *values = items;
  return got.ok;
}

}  // namespace ortelix::fuzz
