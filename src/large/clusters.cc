#include "large/clusters.h"

#include <algorithm>
#include <cmath>

#include <Eigen/Core>
#include <Eigen/QR>

namespace ortelix::large {

std::vector<std::pair<Index, Index>> equal_eigenvalues(const double* values, Index k) {
  std::vector<std::pair<Index, Index>> runs;
  double largest = 0;
  for (Index j = 0; j < k; ++j) largest = std::max(largest, std::fabs(values[j]));
  const double tolerance = kClusterTolerance * largest;
  for (Index first = 0; first < k;) {
    Index last = first + 1;
    while (last < k && std::fabs(values[last - 1] - values[last]) <= tolerance) ++last;
    if (last - first >= 2) runs.emplace_back(first, last);
    first = last;
  }
  return runs;
}

void canonical_basis(double* u, Index ld, Index rows, Index first, Index last) {
  using Matrix = Eigen::MatrixXd;
  const Index m = last - first;
  Eigen::Map<Matrix, 0, Eigen::OuterStride<>> block(u + first * ld, rows, m, Eigen::OuterStride<>(ld));
  // An orthonormal basis of the space first: a solver's vectors of one
  // eigenspace are orthogonal only to its own accuracy.
  const Matrix basis = Eigen::HouseholderQR<Matrix>(block).householderQ() * Matrix::Identity(rows, m);
  // The projection of site j's indicator vector is the basis times row j of
  // the basis: rows are the projections in the basis's coordinates, and
  // inner products there are those of the sites' space.
  Matrix left = basis.transpose();  // m x rows: what is left of each projection
  Eigen::VectorXd norms = left.colwise().squaredNorm().transpose();
  Matrix chosen(m, m);
  for (Index c = 0; c < m; ++c) {
    const double largest = norms.maxCoeff();
    Index j = 0;
    while (norms[j] < (1 - 1e-6) * largest) ++j;
    const Eigen::VectorXd q = left.col(j) / std::sqrt(norms[j]);
    chosen.col(c) = q;
    // Remove the chosen direction from every projection.
    const Eigen::RowVectorXd along = q.transpose() * left;
    left -= q * along;
    norms = left.colwise().squaredNorm().transpose();
  }
  block = basis * chosen;
}

}  // namespace ortelix::large
