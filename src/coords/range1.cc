#include "coords/coords.h"
#include "output/report.h"
#include "pcnm/constants.h"
#include "textio/io.h"

namespace ortelix::coords {
namespace {

void say_vector(const char* label, const double* v, std::int32_t p) {
  textio::ListWrite w(textio::unit_sink(textio::kScreen, "list io"));
  w.text(label);
  for (long j = 0; j < p; ++j) w.real(v[j]);
  w.finish();
}

}  // namespace

double range_coordinates(std::int64_t ntot, std::int32_t p, std::int64_t ld, double* x, double* vmin, double* vmax,
                         bool pcnm) {
  auto at = [&](long i, long j) -> double& { return x[j * ld + i]; };
  for (long j = 0; j < p; ++j) {
    vmin[j] = at(0, j);
    vmax[j] = at(0, j);
  }
  for (long i = 1; i < ntot; ++i) {
    for (long j = 0; j < p; ++j) {
      if (at(i, j) < vmin[j]) vmin[j] = at(i, j);
      if (at(i, j) > vmax[j]) vmax[j] = at(i, j);
    }
  }
  for (long i = 0; i < ntot; ++i) {
    for (long j = 0; j < p; ++j) at(i, j) = at(i, j) - vmin[j];
  }
  for (long j = 0; j < p; ++j) vmax[j] = vmax[j] - vmin[j];
  double rangmax = vmax[0];
  for (long j = 1; j < p; ++j) {
    if (vmax[j] > rangmax) rangmax = vmax[j];
  }
  if (rangmax == 0.0) return 0.0;
  if (pcnm) rangmax = rangmax * pcnm::kRangeFactor;
  for (long i = 0; i < ntot; ++i) {
    for (long j = 0; j < p; ++j) at(i, j) = at(i, j) / rangmax;
  }
  return rangmax;
}

void range1(std::int32_t n, std::int32_t p, std::int32_t nsup, std::int32_t nmax, double* x, double* vmin,
            double* vmax, double& rangmax, std::int32_t method, std::int32_t report_unit, std::int32_t verbose) {
  (void)report_unit;  // the report module owns unit 7
  const long ld = nmax;
  const long ntot = static_cast<long>(n) + nsup;

  output::report::ranging(textio::kScreen);
  output::report::ranging(output::report::kUnit);

  rangmax = range_coordinates(ntot, p, ld, x, vmin, vmax, method == 1);
  if (rangmax == 0.0) {
    output::report::same_position(textio::kScreen);
    output::report::same_position(output::report::kUnit);
    textio::stop();
  }
  if (verbose == 1) {
    say_vector("Vector Minim =", vmin, p);
    say_vector("Vector Maxim =", vmax, p);
    textio::say(textio::kScreen, {"Rangmax =", rangmax});
    textio::say(textio::kScreen);
    output::report::matrix_echo("Matrix X after ranging", x, static_cast<std::int32_t>(ntot), p, nmax);
  }
}

}  // namespace ortelix::coords
