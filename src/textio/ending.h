// The ways a run ends by itself: a normal stop, with or without a message,
// and the fatal diagnostic of a failed transfer.
#pragma once

#include <string_view>

#include "textio/list_read.h"

namespace ortelix::textio {

// Ends the run normally (status 0). With a message, "STOP <message>
// statement executed" goes to standard error first. Every unit is flushed
// and closed.
[[noreturn]] void stop();
[[noreturn]] void stop(std::string_view message);

// The four-line diagnostic on standard error, every unit flushed and closed,
// then the abort signal.
[[noreturn]] void fatal(int unit, const IoError& error, std::string_view last_format, bool reading);

}  // namespace ortelix::textio
