// The run report of ortelix-pcnm.
#pragma once

#include <string>

#include "large/pcnm_run.h"
#include "textio/record_sink.h"

namespace ortelix::large {

struct ReportContext {
  std::string version;
  std::string sites;  // where the sites came from: a file name, "--grid 3 2"
  bool limit_mst = false;
  std::string variable_file;
};

// Everything the run decided, then one line per eigenvalue computed: its
// axis, its value, and for the PCNM variables their Moran's I and whether
// they were written. Numbers carry every digit it takes to read them back.
void write_report(textio::RecordSink& sink, const ReportContext& context, const RunResult& result);

}  // namespace ortelix::large
