#include "textio/io.h"

#include "textio/list_write.h"

namespace ortelix::textio {

void write(int unit, std::string_view format, std::initializer_list<Item> items) {
  FormattedWrite w(format_of(format), unit_sink(unit, format));
  for (const Item& item : items) {
    switch (item.kind) {
      case Item::Kind::kInteger: w.put(item.integer); break;
      case Item::Kind::kReal: w.put(item.real); break;
      case Item::Kind::kText: w.put(item.text); break;
    }
  }
  w.finish();
}

void say(int unit, std::initializer_list<Item> items) {
  ListWrite w(unit_sink(unit, "list io"));
  for (const Item& item : items) {
    switch (item.kind) {
      case Item::Kind::kInteger: w.integer(item.integer); break;
      case Item::Kind::kReal: w.real(item.real); break;
      case Item::Kind::kText: w.text(item.text); break;
    }
  }
  w.finish();
}

void read(int unit, std::span<const Target> targets) {
  if (auto r = list_read(unit_input(unit), targets); !r.ok()) fatal(unit, r.error(), "list io", /*reading=*/true);
}

UnitWrite::UnitWrite(int unit, std::string_view format) : FormattedWrite(format_of(format), unit_sink(unit, format)) {}

}  // namespace ortelix::textio
