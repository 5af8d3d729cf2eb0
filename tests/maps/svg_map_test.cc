// Maps: well-formed, self-contained SVG with one panel per variable and a
// circle per site, sized by |value| and filled by sign, at one scale.
#include <cmath>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "maps/svg_map.h"

namespace ortelix::maps {
namespace {

// Well-formed XML, as far as the maps go: nothing but tags with quoted
// attributes and text without '<' or a bare '&', tags nested and closed,
// one root. Returns "" or what is wrong.
std::string xml_fault(const std::string& xml) {
  static const std::regex tag(R"(<(/?)([\w:-]+)(?:\s+[\w:-]+="(?:[^"<&]|&(?:amp|lt|gt|quot);)*")*\s*(/?)>)");
  static const std::regex text(R"((?:[^<&]|&(?:amp|lt|gt|quot);)*)");
  std::vector<std::string> open;
  int roots = 0;
  std::size_t at = xml.starts_with("<?xml") ? xml.find("?>") + 2 : 0;
  for (std::smatch m; at < xml.size(); at += m.length(0)) {
    const std::string rest = xml.substr(at);
    if (std::regex_search(rest, m, text, std::regex_constants::match_continuous) && m.length(0) > 0) {
      if (open.empty() && m.str().find_first_not_of(" \n") != std::string::npos) return "text outside the root";
      continue;
    }
    if (!std::regex_search(rest, m, tag, std::regex_constants::match_continuous)) return "bad tag at " + rest.substr(0, 40);
    if (m[1].length() > 0) {
      if (open.empty() || open.back() != m[2]) return "mismatched </" + m[2].str() + ">";
      open.pop_back();
    } else {
      roots += open.empty();
      if (m[3].length() == 0) open.push_back(m[2]);
    }
  }
  return !open.empty() ? "<" + open.back() + "> not closed" : roots != 1 ? "roots: " + std::to_string(roots) : "";
}

struct Circle {
  double cx, cy, r;
  std::string fill;
};

// Per panel: its title and its circles.
std::vector<std::pair<std::string, std::vector<Circle>>> panels(const std::string& svg) {
  std::vector<std::pair<std::string, std::vector<Circle>>> out;
  static const std::regex item(
      R"re(<g class="panel"[^>]*>\n<text[^>]*>([^<]*)<|<circle cx="([^"]*)" cy="([^"]*)" r="([^"]*)" fill="([^"]*)"/>)re");
  for (std::sregex_iterator i(svg.begin(), svg.end(), item), end; i != end; ++i) {
    const std::smatch& m = *i;
    if (m[1].matched) out.push_back({m[1], {}});
    if (m[2].matched && !out.empty()) out.back().second.push_back({std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
  }
  return out;
}

sites::Sites two_d(std::vector<double> coords) {
  sites::Sites s;
  s.p = 2;
  s.coords = std::move(coords);
  s.n = static_cast<Index>(s.coords.size() / 2);
  return s;
}

// Circle areas follow |value| (largest |value| 8: radii in the ratios
// sqrt(|v| / 8)), the fill the sign; text is escaped; nothing is fetched.
TEST(SvgMap, OneSelfContainedPanelPerVariableOneCirclePerSite) {
  const std::vector<double> values = {2, -0.5, 0, 8, -8, 0.02};
  const std::string svg = *render_map_svg("a<b & \"c\".txt", two_d({0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0}),
                                         {{"x<y", values}, {"PCNM 2", {1, 1, 1, 1, 1, 1}}});
  EXPECT_EQ("", xml_fault(svg));
  EXPECT_NE(std::string::npos, svg.find("a&lt;b &amp; &quot;c&quot;.txt"));
  for (const char* outside : {"<script", "href", "url(", "@import", "<image"}) EXPECT_EQ(std::string::npos, svg.find(outside));
  const auto found = panels(svg);
  ASSERT_EQ(2u, found.size());
  EXPECT_EQ("x&lt;y", found[0].first);
  EXPECT_EQ("PCNM 2", found[1].first);
  ASSERT_EQ(6u, found[0].second.size());
  const double ratio[] = {0.5, 0.25, 0, 1, 1, 0.05};
  const char* fill[] = {"#222", "none", "none", "#222", "none", "#222"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_NEAR(found[0].second[3].r * ratio[i], found[0].second[i].r, 0.006) << i;  // radii to 0.01 px
    EXPECT_EQ(fill[i], found[0].second[i].fill) << i;
  }
  // X spans 16 around 1e17, where every round tick is the same double.
  const std::string far = *render_map_svg("h", two_d({1e17, 0, 1e17 + 16, 10}), {{"v", {1, -1}}});
  EXPECT_EQ("", xml_fault(far));
  const std::regex x_label("text-anchor=\"middle\"");
  EXPECT_EQ(1, std::distance(std::sregex_iterator(far.begin(), far.end(), x_label), {}));
}

// One scale in X and Y, larger Y higher up; a transect on one line. The
// grid runs X fastest: sites 1 and 2 differ in X, sites 1 and 4 in Y.
TEST(SvgMap, NorthUpAtOneScale) {
  const auto grid = panels(*render_map_svg("h", sites::grid_sites(3, 2), {{"v", {1, 2, 3, 4, 5, 6}}})).at(0).second;
  ASSERT_EQ(6u, grid.size());
  EXPECT_GT(grid[1].cx - grid[0].cx, 0);
  EXPECT_NEAR(grid[0].cx - grid[1].cx, grid[3].cy - grid[0].cy, 0.02);
  EXPECT_NEAR(grid[0].cy, grid[1].cy, 0.005);
  EXPECT_NEAR(grid[0].cx, grid[3].cx, 0.005);
  const auto line = panels(*render_map_svg("h", sites::transect_sites(3), {{"v", {1, -1, 1}}})).at(0).second;
  ASSERT_EQ(3u, line.size());
  EXPECT_NEAR(line[2].cx - line[1].cx, line[1].cx - line[0].cx, 0.02);
  EXPECT_EQ(line[0].cy, line[2].cy);
}

TEST(SvgMap, MonomialNamesInTheOrderOfTheVariableFile) {
  const std::vector<std::string> surface = {"X",   "Y",    "X²",   "XY",  "Y²", "X³",  "X²Y", "XY²",  "Y³",   "X⁴",
                                            "X³Y", "X²Y²", "XY³", "Y⁴", "X⁵", "X⁴Y", "X³Y²", "X²Y³", "XY⁴", "Y⁵"};
  for (std::size_t k = 0; k < surface.size(); ++k) EXPECT_EQ(surface[k], monomial_term(static_cast<Index>(k), 2));
  const std::vector<std::string> line = {"X", "X²", "X³", "X⁴", "X⁵"};
  for (std::size_t k = 0; k < line.size(); ++k) EXPECT_EQ(line[k], monomial_term(static_cast<Index>(k), 1));
}

// Positions whose span passes the largest double have no scale: refused,
// never a map of NaN.
TEST(SvgMap, RefusesASpanBeyondTheLargestDouble) {
  sites::Sites s = two_d({-1e308, 0, 1e308, 1});
  s.name = "far.txt";
  auto svg = render_map_svg("h", s, {{"v", {1, -1}}});
  ASSERT_FALSE(svg.ok());
  EXPECT_EQ("far.txt: the coordinates span a range beyond the largest double: no map can be drawn", svg.error());
}

// Twins do not make the circles vanish: the spacing is to the nearest site
// at another position.
TEST(SvgMap, TwinsKeepTheCirclesOfTheirSpacing) {
  const auto plain = panels(*render_map_svg("h", two_d({0, 0, 10, 0, 20, 0}), {{"v", {1, 1, 1}}}));
  const auto twins = panels(*render_map_svg("h", two_d({0, 0, 0, 0, 10, 0, 10, 0, 20, 0, 20, 0}), {{"v", {1, 1, 1, 1, 1, 1}}}));
  EXPECT_EQ(plain.at(0).second.at(0).r, twins.at(0).second.at(0).r);
}

}  // namespace
}  // namespace ortelix::maps
