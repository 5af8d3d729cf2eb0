#include "output/report.h"

#include "pcnm/constants.h"
#include "textio/io.h"

namespace ortelix::output::report {

using textio::say;
using textio::UnitWrite;
using textio::write;

void banner(int unit) {
  write(unit,
        "(' Program \"Ortelix\" creates a file of PCNM',/,' or polynomial spatial variables.',/,/,"
        "' Version 1.0',/,' Spatial variables for canonical ordination and regression.',/)");
}

void transect() { say(kUnit, {" Unidimensional transect with equidistant points"}); }

void grid(std::int32_t rows, std::int32_t cols) {
  write(kUnit, "(' Regular grid containing',/,I7,' horizontal points',/,I7,' vertical points',/)", {rows, cols});
}

void input_file(std::string_view name, std::int32_t n, std::int32_t p, std::int32_t nsup) {
  write(kUnit,
        "(/,' Input file: ',A30,/,I6,' objects',/,I6,' coordinates',/,I6,' supplementary objects',/)",
        {name, n, p, nsup});
}

void matrix_echo(std::string_view title, const double* x, std::int32_t nrows, std::int32_t p, std::int32_t ld) {
  say(kUnit);
  say(kUnit, {title});
  say(kUnit);
  for (long i = 0; i < nrows; ++i) {
    UnitWrite w(kUnit, "(1X,10F10.5)");
    for (long j = 0; j < p; ++j) w.put(x[j * static_cast<long>(ld) + i]);
  }
  say(kUnit);
}

void ranging(int unit) {
  write(unit, "(/,' The coordinates were ranged and centred before',' computing the spatial variables.')");
}

void same_position(int unit) {
  say(unit);
  say(unit, {"All the sites have the same coordinates: no spatial"});
  say(unit, {"variables can be built."});
}

void polynomial_order(std::int32_t order) {
  say(kUnit);
  say(kUnit, {"Constructing a polynomial of order ", order});
}

void pcnm_heading() {
  say(kUnit);
  say(kUnit, {"Matrix of PCNM spatial variables"});
}

void truncation_limit(double limit) {
  write(kUnit, "('    Highest unmodified distance value = ',F12.3)", {limit});
  write(kUnit, "('    Multiplier for \"large distances\"  = ',F12.3)", {pcnm::kLargeDistanceMultiplier});
}

void eigen_sums(double positive_sum, double negative_sum, double trace) {
  say(kUnit);
  write(kUnit,
        "(/,' Sum of positive eigenvalues         ',F15.5,/,' Sum of negative eigenvalues         ',F15.5,/,"
        "' Trace of Gower-centred matrix       ',F15.5)",
        {positive_sum, negative_sum, trace});
}

void positive_count(std::int32_t npcnm) { write(kUnit, "(/,' Number of positive eigenvalues:',I4,/)", {npcnm}); }

void eigenvalues(const double* eigval, std::int32_t n) {
  say(kUnit, {"Eigenvalues of the PCoA:"});
  say(kUnit);
  UnitWrite w(kUnit, "(1X,8F12.6)");
  for (long i = 0; i < n; ++i) w.put(eigval[i]);
}

void largest_correlation(double value) {
  write(kUnit, "(/,' Largest absolute correlation value between two',' spatial variables:',F7.4)", {value});
}

void zero_variance(std::int32_t variable) { say(kUnit, {"Variance nulle pour variable X no ", variable}); }

void computation_time(int unit, float seconds) {
  write(unit, "(/,' Computation time:',F10.2,' sec.')", {seconds});
}

void end_of_program(int unit) {
  say(unit);
  say(unit, {"End of the program."});
}

}  // namespace ortelix::output::report
