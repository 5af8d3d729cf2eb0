#include "textio/edit_output.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace ortelix::textio {

void edit_integer(std::string& out, std::int64_t value, int w) {
  char digits[24];
  bool negative = value < 0;
  std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  auto r = std::to_chars(digits, digits + sizeof digits, mag);
  int len = static_cast<int>(r.ptr - digits) + (negative ? 1 : 0);
  if (len > w) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  out.append(static_cast<std::size_t>(w - len), ' ');
  if (negative) out += '-';
  out.append(digits, r.ptr);
}

void edit_fixed(std::string& out, double value, int w, int d) {
  if (!std::isfinite(value)) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  // The largest double has 309 integer digits: with the point and d
  // decimals the digits always fit in 311 + d characters. A fixed buffer
  // would turn a wide field (w of 400 or more) into asterisks.
  char small[400];
  std::vector<char> large;
  char* buf = small;
  std::size_t room = sizeof small;
  if (static_cast<std::size_t>(d) + 311 > room) {
    large.resize(static_cast<std::size_t>(d) + 311);
    buf = large.data();
    room = large.size();
  }
  double mag = std::fabs(value);
  auto r = std::to_chars(buf, buf + room, mag, std::chars_format::fixed, d);
  if (r.ec != std::errc()) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  char* end = r.ptr;
  if (d == 0) *end++ = '.';
  bool nonzero = false;
  for (char* c = buf; c < end; ++c) {
    if (*c >= '1' && *c <= '9') { nonzero = true; break; }
  }
  place_fixed(out, std::string_view(buf, static_cast<std::size_t>(end - buf)), std::signbit(value) && nonzero, w);
}

void place_fixed(std::string& out, std::string_view digits, bool minus, int w) {
  int n = static_cast<int>(digits.size()) + (minus ? 1 : 0);
  if (n == w + 1 && digits[0] == '0') {
    digits.remove_prefix(1);
    --n;
  }
  if (n > w) {
    out.append(static_cast<std::size_t>(w), '*');
    return;
  }
  out.append(static_cast<std::size_t>(w - n), ' ');
  if (minus) out += '-';
  out.append(digits);
}

void edit_alpha(std::string& out, std::string_view text, int w) {
  std::size_t width = static_cast<std::size_t>(w);
  if (width > text.size()) {
    out.append(width - text.size(), ' ');
    out.append(text);
  } else {
    out.append(text.substr(0, width));
  }
}

std::string list_real_text(double value) {
  std::string s = " ";
  if (std::isnan(value)) return s + " NaN";
  s += (value < 0) ? '-' : ' ';
  double mag = std::fabs(value);
  if (std::isinf(mag)) return s + "Infinity";
  if (mag == 0) return s + "0.";
  // Nine significant digits, correctly rounded; the exponent is that of the
  // rounded value, so 999999999.5 becomes 1.E+09.
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::scientific, 8);
  std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
  std::size_t epos = sci.find('e');
  std::string digits;  // the nine significant digits, without the point
  for (char c : sci.substr(0, epos)) {
    if (c != '.') digits += c;
  }
  int exp10 = 0;
  std::from_chars(sci.data() + epos + 1 + (sci[epos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exp10);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (exp10 >= -4 && exp10 <= 8) {
    if (exp10 >= 0) {
      std::size_t int_len = static_cast<std::size_t>(exp10) + 1;
      if (digits.size() <= int_len) {
        s += digits;
        s.append(int_len - digits.size(), '0');
        s += '.';
      } else {
        s += digits.substr(0, int_len);
        s += '.';
        s += digits.substr(int_len);
      }
    } else {
      s += "0.";
      s.append(static_cast<std::size_t>(-exp10 - 1), '0');
      s += digits;
    }
  } else {
    s += digits[0];
    s += '.';
    s += digits.substr(1);
    s += 'E';
    s += exp10 < 0 ? '-' : '+';
    int e = exp10 < 0 ? -exp10 : exp10;
    if (e < 10) s += '0';
    s += std::to_string(e);
  }
  return s;
}

}  // namespace ortelix::textio
