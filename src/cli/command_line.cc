#include "cli/command_line.h"

#include <charconv>
#include <cmath>

namespace ortelix::cli {

Expected<ParsedLine> parse_line(std::span<const std::string> args, std::span<const OptionForm> forms) {
  ParsedLine out;
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // No file, number or word is empty: an empty argument is a quoting
    // slip ("$FILE" of an unset variable), not a choice.
    if (arg.empty()) return fail("argument " + std::to_string(i + 1) + " is empty");
    if (options_ended || arg == "-" || arg[0] != '-') {
      out.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string_view name = arg;
    std::string attached;
    bool has_attached = false;
    if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      name = std::string_view(arg).substr(0, eq);
      attached = arg.substr(eq + 1);
      has_attached = true;
    }
    const OptionForm* form = nullptr;
    for (const OptionForm& s : forms) {
      if (name == s.name || (!s.alias.empty() && name == s.alias)) form = &s;
    }
    if (form == nullptr) return fail("unknown option '" + std::string(name) + "'");
    Occurrence o{form->name, {}};
    if (has_attached) {
      if (form->values != 1) {
        return fail(std::string(form->name) + (form->values == 0 ? " takes no value" : " takes its values apart: " +
                                                                                        std::string(form->name) + " A B"));
      }
      if (attached.empty()) return fail(std::string(form->name) + "= has no value");
      o.values.push_back(attached);
    } else {
      for (int v = 0; v < form->values; ++v) {
        if (++i >= args.size()) {
          return fail(std::string(form->name) + (form->values == 1 ? " needs a value" : " needs two values"));
        }
        if (args[i].empty()) return fail("argument " + std::to_string(i + 1) + " is empty");
        o.values.push_back(args[i]);
      }
    }
    out.options.push_back(std::move(o));
  }
  return out;
}

std::vector<std::string> arguments(int argc, char** argv) {
  std::vector<std::string> out;
  for (int i = 1; i < argc; ++i) out.emplace_back(argv[i]);
  return out;
}

bool parse_count(std::string_view text, Index max, Index& value) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value >= 1 && value <= max;
}

bool parse_positive(std::string_view text, double& value) {
  if (text.empty() || text.front() == '+') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) && value > 0;
}

}  // namespace ortelix::cli
