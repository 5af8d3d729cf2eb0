#include "output/spatial_file.h"

#include "output/variable_writer.h"
#include "textio/units.h"

namespace ortelix::output {
namespace {

VariableTable table(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
                    std::int32_t method, std::int32_t order) {
  VariableTable t;
  t.kind = method == 1 ? Kind::kPcnm : Kind::kMonomial;
  t.order = order;
  t.n = n;
  t.x = x;
  t.ld = nmax;
  t.columns = written_columns(p, nvar, method, order);
  for (Index k = 1; k <= nvar; ++k) t.numbers.push_back(k);
  return t;
}

}  // namespace

std::vector<Index> written_columns(std::int32_t p, std::int32_t nvar, std::int32_t method, std::int32_t order) {
  std::vector<Index> columns;
  if (method == 1 || p == 1) {
    for (Index c = 0; c < nvar; ++c) columns.push_back(c);
    return columns;
  }
  // x^a y^b is stored in column b when a = 0, else in column
  // order + sum_{a'=1}^{a-1} (order - a' + 1) + b + 1 (1-based).
  auto stored = [order](int a, int b) {
    if (a == 0) return b;
    int c = order;
    for (int a2 = 1; a2 <= a - 1; ++a2) c += order - a2 + 1;
    return c + b + 1;
  };
  for (int degree = 1; degree <= order; ++degree) {
    for (int a = degree; a >= 0; --a) columns.push_back(stored(a, degree - a) - 1);
  }
  return columns;
}

void writeout(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
              std::int32_t layout, std::int32_t method, std::int32_t order) {
  write_variables(textio::unit_sink(kVariableUnit, "list io"), layout == 1 ? Layout::kOneLine : Layout::kFolded,
                  table(n, p, nvar, nmax, x, method, order));
}

void canocofree(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
                std::int32_t method, std::int32_t order) {
  write_variables(textio::unit_sink(kVariableUnit, "list io"), Layout::kCanoco,
                  table(n, p, nvar, nmax, x, method, order));
}

}  // namespace ortelix::output
