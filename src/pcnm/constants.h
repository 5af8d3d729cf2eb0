// Tolerances and factors of the PCNM construction. Each is a
// single-precision value carried in double precision: the digits of the
// double literal would give different results.
#pragma once

namespace ortelix::pcnm {

// 0.1f: the ranging divisor of a PCNM run is the largest range times this.
inline constexpr double kRangeFactor = 0x1.99999ap-4;  // 0.10000000149011612

// 1e-10f, added to the internal truncation limit so that a distance equal to
// the typed limit up to rounding is kept.
inline constexpr double kLimitEpsilon = 0x1.b7cdfep-34;  // 1.000000013351432e-10

// 1e-8f: the only tolerance of the Householder and QL steps, the sorting
// tolerance of the eigenvalues and the smallest standard deviation accepted
// by the correlation check.
inline constexpr double kTol = 0x1.5798eep-27;  // 9.99999993922529e-09

// 5e-7f: an eigenvalue below this is not a PCNM variable.
inline constexpr double kPositive = 0x1.0c6f7ap-21;  // 4.999999987376214e-07

// Distances above the limit are replaced by this multiple of the limit.
inline constexpr double kLargeDistanceMultiplier = 4.0;

// QL iterations allowed for one eigenvalue.
inline constexpr int kMaxIterations = 50;

}  // namespace ortelix::pcnm
