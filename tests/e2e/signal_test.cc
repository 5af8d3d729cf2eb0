// The interrupt and termination signals while the program waits for an
// answer and while it is deep in an eigen-decomposition: the run ends with
// "Interrupt" or "Killed" and status 1, and every file holds whole records
// only, everything written before the signal flushed.

#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "support/dialogue.h"

namespace ortelix::e2e {
namespace {

TEST(Signals, EndTheRunWithTheirMessageAndFlushedFiles) {
  const std::string at_limit = kBanner + kTransectRecord + kRanging + kPcnmHeading;
  const std::string limit_records =
      "    Highest unmodified distance value =        1.000\n    Multiplier for \"large distances\"  =        4.000\n";
  struct Row {
    const char* what;
    std::string answers, cue;
    int delay_ms;
    std::string screen_end;
    Files files;
  };
  for (const Row& row : {
           Row{"before any file is named", "", kAskReport, 0, kAskReport, {}},
           Row{"waiting for the truncation limit", "rep.txt\nvar.txt\n1\n1\n10\n1\n", kAskLimit, 0, kAskLimit,
               {{"rep.txt", at_limit}, {"var.txt", ""}}},
           // 2000 sites take a second or more to decompose however fast the
           // kernels; the signal comes a tenth of a second after the answer.
           Row{"during the decomposition", "rep.txt\nvar.txt\n1\n1\n2000\n1\n1\n", kAskLimit, 100, kAskLimit + "\n",
               {{"rep.txt", at_limit + limit_records}, {"var.txt", ""}}},
       }) {
    for (auto [sig, message] : {std::pair{SIGINT, "Interrupt\n"}, std::pair{SIGTERM, "Killed\n"}}) {
      SCOPED_TRACE(std::string(row.what) + ", " + message);
      RunOptions options;
      options.signal = sig;
      options.signal_after = row.cue;
      options.signal_delay_ms = row.delay_ms;
      RunResult r = run_fresh(row.answers, options);
      EXPECT_EQ(message, r.stderr_text);
      EXPECT_EQ("exit 1", r.status);
      EXPECT_TRUE(r.stdout_text.ends_with(row.screen_end)) << r.stdout_text;
      EXPECT_EQ(row.files, r.files);
    }
  }
}

}  // namespace
}  // namespace ortelix::e2e
