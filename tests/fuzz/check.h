// Shared by the fuzz targets: reading the fuzzer's bytes, and what a broken
// invariant does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ortelix::fuzz {

// Under libFuzzer a broken invariant aborts, so that the input is kept as a
// crash; the replay test in the normal suite makes it throw instead, so that
// every stored input is reported by name.
[[noreturn]] void fail(const std::string& what);
void throw_on_failure(bool on);

inline void check(bool ok, const std::string& what) {
  if (!ok) fail(what);
}

// Takes small numbers from the front of the input; the rest is the text.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
  // A value in [lo, hi]; lo when the input is used up.
  int pick(int lo, int hi) {
    if (left_ == 0 || hi <= lo) return lo;
    int v = lo + static_cast<int>(*p_ % static_cast<unsigned>(hi - lo + 1));
    ++p_;
    --left_;
    return v;
  }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned>(pick(0, 255));
    return v;
  }
  std::string rest() {
    std::string s(reinterpret_cast<const char*>(p_), left_);
    p_ += left_;
    left_ = 0;
    return s;
  }
  bool empty() const { return left_ == 0; }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

// The fuzz targets; each returns 0 as libFuzzer expects.
int fuzz_list_read(const std::uint8_t* data, std::size_t size);
int fuzz_coordinate_file(const std::uint8_t* data, std::size_t size);
int fuzz_format(const std::uint8_t* data, std::size_t size);

}  // namespace ortelix::fuzz
