#include "large/pcnm_report.h"

#include <cmath>

#include "tools/command_line.h"

namespace ortelix::large {
namespace {

using tools::exact_number;

std::string number(double v) { return std::isnan(v) ? "undefined" : exact_number(v); }

void line(textio::RecordSink& sink, const std::string& label, const std::string& value) {
  std::string text = label;
  if (text.size() < 34) text.append(34 - text.size(), ' ');
  sink.record(text + value);
}

}  // namespace

void write_report(textio::RecordSink& sink, const ReportContext& context, const RunResult& r) {
  const long ntot = r.n + r.nsup;
  sink.record("ortelix-pcnm " + context.version + ": PCNM variables of " + context.sites);
  sink.record("");
  std::string sites = std::to_string(ntot);
  if (r.nsup > 0) sites += " (" + std::to_string(r.n) + " of the analysis, " + std::to_string(r.nsup) + " supplementary)";
  line(sink, "Sites:", sites);
  line(sink, "Coordinates per site:", std::to_string(r.p));
  line(sink, "Ranging divisor:", exact_number(r.rangmax) + " (the largest range times 0.1f)");
  line(sink, "Truncation limit:",
       exact_number(r.limit) + (context.limit_mst ? " (the longest edge of a minimum spanning tree)" : ""));
  line(sink, "Limit in ranged units:", exact_number(r.thresh) + " (limit / divisor + 1e-10f)");
  line(sink, "Far pairs become:", exact_number(r.thresh * 4.0) + " (4 times the limit, in ranged units)");
  const std::uint64_t all_pairs = static_cast<std::uint64_t>(ntot) * static_cast<std::uint64_t>(ntot - 1) / 2;
  line(sink, "Pairs kept:", std::to_string(r.near_pairs) + " of " + std::to_string(all_pairs));
  if (r.dense) {
    line(sink, "Eigen-solver:", "Householder reduction and QL iteration, all " + std::to_string(ntot) + " eigenvalues");
    line(sink, "Sum of positive eigenvalues:", exact_number(r.positive_sum));
    line(sink, "Sum of negative eigenvalues:", exact_number(r.negative_sum));
    line(sink, "Trace of Gower-centred matrix:", exact_number(r.trace));
  } else {
    const std::string wanted = "the " + std::to_string(r.eigenvalues.size()) + " largest eigenvalues";
    if (r.krylov.method == "block") {
      line(sink, "Eigen-solver:", "Chebyshev-filtered subspace iteration on a block of " +
                                      std::to_string(r.krylov.block) + " vectors, " + wanted);
      line(sink, "Start:", r.krylov.levels > 0 ? "from " + std::to_string(r.krylov.levels) +
                                                     " coarser problem" + (r.krylov.levels > 1 ? "s" : "") +
                                                     " on groups of sites"
                                               : std::string("random vectors"));
      line(sink, "Rayleigh-Ritz steps:", std::to_string(r.krylov.iterations));
    } else {
      line(sink, "Eigen-solver:", "implicitly restarted Lanczos (Spectra), " + wanted);
    }
    if (r.krylov.degree > 1) {
      line(sink, "Filter:", "Chebyshev polynomial of degree " + std::to_string(r.krylov.degree) + ", damping up to " +
                                exact_number(r.krylov.cut));
    }
    line(sink, "Products with the matrix:", std::to_string(r.krylov.products));
    const double scale = std::fabs(r.eigenvalues.empty() ? 1.0 : r.eigenvalues.front());
    line(sink, "Largest residual:", exact_number(r.krylov.largest_residual / scale) +
                                        " (||G v - lambda v|| over the largest eigenvalue)");
  }
  line(sink, "Positive eigenvalues:",
       std::to_string(r.npcnm) + (r.dense ? "" : " of those computed") + " (at least 5e-7)");
  if (r.correlation_checked) {
    line(sink, "Largest absolute correlation:",
         exact_number(r.largest_correlation) + " (between two variables, over the sites of the analysis)");
  }
  line(sink, "Moran's I expectation:", exact_number(r.moran_expectation) + " (-1 / (n - 1))");
  line(sink, "Variables written:", std::to_string(r.written_axes.size()) + " to " + context.variable_file);
  line(sink, "Signs:", "each variable is positive at the first site where its magnitude is largest");
  sink.record("");
  sink.record("axis eigenvalue moran_i written");
  std::size_t next_written = 0;
  for (std::size_t j = 0; j < r.eigenvalues.size(); ++j) {
    std::string text = std::to_string(j + 1) + " " + exact_number(r.eigenvalues[j]);
    if (j < r.moran.size()) {
      const bool written = next_written < r.written_axes.size() && r.written_axes[next_written] == static_cast<int>(j + 1);
      if (written) ++next_written;
      text += " " + number(r.moran[j]) + (written ? " yes" : " no");
    } else {
      text += " - -";
    }
    sink.record(text);
  }
}

}  // namespace ortelix::large
