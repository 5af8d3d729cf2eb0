#include "large/pcnm_report.h"

#include <cmath>
#include <cstdio>

#include "pcnm/rules.h"
#include "textio/exact_number.h"

namespace ortelix::large {
namespace {

using textio::exact_number;

std::string number(double v) { return std::isnan(v) ? "undefined" : exact_number(v); }

void line(textio::RecordSink& sink, const std::string& label, const std::string& value) {
  std::string text = label;
  if (text.size() < 34) text.append(34 - text.size(), ' ');
  sink.record(text + value);
}

std::string runs(const std::vector<std::pair<Index, Index>>& clusters) {
  if (clusters.empty()) return "none";
  std::string text;
  for (const auto& [first, last] : clusters) {
    text += (text.empty() ? "" : ", ") + std::to_string(first + 1) + "-" + std::to_string(last);
  }
  return text + " (axes whose eigenvalues are equal within 1e-9 of the largest)";
}

void scale(textio::RecordSink& sink, const ReportContext& context, const RunResult& r, const ScaleResult& s) {
  const Index ntot = r.n + r.nsup;
  const Geometry::Kind kind = r.geometry->kind();
  const char* unit = kind == Geometry::Kind::kLongLat ? " km" : "";
  line(sink, "Truncation limit:",
       exact_number(s.limit) + unit + (s.limit_mst ? " (the longest edge of a minimum spanning tree)" : ""));
  if (kind == Geometry::Kind::kEuclidean) {
    line(sink, "Limit in ranged units:", exact_number(s.thresh) + " (limit / divisor + 1e-10f)");
    line(sink, "Far pairs become:", exact_number(pcnm::far_distance(s.thresh)) + " (4 times the limit, in ranged units)");
  } else {
    line(sink, "Far pairs become:", exact_number(pcnm::far_distance(s.thresh)) + unit + " (4 times the limit)");
  }
  const std::uint64_t all_pairs = static_cast<std::uint64_t>(ntot) * static_cast<std::uint64_t>(ntot - 1) / 2;
  line(sink, "Pairs kept:", std::to_string(s.near_pairs) + " of " + std::to_string(all_pairs));
  if (s.dense) {
    line(sink, "Eigen-solver:", "Householder reduction and QL iteration, all " + std::to_string(ntot) + " eigenvalues");
    line(sink, "Sum of positive eigenvalues:", exact_number(s.positive_sum));
    line(sink, "Sum of negative eigenvalues:", exact_number(s.negative_sum));
    line(sink, "Trace of Gower-centred matrix:", exact_number(s.trace));
  } else {
    const std::string wanted = "the " + std::to_string(s.eigenvalues.size()) + " largest eigenvalues";
    if (s.krylov.method == "block") {
      line(sink, "Eigen-solver:", "Chebyshev-filtered subspace iteration on a block of " +
                                      std::to_string(s.krylov.block) + " vectors, " + wanted);
      std::string start = "random vectors";
      if (s.krylov.levels > 0) {
        start = "from " + std::to_string(s.krylov.levels) + " coarser problem" + (s.krylov.levels > 1 ? "s" : "") +
                " on groups of sites";
      } else if (s.krylov.krylov_columns > 0) {
        start = "the leading Ritz vectors of a block Krylov space of the filter below, " +
                std::to_string(s.krylov.restarts) + " restart" + (s.krylov.restarts == 1 ? "" : "s") + ", " +
                std::to_string(s.krylov.krylov_columns) + " vectors orthogonalized";
      }
      line(sink, "Start:", start);
      line(sink, "Rayleigh-Ritz steps:", std::to_string(s.krylov.iterations));
    } else if (s.krylov.method == "shift-invert") {
      line(sink, "Eigen-solver:", "block Lanczos with thick restarts on (s I - G)^-1, a basis of at most " +
                                      std::to_string(s.krylov.block) + " vectors, " + wanted);
      line(sink, "Shift s:", exact_number(s.krylov.shift));
      char per_site[32];
      std::snprintf(per_site, sizeof per_site, "%.1f", s.krylov.factor_entries / static_cast<double>(ntot));
      line(sink, "Cholesky factor:", std::string(per_site) + " numbers a site (CHOLMOD, supernodal)");
      line(sink, "Solves with the factor:", std::to_string(s.krylov.solves));
    } else {
      line(sink, "Eigen-solver:", "implicitly restarted Lanczos (Spectra), " + wanted);
    }
    if (s.krylov.degree > 1) {
      line(sink, "Filter:", "Chebyshev polynomial of degree " + std::to_string(s.krylov.degree) + ", damping up to " +
                                exact_number(s.krylov.cut));
    }
    line(sink, "Products with the matrix:", std::to_string(s.krylov.products));
    const double top = std::fabs(s.eigenvalues.empty() ? 1.0 : s.eigenvalues.front());
    line(sink, "Largest residual:", exact_number(s.krylov.largest_residual / top) +
                                        " (||G v - lambda v|| over the largest eigenvalue)");
  }
  line(sink, "Positive eigenvalues:",
       std::to_string(s.npcnm) + (s.dense ? "" : " of those computed") + " (at least 5e-7)");
  line(sink, "Equal eigenvalues:", runs(s.clusters));
  if (s.count_raised_to > 0) {
    line(sink, "Count raised:", "to " + std::to_string(s.count_raised_to) +
                                    ", so that no run of equal eigenvalues is cut");
  }
  if (s.correlation_checked) {
    line(sink, "Largest absolute correlation:",
         exact_number(s.largest_correlation) + " (between two variables, over the sites of the analysis)");
  }
  line(sink, "Moran's I expectation:", exact_number(s.moran_expectation) + " (-1 / (n - 1))");
  line(sink, "Variables written:", std::to_string(s.written_axes.size()) + " to " + context.variable_file);
  sink.record("");
  sink.record("axis eigenvalue moran_i written");
  std::size_t next = 0;
  for (std::size_t j = 0; j < s.eigenvalues.size(); ++j) {
    std::string text = std::to_string(j + 1) + " " + exact_number(s.eigenvalues[j]);
    if (j < s.moran.size()) {
      const bool written = next < s.written_axes.size() && s.written_axes[next] == static_cast<Index>(j + 1);
      std::string name;
      if (written) {
        const std::size_t column = static_cast<std::size_t>(s.first_column) + next;
        name = column < context.column_names.size() ? " " + context.column_names[column] : "";
        ++next;
      }
      text += " " + number(s.moran[j]) + (written ? " yes" + name : " no");
    } else {
      text += " - -";
    }
    sink.record(text);
  }
}

}  // namespace

std::vector<std::string> column_names(const RunResult& r) {
  std::vector<std::string> names;
  for (std::size_t k = 0; k < r.scales.size(); ++k) {
    for (Index axis : r.scales[k].written_axes) {
      names.push_back((r.scales.size() > 1 ? "L" + std::to_string(k + 1) + "_" : std::string()) + "PCNM" +
                      std::to_string(axis));
    }
  }
  return names;
}

void write_report(textio::RecordSink& sink, const ReportContext& context, const RunResult& r) {
  const Index ntot = r.n + r.nsup;
  sink.record("ortelix-pcnm " + context.version + ": PCNM variables of " + context.sites);
  sink.record("");
  std::string sites = std::to_string(ntot);
  if (r.nsup > 0) sites += " (" + std::to_string(r.n) + " of the analysis, " + std::to_string(r.nsup) + " supplementary)";
  line(sink, "Sites:", sites);
  switch (r.geometry->kind()) {
    case Geometry::Kind::kEuclidean:
      line(sink, "Coordinates per site:", std::to_string(r.p));
      line(sink, "Ranging divisor:", exact_number(r.rangmax) + " (the largest range times 0.1f)");
      break;
    case Geometry::Kind::kLongLat:
      line(sink, "Distances:", "great circles (haversine) in km on a sphere of radius " +
                                   exact_number(kEarthRadiusKm) + " km, between longitudes and latitudes; no ranging");
      break;
    case Geometry::Kind::kPairs:
      line(sink, "Distances:", "as listed pair by pair, in the units of the list; pairs not listed are far; no ranging");
      break;
  }
  if (r.scales.size() > 1) line(sink, "Limits:", std::to_string(r.scales.size()) + ", each with its own section");
  line(sink, "Variables written:", std::to_string(r.columns()) + " to " + context.variable_file);
  if (!context.predicted_file.empty()) {
    line(sink, "New sites:", std::to_string(context.predicted_sites) + ", their values written to " +
                                 context.predicted_file);
  }
  line(sink, "Signs:", "each variable is positive at the first site where its magnitude is largest");
  for (const std::string& note : r.notes) line(sink, "Note:", note);
  for (std::size_t k = 0; k < r.scales.size(); ++k) {
    sink.record("");
    if (r.scales.size() > 1) {
      sink.record("Limit " + std::to_string(k + 1) + " of " + std::to_string(r.scales.size()));
      sink.record("");
    }
    scale(sink, context, r, r.scales[k]);
  }
}

}  // namespace ortelix::large
