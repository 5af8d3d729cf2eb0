// Ortelix: builds a file of PCNM or polynomial spatial variables from the
// positions of sampling sites, through a dialogue on the terminal.

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "coords/coords.h"
#include "main/run.h"
#include "output/report.h"
#include "output/spatial_file.h"
#include "textio/io.h"

namespace ortelix {
namespace {

using textio::kKeyboard;
using textio::kScreen;
using textio::read;
using textio::say;
namespace report = output::report;

void ask_layout(Run& run) {
  run.verbose = 0;
  for (;;) {
    say(kScreen);
    say(kScreen, {"Output the file of spatial variables in the following format:"});
    say(kScreen, {"(1) A single line per object"});
    say(kScreen, {"(2) Folded object vectors, 10 to 12 values per line"});
    say(kScreen, {"(3) Canoco input file, FREE format"});
    read(kKeyboard, {run.layout});
    // A negative answer asks for diagnostic output. Its absolute value is
    // taken in 64 bits: -2147483648 has none in 32.
    std::int64_t layout = run.layout;
    if (layout < 0) {
      run.verbose = 1;
      layout = -layout;
      run.layout = layout > INT32_MAX ? 0 : static_cast<std::int32_t>(layout);
    }
    if (layout >= 1 && layout <= 3) return;
  }
}

void ask_design(Run& run) {
  say(kScreen);
  say(kScreen, {"Sampling design:"});
  say(kScreen, {"(1) A transect with equidistant points"});
  say(kScreen, {"(2) A regular grid"});
  say(kScreen, {"(3) File containing X or X-Y coordinates"});
  read(kKeyboard, {run.design});
  if (run.design == 3) {
    coords::readdata(run.n, run.p, run.nsup, kNmax, run.x.data(), report::kUnit, run.verbose);
  } else if (run.design == 1) {
    transect(run);
  } else {
    grid(run);
  }
}

void ask_method(Run& run) {
  say(kScreen);
  say(kScreen, {"Do you want to construct"});
  say(kScreen, {"(1) a file of PCNM spatial variables?"});
  say(kScreen, {"(2) a file containing a polynomial of the coordinates?"});
  read(kKeyboard, {run.method});
}

void closing_lines(const Run& run) {
  say(kScreen);
  if (run.method == 1) {
    say(kScreen, {"The principal coordinates with positive"});
    say(kScreen, {"eigenvalues (PCNM variables) have been"});
    say(kScreen, {"written out to file ", run.variable_name});
  } else {
    say(kScreen, {"The monomials have been written out to file ", run.variable_name});
  }
}

[[noreturn]] void run_program() {
  // The matrices take 128 MB of address space; they live for the whole run.
  auto run = std::make_unique<Run>();

  report::banner(kScreen);
  textio::write(kScreen, "(' This program can handle a maximum of',I7,' objects.')", {kNmax});

  say(kScreen, {"Name of output file containing the PCoA eigenvalues?"});
  read(kKeyboard, {run->report_name});
  textio::open_unit(report::kUnit, run->report_name, textio::FileStatus::kNew);
  report::banner(report::kUnit);

  say(kScreen);
  say(kScreen, {"Name of output file containing the spatial"});
  say(kScreen, {"variables (PCNM or monomials)?"});
  read(kKeyboard, {run->variable_name});
  textio::open_unit(output::kVariableUnit, run->variable_name, textio::FileStatus::kNew);

  ask_layout(*run);
  ask_design(*run);
  ask_method(*run);

  if (run->method == 1 && run->nsup > 0 && run->n < 2) {
    // Standard deviations over a single object divide by zero.
    say(kScreen);
    say(kScreen, {"PCNM variables with supplementary objects need at least"});
    say(kScreen, {"two objects in the analysis."});
    textio::stop();
  }
  if (run->method != 1 && run->p > 2) {
    say(kScreen);
    say(kScreen, {"This program can only construct a polynomial for"});
    say(kScreen, {"transects or surfaces, not for", run->p, " geographic dimensions"});
    textio::stop();
  }

  double vmin_vmax[2 * kNmax];
  coords::range1(run->n, run->p, run->nsup, kNmax, run->x.data(), vmin_vmax, vmin_vmax + kNmax, run->rangmax,
                 run->method, report::kUnit, run->verbose);

  if (run->method == 1) {
    pcnm_stage(*run);
    if (run->nsup > 0) correlation_check(*run);
  } else {
    polynomial_stage(*run);
  }

  if (run->layout == 3) {
    output::canocofree(run->n, run->p, run->nvar, kNmax, run->x.data(), run->method, run->order);
  } else {
    output::writeout(run->n, run->p, run->nvar, kNmax, run->x.data(), run->layout, run->method, run->order);
  }
  textio::close_unit(output::kVariableUnit);

  closing_lines(*run);
  if (run->method == 1) {
    float elapsed = time_of_day(run->start_time);
    // Local midnight passed between the two readings.
    if (elapsed < 0) elapsed = elapsed + 86400.0f;
    report::computation_time(kScreen, elapsed);
    report::computation_time(report::kUnit, elapsed);
  }
  report::end_of_program(report::kUnit);
  // The report's last records are still in its buffer: write them out
  // before the screen says the run is over, so that a full disk ends the
  // run with the write diagnostic instead of after "End of the program.".
  textio::close_unit(report::kUnit);
  report::end_of_program(kScreen);
  textio::stop();
}

}  // namespace
}  // namespace ortelix

int main(int argc, char**) {
  (void)argc;  // the dialogue is the only input
  ortelix::textio::start_units();
  ortelix::run_program();
}
