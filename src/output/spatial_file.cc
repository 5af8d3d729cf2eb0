#include "output/spatial_file.h"

#include "textio/fixed_fast.h"
#include "textio/io.h"
#include "textio/units.h"

namespace ortelix::output {
namespace {

void write_values(std::int32_t n, std::int32_t nmax, const double* x, std::string_view format,
                  const std::vector<std::int32_t>& columns) {
  const long ld = nmax;
  // Every value format is one repeated F descriptor: millions of values go
  // through the short path, whose records are those of a formatted write.
  textio::RepeatedFixed fast(format);
  if (fast.valid()) {
    std::vector<double> values(columns.size());
    for (long i = 0; i < n; ++i) {
      for (std::size_t k = 0; k < columns.size(); ++k) values[k] = x[(columns[k] - 1) * ld + i];
      fast.write(textio::unit_sink(kVariableUnit, format), values.data(), static_cast<int>(values.size()));
    }
    return;
  }
  for (long i = 0; i < n; ++i) {
    textio::UnitWrite w(kVariableUnit, format);
    for (std::int32_t c : columns) w.put(x[(c - 1) * ld + i]);
  }
}

// Labels 1..count under one of the three label formats chosen by the count
// of the whole block: every label of a block has the same width.
void write_labels(std::int32_t count, std::string_view two, std::string_view three, std::string_view four) {
  std::string_view format = count <= 99 ? two : count <= 999 ? three : four;
  textio::UnitWrite w(kVariableUnit, format);
  for (std::int32_t k = 1; k <= count; ++k) w.put(k);
}

}  // namespace

ValueLayout value_layout(std::int32_t p, std::int32_t nvar, std::int32_t method, std::int32_t order) {
  ValueLayout v;
  if (method == 1 || order == 3) {
    v.one_line_format = "(2000F11.6)";
    v.folded_format = "(11F11.6)";
  } else if (order == 2) {
    v.one_line_format = "(2000F10.5)";
    v.folded_format = "(12F10.5)";
  } else {
    v.one_line_format = "(2000F12.7)";
    v.folded_format = "(10F12.7)";
  }
  if (method == 1 || p == 1) {
    for (std::int32_t c = 1; c <= nvar; ++c) v.columns.push_back(c);
    return v;
  }
  // x^a y^b is stored in column b when a = 0, else in column
  // order + sum_{a'=1}^{a-1} (order - a' + 1) + b + 1; written by increasing
  // degree, x first within a degree.
  auto stored = [order](int a, int b) {
    if (a == 0) return b;
    int c = order;
    for (int a2 = 1; a2 <= a - 1; ++a2) c += order - a2 + 1;
    return c + b + 1;
  };
  for (int degree = 1; degree <= order; ++degree) {
    for (int a = degree; a >= 0; --a) v.columns.push_back(stored(a, degree - a));
  }
  return v;
}

void writeout(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
              std::int32_t layout, std::int32_t method, std::int32_t order) {
  textio::say(kVariableUnit, {n, nvar});
  ValueLayout v = value_layout(p, nvar, method, order);
  write_values(n, nmax, x, layout == 1 ? v.one_line_format : v.folded_format, v.columns);
}

void canocofree(std::int32_t n, std::int32_t p, std::int32_t nvar, std::int32_t nmax, const double* x,
                std::int32_t method, std::int32_t order) {
  const bool pcnm = method == 1;
  textio::write(kVariableUnit, pcnm ? "('File of PCNM variables')" : "('File of monomials')");
  textio::write(kVariableUnit, "('FREE')");
  textio::say(kVariableUnit, {nvar, n});
  ValueLayout v = value_layout(p, nvar, method, order);
  write_values(n, nmax, x, v.folded_format, v.columns);
  if (pcnm) {
    write_labels(nvar, "(10('PCNM',I2,2X,:))", "(10('PCNM',I3,1X,:))", "(10('PCNM',I4,:))");
  } else {
    write_labels(nvar, "(10('Mono',I2,2X,:))", "(10('Mono',I3,1X,:))", "(10('Mono',I4,:))");
  }
  write_labels(n, "(10('Site',I2,2X,:))", "(10('Site',I3,1X,:))", "(10('Site',I4,:))");
}

}  // namespace ortelix::output
