#include "textio/formatted_write.h"

#include <cstdio>
#include <cstdlib>

#include "textio/edit_output.h"

namespace ortelix::textio {
namespace {

[[noreturn]] void internal_error(const Format& f, const char* what) {
  std::fprintf(stderr, "internal error: %s in format %s\n", what, f.source.c_str());
  std::abort();
}

}  // namespace

FormattedWrite::FormattedWrite(const Format& format, RecordSink& sink) : f_(format), sink_(sink) {}

void FormattedWrite::materialize_skip() {
  if (pending_skip_ > 0) {
    record_.append(static_cast<std::size_t>(pending_skip_), ' ');
    pending_skip_ = 0;
  }
}

void FormattedWrite::end_record() {
  sink_.record(record_);
  record_.clear();
  pending_skip_ = 0;  // a skip still pending at the end of a record writes nothing
}

// Executes non-data descriptors. Returns true when positioned on a data
// descriptor that the item in hand may use; false when the write must stop
// (no item in hand and a data descriptor, a colon or the end was reached).
bool FormattedWrite::advance(bool item_in_hand) {
  if (on_data_) {
    if (data_left_ > 0) {
      if (!item_in_hand) return false;
      --data_left_;
      return true;
    }
    on_data_ = false;
    ++pc_;
  }
  bool reverted_in_this_call = false;
  for (;;) {
    if (pc_ >= f_.ops.size()) {
      if (!item_in_hand) return false;
      // Items remain at the closing parenthesis: new record, then resume at
      // the last outermost group with its own repeat count.
      if (!f_.has_data || reverted_in_this_call) internal_error(f_, "reversion without data descriptor");
      reverted_in_this_call = true;
      end_record();
      pc_ = static_cast<std::size_t>(f_.reversion);
      depth_ = 0;
      continue;
    }
    const Descriptor& d = f_.ops[pc_];
    switch (d.op) {
      case Op::kText:
        materialize_skip();
        record_ += d.text;
        ++pc_;
        break;
      case Op::kSkip:
        pending_skip_ += d.width;
        ++pc_;
        break;
      case Op::kSlash:
        end_record();
        ++pc_;
        break;
      case Op::kColon:
        if (!item_in_hand) return false;
        ++pc_;
        break;
      case Op::kInteger:
      case Op::kFixed:
      case Op::kAlpha:
        if (!item_in_hand) return false;
        on_data_ = true;
        data_left_ = d.repeat - 1;
        return true;
      case Op::kGroupOpen:
        if (depth_ >= 16) internal_error(f_, "groups nested too deeply");
        group_left_[depth_++] = d.repeat;
        ++pc_;
        break;
      case Op::kGroupClose:
        if (--group_left_[depth_ - 1] > 0) {
          pc_ = static_cast<std::size_t>(d.partner) + 1;
        } else {
          --depth_;
          ++pc_;
        }
        break;
    }
  }
}

const Descriptor& FormattedWrite::next_data() {
  if (finished_) internal_error(f_, "item after the end of the write");
  advance(true);
  materialize_skip();
  return f_.ops[pc_];
}

void FormattedWrite::put(std::int64_t value) {
  const Descriptor& d = next_data();
  if (d.op != Op::kInteger) internal_error(f_, "integer item for a non-I descriptor");
  edit_integer(record_, value, d.width);
}

void FormattedWrite::put(double value) {
  const Descriptor& d = next_data();
  if (d.op != Op::kFixed) internal_error(f_, "real item for a non-F descriptor");
  edit_fixed(record_, value, d.width, d.decimals);
}

void FormattedWrite::put(std::string_view text) {
  const Descriptor& d = next_data();
  if (d.op != Op::kAlpha) internal_error(f_, "text item for a non-A descriptor");
  edit_alpha(record_, text, d.width);
}

void FormattedWrite::finish() {
  if (finished_) return;
  advance(false);
  end_record();
  finished_ = true;
}

}  // namespace ortelix::textio
