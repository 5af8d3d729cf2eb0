// Large CSV files are formatted a batch of rows at a time on two threads:
// every row once, in order, at any count of rows around the batches'
// edges. Whole numbers print as their digits, so each line is known by
// hand.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output/variable_writer.h"
#include "textio/record_sink.h"

namespace ortelix::output {
namespace {

TEST(CsvRows, EveryRowOnceAndInOrder) {
  for (Index n : {1, 3, 4095, 4096, 8192, 8193, 12289, 20000}) {
    SCOPED_TRACE("rows " + std::to_string(n));
    std::vector<double> x(static_cast<std::size_t>(2 * n));
    for (Index i = 0; i < n; ++i) {
      x[i] = static_cast<double>(7 * i);
      x[n + i] = -static_cast<double>(i + 1);
    }
    VariableTable t;
    t.kind = Kind::kPcnm;
    t.n = n;
    t.x = x.data();
    t.ld = n;
    t.columns = {1, 0};
    t.numbers = {2, 1};
    textio::StringSink sink;
    write_variables(sink, Layout::kCsv, t);
    ASSERT_EQ(sink.records.size(), static_cast<std::size_t>(n + 1));
    EXPECT_EQ("site,PCNM2,PCNM1", sink.records[0]);
    for (Index i = 0; i < n; ++i) {
      ASSERT_EQ(std::to_string(i + 1) + ",-" + std::to_string(i + 1) + "," + std::to_string(7 * i),
                sink.records[static_cast<std::size_t>(i + 1)]);
    }
  }
}

}  // namespace
}  // namespace ortelix::output
