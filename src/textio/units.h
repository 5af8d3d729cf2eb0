// The unit table: numbered text streams, their opening and closing. How a
// run ends is in ending.h (stop, fatal diagnostic) and signals.h.
#pragma once

#include <string>
#include <string_view>

#include "textio/char_stream.h"
#include "textio/record_sink.h"

namespace ortelix::textio {

constexpr int kStderrUnit = 0;
constexpr int kKeyboard = 5;
constexpr int kScreen = 6;
constexpr int kMaxUnit = 99;

enum class FileStatus { kNew, kOld };

// Connects units 0, 5 and 6 to the standard streams and installs the
// handlers of the interrupt and termination signals. Call once, first.
void start_units();

// Opens `name` (a name variable; trailing blanks are not part of the file
// name) on `unit`. NEW creates a file that must not exist yet, OLD connects
// an existing file for reading. Any failure ends the run with the fatal
// diagnostic.
void open_unit(int unit, std::string_view name, FileStatus status);

// Writes out what is pending and disconnects the unit.
void close_unit(int unit);

// The record sink of an output unit. Each record is appended whole: an
// interrupt sees either all of it or none of it.
RecordSink& unit_sink(int unit, std::string_view format_for_diagnostic);

// The input characters of an input unit.
CharStream& unit_input(int unit);

}  // namespace ortelix::textio
