// A second, deliberately plain free-format reader, written from the rules of
// the input rather than from the product's tokenizer: it looks ahead in the
// whole text where the product reads one character at a time, so the two
// disagree whenever either misreads a rule. Slow, and only for fuzzing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ortelix::fuzz {

enum class Kind { kInteger, kReal, kName };

struct RefItem {
  std::int32_t integer = 0;
  double real = 0;
  std::string name;
};

struct RefOutcome {
  bool ok = true;
  std::string context;
  std::string reason;
};

class RefStream {
 public:
  explicit RefStream(std::string text) : text_(std::move(text)) {}
  // Fills the items of one read (all of one kind); items that receive no
  // value keep theirs.
  RefOutcome read(Kind kind, std::vector<RefItem>& items);
  // Whether a read has looked at the end of the text.
  bool ended() const { return ended_; }

 private:
  int at(std::size_t i);  // character at i, -1 at the end (which sets the flag)
  RefOutcome value(Kind kind, RefItem& out, bool& is_null_run, long long& count);
  RefOutcome single(Kind kind, RefItem& out);
  void separator();

  std::string text_;
  std::size_t pos_ = 0;
  bool ended_ = false;  // the end of the text has been looked at
};

}  // namespace ortelix::fuzz
