// The one index type of the numerical interfaces: sizes, counts of sites
// and leading dimensions. Signed, so that differences and loops down to
// zero need no care, and the same type as Eigen's default index, so that
// no conversion stands between the two.
#pragma once

#include <cstddef>

namespace ortelix {

using Index = std::ptrdiff_t;

}  // namespace ortelix
