// The outputs of a run: each written in full out of sight and put in place
// only when every output of the run is complete, so that a failure (a full
// disk, an interrupt, a refusal found late) never leaves a cut file where a
// finished one is expected, nor some outputs new and others old.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"
#include "textio/record_sink.h"

namespace ortelix::cli {

class OutputFile : public textio::RecordSink {
 public:
  OutputFile() = default;
  ~OutputFile() override;  // removes what it wrote unless published
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Gets ready to write `path`: "-" is standard output; a file (or what a
  // symbolic link leads to) is written under a temporary name beside it
  // and renamed; a device or a pipe that exists is written into, never
  // replaced. Fails ("path: reason") when the place cannot take the file.
  Status open(const std::string& path);

  // A line: the record and a line feed.
  void record(std::string_view text) override;
  // Characters as they stand.
  void append(std::string_view text);

  const std::string& path() const { return path_; }
  bool is_standard_output() const { return kind_ == Kind::kStandardOutput; }

 private:
  friend Status commit_all(std::initializer_list<OutputFile*> files);
  enum class Kind { kFile, kStream, kStandardOutput };

  void flush();
  Status finish();   // every byte written and on disk
  Status publish();  // in place
  Status fail_with(int error) const;

  Kind kind_ = Kind::kFile;
  std::string path_;       // as given
  std::string target_;     // the file renamed over, links followed
  std::string temporary_;  // its temporary name, while it has one
  int fd_ = -1;
  int slot_ = -1;  // in the table of names a signal removes
  std::string buffer_;
  int error_ = 0;  // errno of the first failed write
};

// Completes every file, and only once all are complete puts each in place
// (streams first, then renames, which do not fail for want of space). The
// first failure is returned; when it comes before the renames, no file has
// changed.
Status commit_all(std::initializer_list<OutputFile*> files);

// A file named on the command line, with the option that named it.
struct NamedFile {
  std::string option;  // "-o", "--report", "SITES"
  std::string path;
};

// Refuses outputs that are the same file as another output or as an
// input, however they are spelt (another path, a link, standard output
// redirected to it): the second would overwrite the first, or the run its
// own data. Devices and pipes are streams, not files, and may repeat.
Status check_distinct(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);

// On the signals that end a process (interrupt, termination, hang-up, quit,
// a broken pipe, alarms), removes every temporary file still open, then ends
// the process as the signal would have. A file-size limit becomes a failed
// write. Installed once, before the first output is opened.
void remove_temporaries_on_signals();

// The last flush of standard output, which a program must check before it
// reports success: a full disk or a closed pipe shows only there.
Status finish_standard_output();

}  // namespace ortelix::cli
