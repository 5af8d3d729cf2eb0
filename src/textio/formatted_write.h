// One formatted write: items are put one at a time against a parsed format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "textio/format.h"
#include "textio/record_sink.h"

namespace ortelix::textio {

// Walks the descriptors lazily: the text, skips and slashes that follow a
// data descriptor run only when the next item arrives or the write finishes,
// which is what makes a colon stop after the last item and what lets the
// text after the last item of "(... ,I7,' objects.')" still be written.
class FormattedWrite {
 public:
  FormattedWrite(const Format& format, RecordSink& sink);
  FormattedWrite(const FormattedWrite&) = delete;
  FormattedWrite& operator=(const FormattedWrite&) = delete;

  void put(std::int64_t value);
  void put(std::int32_t value) { put(static_cast<std::int64_t>(value)); }
  void put(double value);
  void put(float value) { put(static_cast<double>(value)); }
  void put(std::string_view text);
  void put(const char* text) { put(std::string_view(text)); }

  // Runs the descriptors that follow the last item up to the next data
  // descriptor, colon or the end of the string, then ends the record.
  void finish();

 private:
  const Descriptor& next_data();  // advances with an item in hand
  bool advance(bool item_in_hand);
  void materialize_skip();
  void end_record();

  const Format& f_;
  RecordSink& sink_;
  std::string record_;
  int pending_skip_ = 0;
  std::size_t pc_ = 0;
  int data_left_ = 0;          // further uses of the descriptor at pc_
  bool on_data_ = false;       // pc_ is a data descriptor already used once
  int group_left_[16] = {};    // remaining passes of each open group, by depth
  int depth_ = 0;
  bool finished_ = false;
};

}  // namespace ortelix::textio
