// Shared by the fuzz targets: reading the fuzzer's bytes, and what a broken
// invariant does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

namespace ortelix::fuzz {

// Under libFuzzer a broken invariant aborts, so that the input is kept as a
// crash; the replay test makes it throw, so that every input is reported.
inline bool throw_on_failure = false;

inline void check(bool ok, const std::string& what) {
  if (ok) return;
  if (throw_on_failure) throw std::runtime_error(what);
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

// Takes small numbers from the front of the input; the rest is the text.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
  int pick(int lo, int hi) {  // lo once the input is used up
    if (left_ == 0 || hi <= lo) return lo;
    --left_;
    return lo + static_cast<int>(*p_++ % static_cast<unsigned>(hi - lo + 1));
  }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned>(pick(0, 255));
    return v;
  }
  std::string rest() { return std::string(reinterpret_cast<const char*>(p_), std::exchange(left_, 0)); }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

int fuzz_list_read(const std::uint8_t* data, std::size_t size);
int fuzz_coordinate_file(const std::uint8_t* data, std::size_t size);
int fuzz_format(const std::uint8_t* data, std::size_t size);
int fuzz_sites_file(const std::uint8_t* data, std::size_t size);
int fuzz_variable_file(const std::uint8_t* data, std::size_t size);
int fuzz_command_line(const std::uint8_t* data, std::size_t size);

}  // namespace ortelix::fuzz
