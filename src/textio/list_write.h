// One free-format (list-directed) write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "textio/record_sink.h"

namespace ortelix::textio {

// A new line is begun before an item that would bring the line to 80
// characters or more; a text item on an empty line gets one leading blank.
class ListWrite {
 public:
  static constexpr std::size_t kLineLimit = 80;

  explicit ListWrite(RecordSink& sink) : sink_(sink) {}
  ListWrite(const ListWrite&) = delete;
  ListWrite& operator=(const ListWrite&) = delete;

  void text(std::string_view item);
  void integer(std::int64_t item);
  void real(double item);
  void finish();  // ends the record; a write with no items is an empty line

 private:
  void wrap_if(std::size_t added);

  RecordSink& sink_;
  std::string line_;
};

}  // namespace ortelix::textio
