// An output file that appears under its name only once it is complete: it
// is written under a temporary name in the same folder and renamed at the
// end, so a failure (a full disk, an interrupt, a refusal found late)
// never leaves a half-written file where a finished one is expected.
#pragma once

#include <string>
#include <string_view>

#include "textio/record_sink.h"

namespace ortelix::large {

class OutputFile : public textio::RecordSink {
 public:
  OutputFile() = default;
  ~OutputFile() override;  // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file beside `path`. Returns an error message
  // ("path: reason") or "".
  std::string open(const std::string& path);

  // A line: the record and a line feed.
  void record(std::string_view text) override;
  // Characters as they stand.
  void append(std::string_view text);

  // Flushes, closes and renames the file to its name. Returns an error
  // message or "".
  std::string commit();

  const std::string& path() const { return path_; }

 private:
  void flush();

  std::string path_, temporary_;
  int fd_ = -1;
  int slot_ = -1;  // in the table of names an interrupt removes
  std::string buffer_;
  int error_ = 0;  // errno of the first failed write
};

// On SIGINT, SIGTERM or SIGHUP, removes every temporary file still open,
// then ends the process as the signal would have. Installed once.
void remove_temporaries_on_signals();

}  // namespace ortelix::large
