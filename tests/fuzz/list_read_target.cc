// Free-format reads against the plain reference reader: several reads of
// mixed kinds on one stream, every value, every kept value and every
// diagnostic compared, and the reads after it too, so that a read that stops
// at the wrong character shows in the next one.

#include <utility>
#include <vector>

#include "fuzz/check.h"
#include "fuzz/compare_reads.h"
#include "textio/list_read.h"

namespace ortelix::fuzz {

int fuzz_list_read(const std::uint8_t* data, std::size_t size) {
  Bytes b(data, size);
  std::vector<std::pair<Kind, int>> plan(static_cast<std::size_t>(b.pick(1, 8)));
  for (auto& [kind, count] : plan) {
    kind = static_cast<Kind>(b.pick(0, 2));
    count = b.pick(1, 5);
  }
  std::string text = b.rest();
  textio::CharStream in = textio::CharStream::from_text(text);
  RefStream ref(text);
  for (const auto& [kind, count] : plan) {
    if (!compare_read(in, ref, kind, count)) break;
  }
  return 0;
}

}  // namespace ortelix::fuzz
