#include "textio/fixed_fast.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "textio/edit_output.h"
#include "textio/format.h"

namespace ortelix::textio {
namespace {

#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 Wide;
#endif

// Decimals handled here: m * 10^d stays within 128 bits for every double
// significand m < 2^53.
constexpr int kMaxDecimals = 18;
// Magnitudes handled here: below 2^52 every double has a fractional binary
// exponent, so the rounding below always has bits to look at.
constexpr double kMaxMagnitude = 4503599627370496.0;  // 2^52

}  // namespace

void edit_fixed_fast(std::string& out, double value, int w, int d) {
#ifndef __SIZEOF_INT128__
  edit_fixed(out, value, w, d);
#else
  const double mag = std::fabs(value);
  if (!(mag < kMaxMagnitude) || d < 0 || d > kMaxDecimals || w < 1) {
    edit_fixed(out, value, w, d);  // NaN, infinities, huge values, odd fields
    return;
  }
  // |value| = m 2^-s exactly; round m 10^d / 2^s to an integer, ties to even:
  // the correctly rounded decimal of the binary value, as the general
  // conversion gives it.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(mag);
  const int biased = static_cast<int>(bits >> 52);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int s = 1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    s = 1075 - biased;  // >= 1 below 2^52
  }
  static constexpr std::uint64_t kPow10[kMaxDecimals + 1] = {1,
                                                             10,
                                                             100,
                                                             1000,
                                                             10000,
                                                             100000,
                                                             1000000,
                                                             10000000,
                                                             100000000,
                                                             1000000000,
                                                             10000000000,
                                                             100000000000,
                                                             1000000000000,
                                                             10000000000000,
                                                             100000000000000,
                                                             1000000000000000,
                                                             10000000000000000,
                                                             100000000000000000,
                                                             1000000000000000000};
  const Wide scaled = static_cast<Wide>(m) * kPow10[d];
  Wide q = 0;
  if (s < 128) {
    q = scaled >> s;
    const Wide rest = scaled - (q << s);
    const Wide half = static_cast<Wide>(1) << (s - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }  // else the value is below half a unit of the last decimal: q = 0
  if ((q >> 64) != 0) {
    edit_fixed(out, value, w, d);
    return;
  }
  // Digits of q, the last d of them after the point.
  char digits[24];
  int len = 0;
  std::uint64_t v = static_cast<std::uint64_t>(q);
  do {
    digits[len++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (len < d + 1) digits[len++] = '0';  // "0.000123": a zero integer part
  // digits[] holds the number backwards: len - d integer digits, d decimals.
  char text[26];
  int t = 0;
  for (int i = len - 1; i >= d; --i) text[t++] = digits[i];
  text[t++] = '.';
  for (int i = d - 1; i >= 0; --i) text[t++] = digits[i];
  place_fixed(out, std::string_view(text, static_cast<std::size_t>(t)), std::signbit(value) && q != 0, w);
#endif
}

RepeatedFixed::RepeatedFixed(std::string_view format) {
  const Format& f = format_of(format);
  if (f.ops.size() != 1 || f.reversion != 0) return;
  const Descriptor& op = f.ops[0];
  if (op.op != Op::kFixed || op.repeat < 1) return;
  repeat_ = op.repeat;
  width_ = op.width;
  decimals_ = op.decimals;
  valid_ = true;
}

void RepeatedFixed::write(RecordSink& sink, const double* values, int count) {
  int i = 0;
  do {
    record_.clear();
    const int end = count - i < repeat_ ? count : i + repeat_;
    for (; i < end; ++i) edit_fixed_fast(record_, values[i], width_, decimals_);
    sink.record(record_);
  } while (i < count);
}

}  // namespace ortelix::textio
