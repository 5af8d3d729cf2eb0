// The sites of a coordinate file, and their ranging.
#pragma once

#include <cstdint>

namespace ortelix::coords {

constexpr int kCoordinateUnit = 2;

// Asks for the coordinate file, reads its header (n, p, nsup) and the
// n + nsup sites into rows 1..n+nsup of x (leading dimension nmax). A header
// that cannot describe sites, or more sites or coordinates than nmax, is
// refused on the screen and the run stops normally. The file stays open on
// unit 2.
void readdata(std::int32_t& n, std::int32_t& p, std::int32_t& nsup, std::int32_t nmax, double* x,
              std::int32_t report_unit, std::int32_t verbose);

// The arithmetic of range1 without its records: vmin and vmax receive each
// coordinate's minimum and range over the ntot rows of x (leading
// dimension ld), every coordinate is shifted to a minimum of 0, and the
// divisor is returned: the largest range, times 0.1f when `pcnm`. When the
// largest range is 0 the coordinates are shifted but not divided, and 0 is
// returned.
double range_coordinates(std::int64_t ntot, std::int32_t p, std::int64_t ld, double* x, double* vmin, double* vmax,
                         bool pcnm);

// Shifts each coordinate to a minimum of 0 and divides every coordinate by
// rangmax, the largest range (times 0.1f for PCNM variables, method 1).
// vmin and vmax receive, per coordinate, the minimum and the range (p
// entries each). When every site has the same position the run stops
// normally with a message: there is nothing to divide by.
void range1(std::int32_t n, std::int32_t p, std::int32_t nsup, std::int32_t nmax, double* x, double* vmin,
            double* vmax, double& rangmax, std::int32_t method, std::int32_t report_unit, std::int32_t verbose);

}  // namespace ortelix::coords
