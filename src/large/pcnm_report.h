// The run report of ortelix-pcnm.
#pragma once

#include <string>
#include <vector>

#include "large/pcnm_run.h"
#include "textio/record_sink.h"

namespace ortelix::large {

struct ReportContext {
  std::string version;
  std::string sites;  // where the sites came from: a file name, "--grid 3 2"
  std::string variable_file;
  std::vector<std::string> column_names;  // of the written variables, as in the CSV
  std::string predicted_file;             // empty: no new sites
  Index predicted_sites = 0;
};

// The names of the written variables, as the CSV's header gives them:
// "PCNM3" (the axis) for one limit; with several, the limit's place in the
// list first, "L2_PCNM3", a name R and pandas take as it is.
std::vector<std::string> column_names(const RunResult& result);

// Everything the run decided, then, limit by limit, one line per eigenvalue
// computed: its axis, its value, and for the PCNM variables their Moran's
// I, whether they were written and under which name. Numbers carry every
// digit it takes to read them back.
void write_report(textio::RecordSink& sink, const ReportContext& context, const RunResult& result);

}  // namespace ortelix::large
