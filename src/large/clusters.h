// Eigenvalues that the data do not tell apart, and a basis of their
// eigenspace that does not depend on the solver.
#pragma once

#include <utility>
#include <vector>

#include "base/index.h"

namespace ortelix::large {

// Equal eigenvalues: consecutive ones of a decreasing list within this
// much of the largest (in magnitude) of them. A solver resolves eigenvalues
// far more finely than this; symmetric sites (a grid) give exactly equal
// ones, which it returns within rounding of each other.
constexpr double kClusterTolerance = 1e-9;

// The runs [first, last) of two or more equal eigenvalues among values[0..k).
std::vector<std::pair<Index, Index>> equal_eigenvalues(const double* values, Index k);

// Turns columns first..last-1 of u (orthonormal vectors of one eigenspace,
// `rows` entries each, leading dimension ld) into the basis that depends on
// the eigenspace alone: its projections of the sites' indicator vectors,
// taken greedily (at each step the site whose projection keeps the most
// once the vectors chosen so far are removed, the first in site order among
// those within a millionth of it), each orthonormalized against those
// before it. Any orthonormal basis of the same space gives the same
// vectors, so that the variables of symmetric sites do not depend on the
// solver, the number of threads or the machine.
void canonical_basis(double* u, Index ld, Index rows, Index first, Index last);

}  // namespace ortelix::large
