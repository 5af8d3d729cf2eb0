// The generated sampling designs: a transect of equidistant points and a
// regular grid.

#include "main/run.h"
#include "output/report.h"
#include "sites/sites.h"
#include "textio/io.h"

namespace ortelix {

using textio::kKeyboard;
using textio::kScreen;
using textio::read;
using textio::say;

void transect(Run& run) {
  run.p = 1;
  run.nsup = 0;
  for (;;) {
    say(kScreen);
    say(kScreen, {"Number of objects?"});
    read(kKeyboard, {run.n});
    if (run.n > 0 && run.n <= kNmax) break;
    say(kScreen, {"You are joking, I hope?"});
    say(kScreen, {"Maximum number = ", kNmax});
  }
  output::report::transect();
  const sites::Sites line = sites::transect_sites(run.n);
  for (std::int32_t i = 1; i <= run.n; ++i) run.x(i, 1) = line.at(i - 1, 0);
}

void grid(Run& run) {
  constexpr int kGridUnit = 9;
  run.p = 2;
  run.nsup = 0;
  std::int32_t rows = 0;
  std::int32_t cols = 0;
  for (;;) {
    say(kScreen);
    say(kScreen, {"Regular grid: "});
    say(kScreen, {"number of rows and columns of points (two integers)"});
    read(kKeyboard, {rows, cols});
    if (rows <= 0 || cols <= 0) continue;
    std::int64_t points = static_cast<std::int64_t>(rows) * cols;
    if (points <= kNmax) {
      run.n = static_cast<std::int32_t>(points);
      break;
    }
    say(kScreen, {"These dimensions yield an excessive number of points."});
    say(kScreen, {"Use a smaller grid, or redimension and recompile"});
    say(kScreen, {"the program."});
  }
  output::report::grid(rows, cols);

  const sites::Sites points = sites::grid_sites(rows, cols);
  for (std::int32_t i = 1; i <= run.n; ++i) {
    run.x(i, 1) = points.at(i - 1, 0);
    run.x(i, 2) = points.at(i - 1, 1);
  }

  say(kScreen);
  say(kScreen, {"Save the file of X-Y coordinates?"});
  say(kScreen, {"(0) No, (1) Yes"});
  std::int32_t save = 0;
  read(kKeyboard, {save});
  if (save != 1) return;
  textio::open_unit(kGridUnit, "Grid.txt", textio::FileStatus::kNew);
  for (std::int32_t i = 1; i <= run.n; ++i) {
    textio::write(kGridUnit, "(1X,3F5.0)", {run.x(i, 1), run.x(i, 2)});
  }
  textio::close_unit(kGridUnit);
  say(kScreen);
  say(kScreen, {"The X-Y coordinates of the points on the grid"});
  say(kScreen, {"were written out to the file \"Grid.txt\" "});
}

}  // namespace ortelix
