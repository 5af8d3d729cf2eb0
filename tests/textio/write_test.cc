// Formatted and free-format output. Every expected record is worked out
// from the editing rules; where a rounding depends on the exact binary
// value, that value is noted beside the case.
#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "textio/edit_output.h"
#include "textio/formatted_write.h"
#include "textio/list_write.h"

namespace ortelix::textio {
namespace {

using Item = std::variant<std::int32_t, double, float, std::string>;
using Items = std::vector<Item>;

std::string joined(const std::vector<std::string>& records) {
  std::string s;
  for (const std::string& r : records) s += r + "\n";
  return s;
}

std::string formatted(const std::string& format, const Items& items) {
  StringSink sink;
  FormattedWrite w(format_of(format), sink);
  for (const Item& v : items) std::visit([&](const auto& x) { w.put(x); }, v);
  w.finish();
  return joined(sink.records);
}

std::string listed(const Items& items) {
  StringSink sink;
  ListWrite w(sink);
  for (const Item& v : items) {
    if (auto* t = std::get_if<std::string>(&v)) w.text(*t);
    if (auto* i = std::get_if<std::int32_t>(&v)) w.integer(*i);
    if (auto* r = std::get_if<double>(&v)) w.real(*r);
  }
  w.finish();
  return joined(sink.records);
}

Items count(int from, int to, bool real = false) {
  Items v;
  for (int i = from; i <= to; ++i) real ? v.emplace_back(static_cast<double>(i)) : v.emplace_back(i);
  return v;
}

// Whole numbers from..to, each in Fw.d; exact, so no rounding is involved.
std::string fields(int from, int to, int w, int d) {
  std::string s;
  for (int i = from; i <= to; ++i) s += std::string(w - d - 1 - std::to_string(i).size(), ' ') + std::to_string(i) + "." + std::string(d, '0');
  return s;
}

std::string labels(const char* word, int from, int to) {
  std::string s;
  for (int k = from; k <= to; ++k) s += word + std::string(k < 10 ? " " : "") + std::to_string(k) + (k < to ? "  " : "");
  return s;
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::string kName = "sites.txt" + std::string(70, ' ');  // a 79-character name variable

struct Case {
  std::string format;
  Items items;
  std::string records;
};

TEST(FormattedWrite, EditingOfSingleItems) {
  const Case cases[] = {
      {"(F10.5)", {0.5}, "   0.50000\n"}, {"(F10.5)", {-2.25}, "  -2.25000\n"}, {"(F5.0)", {3.0}, "   3.\n"},
      {"(F7.4)", {0.123456}, " 0.1235\n"}, {"(F7.4)", {1.0}, " 1.0000\n"}, {"(F7.4)", {-0.25}, "-0.2500\n"},
      {"(F10.5)", {1234.0}, "1234.00000\n"}, {"(F6.3)", {9.9996}, "10.000\n"}, {"(F7.3)", {-9.9996}, "-10.000\n"},
      {"(F10.2)", {12.345}, "     12.35\n"},  // 12.34500000000000063...
      // Negative values that round to zero carry no sign.
      {"(F10.5)", {-0.000001}, "   0.00000\n"}, {"(F10.3)", {-0.0004}, "     0.000\n"}, {"(F5.2)", {-0.0}, " 0.00\n"},
      {"(F3.0)", {-0.5}, " 0.\n"}, {"(F6.3)", {-0.0005}, "-0.001\n"},  // -0.00050000000000000001...
      // Too wide: the leading zero goes only when that alone makes it fit.
      {"(F12.3)", {123456789.0}, "************\n"}, {"(F10.5)", {123456.0}, "**********\n"},
      {"(F10.5)", {12345.0}, "**********\n"}, {"(F6.4)", {-0.25}, "-.2500\n"}, {"(F5.4)", {0.25}, ".2500\n"},
      {"(F5.4)", {-0.25}, "*****\n"}, {"(F4.4)", {0.25}, "****\n"}, {"(F10.5)", {kNaN}, "**********\n"},
      {"(F12.7)", {-std::numeric_limits<double>::max()}, "************\n"}, {"(F12.7)", {-kInf}, "************\n"},
      // Exact ties go to the even digit; other decimal literals follow
      // their binary value.
      {"(F5.2)", {0.125}, " 0.12\n"}, {"(F5.2)", {0.375}, " 0.38\n"}, {"(F3.0)", {2.5}, " 2.\n"},
      {"(F3.0)", {3.5}, " 4.\n"}, {"(F3.0)", {-2.5}, "-2.\n"}, {"(F4.1)", {0.15}, " 0.1\n"},  // 0.1499999...
      {"(F4.1)", {0.45}, " 0.5\n"}, {"(F5.2)", {2.675}, " 2.67\n"},  // 0.4500000...01, 2.6749999...
      {"(F22.20)", {0.1}, "0.10000000000000000555\n"},
      {"(F12.10)", {0.1f}, "0.1000000015\n"},  // widened, not reconverted
      {"(F405.400)", {1.0}, "   1." + std::string(400, '0') + "\n"},
      {"(I2)", {100}, "**\n"}, {"(I2)", {99}, "99\n"}, {"(I4)", {0}, "   0\n"}, {"(I4)", {-12}, " -12\n"},
      {"(I2)", {-12}, "**\n"}, {"(I2)", {-1}, "-1\n"}, {"(I7)", {std::numeric_limits<std::int32_t>::min()}, "*******\n"},
      {"(I11)", {std::numeric_limits<std::int32_t>::min()}, "-2147483648\n"},
      {"(A5)", {"abc"}, "  abc\n"}, {"(A3)", {"abcdef"}, "abc\n"}, {"(A2)", {""}, "  \n"},
      {"(A30)", {kName}, "sites.txt" + std::string(21, ' ') + "\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.records, formatted(c.format, c.items)) << c.format;
}

TEST(FormattedWrite, RecordsOfAWrite) {
  const std::string sums =
      "(/,' Sum of positive eigenvalues         ',F15.5,/,' Sum of negative eigenvalues         ',F15.5,/,"
      "' Trace of Gower-centred matrix       ',F15.5)";
  const Case cases[] = {
      // The third F5.0 finds no item: the record ends there.
      {"(1X,3F5.0)", {1.0, 2.0}, "    1.   2.\n"}, {"(1X,3F5.0)", {}, "\n"},
      {"(1X,10F10.5)", count(1, 3, true), " " + fields(1, 3, 10, 5) + "\n"},
      // Text after the last data descriptor is still written.
      {"(' This program can handle a maximum of',I7,' objects.')", {2000},
       " This program can handle a maximum of   2000 objects.\n"},
      {"(/,' Computation time:',F10.2,' sec.')", {1.5f}, "\n Computation time:      1.50 sec.\n"},
      {"(/,' Number of positive eigenvalues:',I4,/)", {42}, "\n Number of positive eigenvalues:  42\n\n"},
      {"(' Regular grid containing',/,I7,' horizontal points',/,I7,' vertical points',/)", {5, 4},
       " Regular grid containing\n      5 horizontal points\n      4 vertical points\n\n"},
      {"(/,' Input file: ',A30,/,I6,' objects',/,I6,' coordinates',/,I6,' supplementary objects',/)",
       {kName, 10, 2, 0},
       "\n Input file: sites.txt" + std::string(21, ' ') +
           "\n    10 objects\n     2 coordinates\n     0 supplementary objects\n\n"},
      {sums, {12.5, -0.25, 12.25},
       "\n Sum of positive eigenvalues                12.50000\n Sum of negative eigenvalues                "
       "-0.25000\n Trace of Gower-centred matrix              12.25000\n"},
      {"(/,' The coordinates were ranged and centred before',' computing the spatial variables.')", {},
       "\n The coordinates were ranged and centred before computing the spatial variables.\n"},
      {"('it''s',' \"q\"',A5)", {"ab"}, "it's \"q\"   ab\n"},
      // Reversion: to the whole string, each record starting again.
      {"(12F10.5)", count(1, 25, true),
       fields(1, 12, 10, 5) + "\n" + fields(13, 24, 10, 5) + "\n" + fields(25, 25, 10, 5) + "\n"},
      {"(1X,8F12.6)", count(-1, 7, true), " " + fields(-1, 6, 12, 6) + "\n " + fields(7, 7, 12, 6) + "\n"},
      {"(1X,8F12.6)", count(1, 16, true), " " + fields(1, 8, 12, 6) + "\n " + fields(9, 16, 12, 6) + "\n"},
      {"(2000F10.5)", count(1, 2000, true), fields(1, 2000, 10, 5) + "\n"},
      // ... or to the rightmost outermost group, with its repeat count.
      {"(I1,2(I2,'x'))", count(1, 7), "1 2x 3x\n 4x 5x\n 6x 7x\n"}, {"(2(I1),'a',I2)", count(1, 5), "12a 3\n45a\n"},
      {"(I1,2(I2,'x'))", count(1, 6), "1 2x 3x\n 4x 5x\n 6x\n"}, {"(2(I1,2(I1)))", count(1, 9), "123456\n789\n"},
      {"(1X,2(I2),' e',(I3))", count(1, 5), "  1 2 e  3\n  4\n  5\n"},
      // A colon ends the write only when no item remains.
      {"(I2,:,' x')", {1}, " 1\n"}, {"(I2,' x')", {1}, " 1 x\n"}, {"(I2,:,' x',I2)", {1, 2}, " 1 x 2\n"},
      {"(10('PCNM',I2,2X,:))", count(1, 25),
       labels("PCNM", 1, 10) + "\n" + labels("PCNM", 11, 20) + "\n" + labels("PCNM", 21, 25) + "\n"},
      {"(10('PCNM',I2,2X,:))", count(1, 11), labels("PCNM", 1, 10) + "\nPCNM11\n"},
      {"(10('PCNM',I2,2X,:))", {99, 100}, "PCNM99  PCNM**\n"},
      {"(10('PCNM',I3,1X,:))", count(1, 3), "PCNM  1 PCNM  2 PCNM  3\n"},
      {"(10('Site',I4,:))", {1, 2, 100}, "Site   1Site   2Site 100\n"},
      {"(10('Mono',I2,2X,:))", {}, "Mono\n"},
      // A skip writes blanks only when something follows in the record.
      {"(I2,3X)", {1}, " 1\n"}, {"(I2,3X,'a')", {1}, " 1   a\n"}, {"(2X,/,'a')", {}, "\na\n"},
      {"(I2,4X)", {1, 2}, " 1\n 2\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.records, formatted(c.format, c.items)) << c.format;
}

TEST(ListWrite, RealsInNineSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {2.0, "  2."}, {0.0, "  0."}, {-0.0, "  0."}, {-2.5, " -2.5"}, {0.1, "  0.1"},
      {-2.0 / 3.0, " -0.666666667"}, {9.99999985098839, "  9.99999985"},
      {static_cast<double>(0.4f), "  0.400000006"},  // 0.40000000596...
      {1234567.891, "  1234567.89"},
      // Fixed notation while the exponent of the rounded value is -4 to 8.
      {123456789.4, "  123456789."}, {99999999.95, "  100000000."}, {1e9, "  1.E+09"},
      {999999999.5, "  1.E+09"},      // a tie: 999999999 is odd, so up
      {999999998.5, "  999999998."},  // a tie down to the even digit
      {1e10, "  1.E+10"}, {-1.5e10, " -1.5E+10"}, {1e-4, "  0.0001"}, {1.5e-4, "  0.00015"},
      {9.99999994e-5, "  9.99999994E-05"}, {9.999999996e-5, "  0.0001"}, {1.5e-5, "  1.5E-05"},
      {1e100, "  1.E+100"}, {1e-100, "  1.E-100"}, {5e-324, "  4.94065646E-324"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(text, list_real_text(value)) << value;
}

TEST(ListWrite, ItemsAndWhereALineWraps) {
  const std::string a74(74, 'a'), a75(75, 'a'), a77(77, 'a'), a78(78, 'a'), t90(90, 't');
  std::string quarters;
  for (int i = 0; i < 13; ++i) quarters += "  0.25";
  const std::pair<Items, std::string> cases[] = {
      {{}, "\n"},
      {{""}, " \n"},
      {{"Maximum number = ", 2000}, " Maximum number =  2000\n"},
      {{"Bs/rangmax =", 0.25}, " Bs/rangmax =  0.25\n"},
      {{-17, std::numeric_limits<std::int32_t>::min()}, " -17 -2147483648\n"},
      {{2.0, -1.0, 0}, "  2. -1. 0\n"},
      {{3, " objects"}, " 3 objects\n"},
      {{"ab  ", "cd "}, " ab  cd \n"},
      // A text wraps when the line would reach 80; one longer than that
      // stands alone, never split; a name variable counts its blanks.
      {{a77, "b", "c"}, " " + a77 + "b\n c\n"},
      {{"xxxxx", t90, "z"}, " xxxxx\n " + t90 + "\n z\n"},
      {{"written out to file ", kName}, " written out to file \n " + kName + "\n"},
      {{"written out to file ", std::string(58, 'n')}, " written out to file " + std::string(58, 'n') + "\n"},
      // An integer counts its digits only: after 78 characters one digit
      // stays and makes the line 80 long.
      {{a77, 5}, " " + a77 + " 5\n"},
      {{a77, -5}, " " + a77 + " -5\n"},
      {{a78, 5, " objects"}, " " + a78 + "\n 5 objects\n"},
      {{a77, 12}, " " + a77 + "\n 12\n"},
      // A real counts its two leading characters.
      {{a74, 2.0}, " " + a74 + "  2.\n"},
      {{a75, 2.0}, " " + a75 + "\n  2.\n"},
      {Items(20, 0.25), quarters + "\n" + quarters.substr(0, 42) + "\n"},
  };
  for (const auto& [items, records] : cases) EXPECT_EQ(records, listed(items));
}

}  // namespace
}  // namespace ortelix::textio
