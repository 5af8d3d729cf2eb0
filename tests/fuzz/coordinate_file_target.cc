// A coordinate file read the way the coordinate reader reads it: the three
// header counts in one read, then one read of p coordinates per site, each
// compared with the reference reader.

#include <cstdint>

#include "fuzz/check.h"
#include "fuzz/compare_reads.h"
#include "textio/list_read.h"

namespace ortelix::fuzz {

int fuzz_coordinate_file(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  textio::CharStream in = textio::CharStream::from_text(text);
  RefStream ref(text);
  std::vector<RefItem> header;
  if (!compare_read(in, ref, Kind::kInteger, 3, &header)) return 0;
  const std::int64_t n = header[0].integer, p = header[1].integer, nsup = header[2].integer;
  // The reader refuses these headers before reading any site.
  if (n < 1 || p < 1 || nsup < 0 || p > 2000 || n + nsup > 2000) return 0;
  // Keeps each input fast; a long file is no different from a short one.
  if (p * (n + nsup) > 20000) return 0;
  for (std::int64_t i = 0; i < n + nsup; ++i) {
    if (!compare_read(in, ref, Kind::kReal, static_cast<int>(p))) return 0;
  }
  return 0;
}

}  // namespace ortelix::fuzz
