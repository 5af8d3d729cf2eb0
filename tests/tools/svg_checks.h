// Just enough XML to check the maps: well-formedness, and the panels with
// their circles.
#pragma once

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace ortelix::svg_test {

struct Circle {
  double cx = 0, cy = 0, r = 0;
  std::string fill;
};

struct Panel {
  std::string title;  // as written, entities included
  std::vector<Circle> circles;
};

inline bool valid_entities(const std::string& text) {
  for (std::size_t i = text.find('&'); i != std::string::npos; i = text.find('&', i + 1)) {
    bool ok = false;
    for (const char* e : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) ok = ok || text.compare(i, std::string(e).size(), e) == 0;
    if (!ok) return false;
  }
  return text.find('<') == std::string::npos;
}

// One root element, tags nested and closed, attributes quoted, no stray
// '<' or '&' in text or values.
inline bool well_formed(const std::string& xml, std::string& why) {
  std::vector<std::string> open;
  std::size_t pos = 0, roots = 0;
  if (xml.starts_with("<?xml")) pos = xml.find("?>") + 2;
  auto name_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == '_'; };
  while (pos < xml.size()) {
    std::size_t lt = xml.find('<', pos);
    const std::string text = xml.substr(pos, lt == std::string::npos ? std::string::npos : lt - pos);
    if (!valid_entities(text)) return why = "bad text: " + text, false;
    if (open.empty() && text.find_first_not_of(" \n") != std::string::npos) return why = "text outside the root", false;
    if (lt == std::string::npos) break;
    std::size_t gt = xml.find('>', lt);
    if (gt == std::string::npos) return why = "unclosed tag", false;
    std::string tag = xml.substr(lt + 1, gt - lt - 1);
    pos = gt + 1;
    if (tag.starts_with("/")) {
      if (open.empty() || open.back() != tag.substr(1)) return why = "mismatched </" + tag.substr(1) + ">", false;
      open.pop_back();
      continue;
    }
    const bool empty = tag.ends_with("/");
    if (empty) tag.pop_back();
    std::size_t i = 0;
    while (i < tag.size() && name_char(tag[i])) ++i;
    const std::string name = tag.substr(0, i);
    if (name.empty()) return why = "tag without a name", false;
    while (i < tag.size()) {  // attributes: name="value"
      while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i]))) ++i;
      if (i == tag.size()) break;
      std::size_t start = i;
      while (i < tag.size() && name_char(tag[i])) ++i;
      if (i == start || i + 1 >= tag.size() || tag[i] != '=' || tag[i + 1] != '"') return why = "bad attribute in <" + name, false;
      std::size_t close = tag.find('"', i + 2);
      if (close == std::string::npos || !valid_entities(tag.substr(i + 2, close - i - 2))) return why = "bad value in <" + name, false;
      i = close + 1;
    }
    if (open.empty() && ++roots > 1) return why = "two roots", false;
    if (!empty) open.push_back(name);
  }
  if (!open.empty()) return why = "<" + open.back() + "> not closed", false;
  return roots == 1 || (why = "no root", false);
}

inline std::string attribute(const std::string& tag, const std::string& name) {
  std::size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  at += name.size() + 3;
  return tag.substr(at, tag.find('"', at) - at);
}

inline std::vector<Panel> panels(const std::string& svg) {
  std::vector<Panel> out;
  for (std::size_t at = svg.find("<g class=\"panel\""); at != std::string::npos;
       at = svg.find("<g class=\"panel\"", at + 1)) {
    Panel p;
    std::size_t text = svg.find('>', svg.find("<text", at)) + 1;
    p.title = svg.substr(text, svg.find("</text>", text) - text);
    std::size_t sites = svg.find("<g class=\"sites\"", at);
    std::size_t end = svg.find("</g>", sites);
    for (std::size_t c = svg.find("<circle", sites); c < end; c = svg.find("<circle", c + 1)) {
      const std::string tag = svg.substr(c, svg.find('>', c) - c);
      p.circles.push_back({std::atof(attribute(tag, "cx").c_str()), std::atof(attribute(tag, "cy").c_str()),
                           std::atof(attribute(tag, "r").c_str()), attribute(tag, "fill")});
    }
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace ortelix::svg_test
