// Format strings: parsing, and the cursor that walks them against items
// (repeat counts, item exhaustion, reversion to the last outermost group,
// colon, skips that are still pending when a record ends).
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "textio/format.h"
#include "textio/formatted_write.h"

namespace ortelix::textio {
namespace {

using Records = std::vector<std::string>;
using Value = std::variant<std::int32_t, double, float, std::string>;

Records write(std::string_view format, const std::vector<Value>& items) {
  StringSink sink;
  FormattedWrite w(format_of(format), sink);
  for (const Value& v : items) std::visit([&](const auto& x) { w.put(x); }, v);
  w.finish();
  return sink.records;
}

std::vector<Value> reals(int count, double first = 1.0) {
  std::vector<Value> v;
  for (int i = 0; i < count; ++i) v.emplace_back(first + i);
  return v;
}

std::vector<Value> ints(int from, int to) {
  std::vector<Value> v;
  for (int i = from; i <= to; ++i) v.emplace_back(i);
  return v;
}

TEST(ParseFormat, DescriptorsGroupsAndReversionPoint) {
  struct Case {
    const char* source;
    const char* traversal;
    int reversion;  // index of the group opening, 0 without a group
    bool has_data;
  } cases[] = {
      {"(1X,8F12.6)", "1X 8F12.6", 0, true},
      {"(1x, 3f5.0)", "1X 3F5.0", 0, true},
      {"(10('PCNM',I2,2X,:))", "10( 'PCNM' I2 2X :)", 0, true},
      {"(/,' Number of positive eigenvalues:',I4,/)", "/ ' Number of positive eigenvalues:' I4 /", 0, true},
      {"('FREE')", "'FREE'", 0, false},
      {"(' Input file of coordinates: ',A30)", "' Input file of coordinates: ' A30", 0, true},
      {"('it''s',\"q\")", "'it's' 'q'", 0, false},
      {"('say \"hi\"')", "'say \"hi\"'", 0, false},
      // The rightmost group directly inside the outer parentheses, not the
      // innermost and not the last descriptor.
      {"(I1,2(I2,'x'))", "I1 2( I2 'x')", 1, true},
      {"(2(I1),'a',I2)", "2( I1) 'a' I2", 0, true},
      {"(I1,2(I2),3(I3,4(I4)),F5.1)", "I1 2( I2) 3( I3 4( I4)) F5.1", 4, true},
      {"( 2X , I3 )", "2X I3", 0, true},
  };
  for (const auto& c : cases) {
    Format f;
    std::string error;
    ASSERT_TRUE(parse_format(c.source, f, error)) << c.source << ": " << error;
    EXPECT_EQ(c.traversal, describe(f)) << c.source;
    EXPECT_EQ(c.reversion, f.reversion) << c.source;
    EXPECT_EQ(c.has_data, f.has_data) << c.source;
  }
}

TEST(ParseFormat, MalformedStringsAreRefused) {
  const char* bad[] = {
      "1X,2X",   "(I)",   "(F10)", "(F10.)", "('abc)", "((I2)", "(I2))", "(I2) x",
      "(Q2)",    "(I0)",  "(0F5.1)", "(I2",  "",
  };
  for (const char* source : bad) {
    Format f;
    std::string error;
    EXPECT_FALSE(parse_format(source, f, error)) << source;
    EXPECT_FALSE(error.empty()) << source;
  }
}

TEST(ParseFormat, CachedByContentNotByAddress) {
  std::string a = "(1X,7F9.3)";
  std::string b = a;
  EXPECT_EQ(&format_of(a), &format_of(b));
  EXPECT_NE(&format_of(a), &format_of("(1X,7F9.4)"));
}

std::string labels(int from, int to, const char* sep) {
  std::string s;
  for (int k = from; k <= to; ++k) {
    if (k > from) s += sep;
    s += k < 10 ? "PCNM " + std::to_string(k) : "PCNM" + std::to_string(k);
  }
  return s;
}

TEST(FormatCursor, ItemsExhaustedStopAtNextDataDescriptor) {
  // The third F5.0 finds no item: the record ends there.
  EXPECT_EQ(Records({"    1.   2."}), write("(1X,3F5.0)", {1.0, 2.0}));
  EXPECT_EQ(Records({"    1.   2.   3."}), write("(1X,3F5.0)", {1.0, 2.0, 3.0}));
  // 1 blank and three fields of ten.
  Records three = write("(1X,10F10.5)", reals(3));
  ASSERT_EQ(1u, three.size());
  EXPECT_EQ(31u, three[0].size());
  EXPECT_EQ("    1.00000   2.00000   3.00000", three[0]);
  // Text after the last data descriptor is still written.
  EXPECT_EQ(Records({" This program can handle a maximum of   2000 objects."}),
            write("(' This program can handle a maximum of',I7,' objects.')", {2000}));
  EXPECT_EQ(Records({"", " Computation time:      1.50 sec."}),
            write("(/,' Computation time:',F10.2,' sec.')", {1.5f}));
  EXPECT_EQ(Records({" Truncation of the distance matrix to the distance" + std::string(7, ' ') + "1.000",
                     " yielded   99 positive eigenvalues."}),
            write("(' Truncation of the distance matrix to the distance',F12.3,/,' yielded',I5,"
                  "' positive eigenvalues.')",
                  {1.0, 99}));
}

TEST(FormatCursor, SlashesGiveRecordsEvenWhenEmpty) {
  EXPECT_EQ(Records({"", " Number of positive eigenvalues:  42", ""}),
            write("(/,' Number of positive eigenvalues:',I4,/)", {42}));
  EXPECT_EQ(Records({" Regular grid containing", "      5 horizontal points", "      4 vertical points", ""}),
            write("(' Regular grid containing',/,I7,' horizontal points',/,I7,' vertical points',/)", {5, 4}));
  const std::string name = "sites.txt" + std::string(70, ' ');
  EXPECT_EQ(Records({"", " Input file: sites.txt" + std::string(21, ' '), "    10 objects", "     2 coordinates",
                     "     0 supplementary objects", ""}),
            write("(/,' Input file: ',A30,/,I6,' objects',/,I6,' coordinates',/,I6,' supplementary objects',/)",
                  {name, 10, 2, 0}));
  // Each label is 37 characters; each F15.5 field here has 7 blanks.
  const std::string gap(16, ' ');
  EXPECT_EQ(Records({"", " Sum of positive eigenvalues" + gap + "12.50000",
                     " Sum of negative eigenvalues" + gap + "-0.25000",
                     " Trace of Gower-centred matrix" + std::string(14, ' ') + "12.25000"}),
            write("(/,' Sum of positive eigenvalues         ',F15.5,/,' Sum of negative eigenvalues         ',F15.5,"
                  "/,' Trace of Gower-centred matrix       ',F15.5)",
                  {12.5, -0.25, 12.25}));
  // No data descriptor at all: every descriptor runs once.
  EXPECT_EQ(Records({"", " The coordinates were ranged and centred before computing the spatial variables."}),
            write("(/,' The coordinates were ranged and centred before',' computing the spatial variables.')", {}));
  EXPECT_EQ(Records({"FREE"}), write("('FREE')", {}));
  EXPECT_EQ(Records({"", "", ""}), write("(/,/)", {}));
}

TEST(FormatCursor, NoItemsStillWritesWhatPrecedesTheFirstDataDescriptor) {
  EXPECT_EQ(Records({"PCNM"}), write("(10('PCNM',I2,2X,:))", {}));
  EXPECT_EQ(Records({"Mono"}), write("(10('Mono',I4,:))", {}));
  EXPECT_EQ(Records({""}), write("(1X,3F5.0)", {}));
  EXPECT_EQ(Records({""}), write("(12F10.5)", {}));
}

TEST(FormatCursor, ReversionToTheWholeStringWithoutGroups) {
  Records r = write("(12F10.5)", reals(25));
  ASSERT_EQ(3u, r.size());
  EXPECT_EQ(120u, r[0].size());
  EXPECT_EQ(120u, r[1].size());
  EXPECT_EQ("  25.00000", r[2]);
  EXPECT_EQ("  13.00000", r[1].substr(0, 10));
  // Each new record starts again with the 1X.
  Records e = write("(1X,8F12.6)", reals(9, -1.0));
  ASSERT_EQ(2u, e.size());
  EXPECT_EQ(97u, e[0].size());
  EXPECT_EQ("    -1.000000    0.000000", e[0].substr(0, 25));
  EXPECT_EQ("     7.000000", e[1]);
  // Exactly a multiple of the descriptors: no empty record after it.
  EXPECT_EQ(2u, write("(1X,8F12.6)", reals(16)).size());
  // A layout-1 record of 2000 fields in one line.
  Records wide = write("(2000F10.5)", reals(2000));
  ASSERT_EQ(1u, wide.size());
  EXPECT_EQ(20000u, wide[0].size());
  EXPECT_EQ("   1.00000", wide[0].substr(0, 10));
  EXPECT_EQ("2000.00000", wide[0].substr(19990));
}

TEST(FormatCursor, ReversionToTheLastOutermostGroupWithItsRepeatCount) {
  EXPECT_EQ(Records({"1 2x 3x", " 4x 5x", " 6x 7x"}), write("(I1,2(I2,'x'))", ints(1, 7)));
  // The sixth item leaves the group's second pass without an item.
  EXPECT_EQ(Records({"1 2x 3x", " 4x 5x", " 6x"}), write("(I1,2(I2,'x'))", ints(1, 6)));
  // The group is the rightmost one even though descriptors follow it.
  EXPECT_EQ(Records({"12a 3", "45a"}), write("(2(I1),'a',I2)", ints(1, 5)));
  EXPECT_EQ(Records({"  1 2 e  3", "  4", "  5"}), write("(1X,2(I2),' e',(I3))", ints(1, 5)));
  // Nested groups: the inner count starts afresh on every entry.
  EXPECT_EQ(Records({"123456", "789"}), write("(2(I1,2(I1)))", ints(1, 9)));
}

TEST(FormatCursor, ColonEndsTheWriteOnlyWhenNoItemRemains) {
  EXPECT_EQ(Records({" 1"}), write("(I2,:,' x')", {1}));
  EXPECT_EQ(Records({" 1 x"}), write("(I2,' x')", {1}));
  EXPECT_EQ(Records({" 1 x 2"}), write("(I2,:,' x',I2)", {1, 2}));

  // Ten labels per line; the 2X after the last label is dropped with the
  // record, so no line ends with blanks.
  Records r = write("(10('PCNM',I2,2X,:))", ints(1, 25));
  ASSERT_EQ(3u, r.size());
  EXPECT_EQ(labels(1, 10, "  "), r[0]);
  EXPECT_EQ(78u, r[0].size());
  EXPECT_EQ(labels(11, 20, "  "), r[1]);
  EXPECT_EQ(labels(21, 25, "  "), r[2]);
  EXPECT_EQ(Records({labels(1, 10, "  ")}), write("(10('PCNM',I2,2X,:))", ints(1, 10)));
  EXPECT_EQ(Records({labels(1, 10, "  "), "PCNM11"}), write("(10('PCNM',I2,2X,:))", ints(1, 11)));
  EXPECT_EQ(Records({"PCNM  1 PCNM  2 PCNM  3"}), write("(10('PCNM',I3,1X,:))", ints(1, 3)));
  EXPECT_EQ(Records({"Site   1Site   2Site 100"}), write("(10('Site',I4,:))", {1, 2, 100}));
  EXPECT_EQ(Records({"PCNM99  PCNM**"}), write("(10('PCNM',I2,2X,:))", {99, 100}));
}

TEST(FormatCursor, PendingSkipsBecomeBlanksOnlyBeforeLaterOutput) {
  EXPECT_EQ(Records({" 1"}), write("(I2,3X)", {1}));
  EXPECT_EQ(Records({" 1   a"}), write("(I2,3X,'a')", {1}));
  EXPECT_EQ(Records({"   a"}), write("(1X,2X,'a')", {}));
  EXPECT_EQ(Records({"", "a"}), write("(2X,/,'a')", {}));
  EXPECT_EQ(Records({"  7"}), write("(2X,I1)", {7}));
  // A skip pending at reversion does not carry into the next record.
  EXPECT_EQ(Records({" 1", " 2"}), write("(I2,4X)", {1, 2}));
}

TEST(FormatCursor, ItemsOfEveryKindAndTextWithQuotes) {
  EXPECT_EQ(Records({"it's \"q\"   ab"}), write("('it''s',' \"q\"',A5)", {std::string("ab")}));
  EXPECT_EQ(Records({"  -3 0.500"}), write("(I4,F6.3)", {-3, 0.5}));
}

}  // namespace
}  // namespace ortelix::textio
