#include "tools/svg_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tools/svg_checks.h"

namespace ortelix::tools {
namespace {

Sites two_d(std::vector<double> coords) {
  Sites s;
  s.p = 2;
  s.coords = std::move(coords);
  s.n = static_cast<long>(s.coords.size() / 2);
  return s;
}

TEST(SvgMap, OnePanelPerVariableOneCirclePerSiteWellFormed) {
  const Sites sites = two_d({0, 0, 10, 0, 0, 10, 10, 10, 5, 5});
  std::vector<MapPanel> panels = {
      {"PCNM 1", {1, -1, 2, -2, 0.5}}, {"PCNM 2", {1, 1, 1, 1, 1}}, {"PCNM 3", {0, 0, 0, 0, 0}}};
  const std::string svg = render_map_svg("var.txt: 5 sites, 3 variables", sites, panels);
  std::string why;
  EXPECT_TRUE(svg_test::well_formed(svg, why)) << why;
  const auto found = svg_test::panels(svg);
  ASSERT_EQ(found.size(), 3u);
  for (std::size_t k = 0; k < found.size(); ++k) {
    EXPECT_EQ(found[k].title, panels[k].title);
    EXPECT_EQ(found[k].circles.size(), 5u);
  }
  // Self-contained: nothing to fetch, nothing to run.
  for (const char* outside : {"<script", "href", "url(", "@import", "<image"}) {
    EXPECT_EQ(svg.find(outside), std::string::npos) << outside;
  }
  EXPECT_NE(svg.find("font-family=\"sans-serif\""), std::string::npos);
}

TEST(SvgMap, AreaFollowsAbsoluteValueAndFillFollowsSign) {
  const Sites sites = two_d({0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0});
  // Largest |value| 8: radii in the ratios sqrt(|v| / 8).
  const std::vector<double> values = {2, -0.5, 0, 8, -8, 0.02};
  const auto found = svg_test::panels(render_map_svg("h", sites, {{"Variable 1", values}}));
  ASSERT_EQ(found.size(), 1u);
  ASSERT_EQ(found[0].circles.size(), values.size());
  const double largest = found[0].circles[3].r;
  EXPECT_GT(largest, 1.0);
  const double ratio[] = {0.5, 0.25, 0, 1, 1, 0.05};
  const char* fill[] = {"#222", "none", "none", "#222", "none", "#222"};
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(found[0].circles[i].r, largest * ratio[i], 0.006);  // radii are written to 0.01 px
    EXPECT_EQ(found[0].circles[i].fill, fill[i]);
  }
}

TEST(SvgMap, MapsKeepOneScaleAndNorthUp) {
  // Grid 3 by 2, X fastest: sites 1 and 2 one unit apart in X, sites 1
  // and 4 one unit apart in Y.
  const auto grid = svg_test::panels(render_map_svg("h", grid_sites(3, 2), {{"v", {1, 2, 3, 4, 5, 6}}}));
  ASSERT_EQ(grid.size(), 1u);
  const auto& c = grid[0].circles;
  ASSERT_EQ(c.size(), 6u);
  const double dx = c[1].cx - c[0].cx;
  const double dy = c[3].cy - c[0].cy;
  EXPECT_GT(dx, 0);
  EXPECT_NEAR(dy, -dx, 0.02);  // larger Y higher up, same scale
  EXPECT_NEAR(c[0].cy, c[1].cy, 0.005);
  EXPECT_NEAR(c[0].cx, c[3].cx, 0.005);

  // One coordinate: the sites stand on a line.
  const auto line = svg_test::panels(render_map_svg("h", transect_sites(4), {{"v", {1, -1, 1, -1}}}));
  ASSERT_EQ(line.size(), 1u);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_NEAR(line[0].circles[i].cy, line[0].circles[0].cy, 0.005);
    EXPECT_NEAR(line[0].circles[i].cx - line[0].circles[i - 1].cx, line[0].circles[1].cx - line[0].circles[0].cx,
                0.02);
  }
}

// Axis ticks far from 0, where adding 1 to a tick's multiple changes
// nothing, must still come to an end.
TEST(SvgMap, SitesFarFromTheOrigin) {
  const std::string svg = render_map_svg("h", two_d({1e17, 0, 1e17 + 16, 10}), {{"v", {1, -1}}});
  std::string why;
  EXPECT_TRUE(svg_test::well_formed(svg, why)) << why;
  EXPECT_EQ(svg_test::panels(svg).at(0).circles.size(), 2u);
  // X spans 16 around 1e17: every round tick there is the same double.
  std::size_t x_labels = 0;
  for (std::size_t at = svg.find("text-anchor=\"middle\""); at != std::string::npos;
       at = svg.find("text-anchor=\"middle\"", at + 1)) {
    ++x_labels;
  }
  EXPECT_EQ(x_labels, 1u);
}

TEST(SvgMap, TextIsEscaped) {
  const std::string svg = render_map_svg("a<b & \"c\".txt", transect_sites(2), {{"x<y", {1, 2}}});
  std::string why;
  EXPECT_TRUE(svg_test::well_formed(svg, why)) << why;
  EXPECT_NE(svg.find("a&lt;b &amp; &quot;c&quot;.txt"), std::string::npos);
  EXPECT_EQ(svg_test::panels(svg).at(0).title, "x&lt;y");
}

TEST(MonomialTerm, OrderOfTheVariableFile) {
  // By increasing degree, and within a degree by decreasing power of X.
  const std::vector<std::string> surface = {"X",  "Y",   "X²",  "XY",  "Y²",  "X³",  "X²Y", "XY²", "Y³",  "X⁴",
                                            "X³Y", "X²Y²", "XY³", "Y⁴", "X⁵", "X⁴Y", "X³Y²", "X²Y³", "XY⁴", "Y⁵"};
  for (std::size_t k = 0; k < surface.size(); ++k) EXPECT_EQ(monomial_term(static_cast<long>(k), 2), surface[k]);
  const std::vector<std::string> line = {"X", "X²", "X³", "X⁴", "X⁵"};
  for (std::size_t k = 0; k < line.size(); ++k) EXPECT_EQ(monomial_term(static_cast<long>(k), 1), line[k]);
}

}  // namespace
}  // namespace ortelix::tools
