// What one output descriptor does to one item: the field is computed first
// (sign, blanks, digits), asterisks decided, then appended in one pass.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ortelix::textio {

// Iw: right-justified, minus sign when negative, w asterisks when too wide.
void edit_integer(std::string& out, std::int64_t value, int w);

// Fw.d: |value| rounded to d decimals (exact decimal of the binary value,
// ties to even), leading "0" before the point, point always present; a minus
// sign only when some rounded digit is non-zero; the leading "0" is dropped
// when it alone does not fit; otherwise w asterisks. NaN and infinities give
// w asterisks.
void edit_fixed(std::string& out, double value, int w, int d);

// The last step of Fw.d, shared by every F editor: `digits` is the rounded
// magnitude with its point ("0.50000", "12."); the sign, the dropped leading
// "0" and the asterisks are decided here.
void place_fixed(std::string& out, std::string_view digits, bool minus, int w);

// Aw: w - length blanks and the item, or the item's first w characters.
void edit_alpha(std::string& out, std::string_view text, int w);

// The free-format text of a floating-point item: a blank, a blank or minus
// sign, then the magnitude to 9 significant digits, fixed notation for
// decimal exponents -4 to 8, else mantissa "E" sign and two or more digits;
// trailing zeros removed, decimal point always present ("2.", "1.E+10",
// "1.5E-05", "0."). Minus zero is written as zero.
std::string list_real_text(double value);

}  // namespace ortelix::textio
