// How a run ends on an interrupt or a termination signal: "Interrupt" or
// "Killed" on standard error, every complete record written out, every
// file closed, exit status 1.
#pragma once

namespace ortelix::textio {

// Installs the handlers; start_units calls it.
void install_run_signals();

}  // namespace ortelix::textio
