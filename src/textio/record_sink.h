#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ortelix::textio {

// Receives finished output records, without their line feed.
class RecordSink {
 public:
  virtual ~RecordSink() = default;
  virtual void record(std::string_view text) = 0;
  // A write statement under `format` ("list io" for a free-format one)
  // begins: a sink that reports failed writes names the last one.
  virtual void transfer(std::string_view format) { (void)format; }
};

// Collects records in memory: the text layer's tests and any caller that
// wants the characters of a record without a unit.
class StringSink : public RecordSink {
 public:
  void record(std::string_view text) override { records.emplace_back(text); }
  std::vector<std::string> records;
};

}  // namespace ortelix::textio
