#include <string>
#include <vector>

#include "coords/coords.h"
#include "output/report.h"
#include "textio/io.h"

namespace ortelix::coords {

using textio::kScreen;

void readdata(std::int32_t& n, std::int32_t& p, std::int32_t& nsup, std::int32_t nmax, double* x,
              std::int32_t report_unit, std::int32_t verbose) {
  (void)report_unit;  // the report module owns unit 7
  textio::say(kScreen);
  textio::say(kScreen, {"File containing the coordinates?"});
  std::string name(textio::kNameLength, ' ');
  textio::read(textio::kKeyboard, {name});
  textio::open_unit(kCoordinateUnit, name, textio::FileStatus::kOld);
  textio::read(kCoordinateUnit, {n, p, nsup});
  textio::write(kScreen, "(' Input file of coordinates: ',A30)", {name});
  output::report::input_file(name, n, p, nsup);

  if (n < 1 || p < 1 || nsup < 0) {
    textio::write(kScreen,
                  "(' Invalid header: at least 1 object and 1 coordinate,',/,"
                  "' and no negative number of supplementary objects.')");
    textio::stop();
  }
  if (p > nmax) {
    textio::write(kScreen, "(' Too many coordinates per site. Redimension the program.')");
    textio::stop();
  }
  if (static_cast<std::int64_t>(n) + nsup > nmax) {
    textio::write(kScreen, "(' Too many points (sites). Redimension the program.')");
    textio::stop();
  }

  const std::int32_t ntot = n + nsup;
  const long ld = nmax;
  std::vector<textio::Target> row;
  row.reserve(static_cast<std::size_t>(p));
  for (long i = 0; i < ntot; ++i) {
    row.clear();
    for (long j = 0; j < p; ++j) row.emplace_back(x[j * ld + i]);
    textio::read(kCoordinateUnit, row);
  }
  if (verbose == 1) output::report::matrix_echo("Matrice X", x, ntot, p, nmax);
}

}  // namespace ortelix::coords
