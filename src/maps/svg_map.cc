#include "maps/svg_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <limits>

#include <nanoflann.hpp>

namespace ortelix::maps {
namespace {

// Sizes in pixels.
constexpr double kPlotSide = 240;     // the longer side of a map's data area
constexpr double kStripLength = 460;  // data length of a one-coordinate map
constexpr double kStripHeight = 40;
constexpr double kLeft = 48, kRight = 12, kTop = 38, kBottom = 32;
constexpr double kOuter = 16, kHeading = 60;

std::string num(double v, const char* format = "%.2f") {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Round tick values (1, 2 or 5 times a power of ten) in [lo, hi], about
// one per 40 pixels of the axis.
std::vector<double> ticks(double lo, double hi, double pixels) {
  if (!(hi > lo)) return {lo};
  const double rough = (hi - lo) / std::clamp(std::floor(pixels / 40), 1.0, 6.0);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= rough) break;
  }
  // Far from 0, k + 1 may equal k in floating point: stop at a repeat.
  std::vector<double> out;
  const double first = std::ceil(lo / step);
  for (int m = 0; m < 12 && (first + m) * step <= hi + step * 1e-9; ++m) {
    const double t = (first + m) * step + 0.0;  // + 0.0 turns -0 into 0
    if (!out.empty() && t == out.back()) break;
    out.push_back(t);
  }
  return out;
}

// The first `dims` coordinates of the sites of the analysis, for the tree.
struct Plane {
  const sites::Sites& sites;
  int dims;
  std::size_t kdtree_get_point_count() const { return static_cast<std::size_t>(sites.n); }
  double kdtree_get_pt(std::uint32_t i, std::size_t k) const { return sites.at(i, static_cast<int>(k)); }
  template <class Box>
  bool kdtree_get_bbox(Box&) const {
    return false;
  }
};

// The median distance from a site to its nearest site at another position:
// the spacing that sets the size of the circles.
double median_nearest_neighbour(const sites::Sites& sites, int dims) {
  using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<double, Plane>, Plane, -1, std::uint32_t>;
  const Plane plane{sites, dims};
  Tree tree(dims, plane, nanoflann::KDTreeSingleIndexAdaptorParams(10));
  tree.buildIndex();
  std::vector<double> nearest;
  std::vector<std::uint32_t> index;
  std::vector<double> squared;
  for (Index i = 0; i < sites.n; ++i) {
    // Twins stand at distance 0: ask for more neighbours until one is apart.
    for (std::size_t k = 2;; k *= 4) {
      k = std::min<std::size_t>(k, static_cast<std::size_t>(sites.n));
      index.resize(k);
      squared.resize(k);
      const std::size_t found = tree.knnSearch(sites.site(i), k, index.data(), squared.data());
      std::size_t j = 0;
      while (j < found && !(squared[j] > 0)) ++j;
      if (j < found) {
        nearest.push_back(std::sqrt(squared[j]));
        break;
      }
      if (k == static_cast<std::size_t>(sites.n) || k >= 64) break;  // a crowd at one position: no spacing of its own
    }
  }
  if (nearest.empty()) return 0;
  std::nth_element(nearest.begin(), nearest.begin() + nearest.size() / 2, nearest.end());
  return nearest[nearest.size() / 2];
}

struct Frame {
  double x0, x1, y0, y1;  // data extent
  double scale;           // pixels per data unit
  double pad;             // pixels between the extent and the frame
  double width, height;   // frame size in pixels
  double radius;          // of the largest circle
  bool line;              // one coordinate
  double px(double x) const { return kLeft + pad + (x - x0) * scale; }
  double py(double y) const { return line ? kTop + height / 2 : kTop + height - pad - (y - y0) * scale; }
};

Frame make_frame(const sites::Sites& sites) {
  Frame f{};
  f.line = sites.p == 1;
  const int dims = f.line ? 1 : 2;
  f.x0 = f.y0 = std::numeric_limits<double>::infinity();
  f.x1 = f.y1 = -std::numeric_limits<double>::infinity();
  for (Index i = 0; i < sites.n; ++i) {
    f.x0 = std::min(f.x0, sites.at(i, 0));
    f.x1 = std::max(f.x1, sites.at(i, 0));
    if (!f.line) {
      f.y0 = std::min(f.y0, sites.at(i, 1));
      f.y1 = std::max(f.y1, sites.at(i, 1));
    }
  }
  if (f.line) f.y0 = f.y1 = 0;
  double extent = std::max(f.x1 - f.x0, f.y1 - f.y0);
  f.scale = extent > 0 ? (f.line ? kStripLength : kPlotSide) / extent : 1;
  const double spacing = median_nearest_neighbour(sites, dims) * f.scale;
  // Half the typical spacing: the largest circles of neighbours just touch.
  f.radius = spacing > 0 ? std::clamp(spacing * 0.5, 2.0, 14.0) : 8.0;
  f.pad = f.radius + 4;
  f.width = (f.x1 - f.x0) * f.scale + 2 * f.pad;
  f.height = f.line ? std::max(kStripHeight, 2 * f.pad) : (f.y1 - f.y0) * f.scale + 2 * f.pad;
  return f;
}

void axes(std::string& out, const Frame& f) {
  const double bottom = kTop + f.height;
  out += "<rect x=\"" + num(kLeft) + "\" y=\"" + num(kTop) + "\" width=\"" + num(f.width) + "\" height=\"" +
         num(f.height) + "\" fill=\"none\" stroke=\"#999\"/>\n";
  for (double t : ticks(f.x0, f.x1, (f.x1 - f.x0) * f.scale)) {
    const std::string x = num(f.px(t));
    out += "<line x1=\"" + x + "\" y1=\"" + num(bottom) + "\" x2=\"" + x + "\" y2=\"" + num(bottom + 4) +
           "\" stroke=\"#999\"/>\n";
    out += "<text x=\"" + x + "\" y=\"" + num(bottom + 16) + "\" text-anchor=\"middle\">" + num(t, "%.10g") +
           "</text>\n";
  }
  if (f.line) return;
  for (double t : ticks(f.y0, f.y1, (f.y1 - f.y0) * f.scale)) {
    const std::string y = num(f.py(t));
    out += "<line x1=\"" + num(kLeft - 4) + "\" y1=\"" + y + "\" x2=\"" + num(kLeft) + "\" y2=\"" + y +
           "\" stroke=\"#999\"/>\n";
    out += "<text x=\"" + num(kLeft - 6) + "\" y=\"" + num(f.py(t) + 4) + "\" text-anchor=\"end\">" + num(t, "%.10g") +
           "</text>\n";
  }
}

}  // namespace

std::string monomial_term(Index index, int p) {
  static const char* const kPower[] = {"", "", "²", "³", "⁴", "⁵"};
  auto term = [](const char* letter, long power) {
    if (power == 0) return std::string();
    return letter + std::string(power < 6 ? kPower[power] : "^" + std::to_string(power));
  };
  if (p == 1) return term("X", index + 1);
  // Written by increasing degree, and within a degree by decreasing power of X.
  for (long degree = 1, position = 0;; ++degree) {
    for (long a = degree; a >= 0; --a, ++position) {
      if (position == index) return term("X", a) + term("Y", degree - a);
    }
  }
}

Expected<std::string> render_map_svg(const std::string& heading, const sites::Sites& sites,
                                     const std::vector<MapPanel>& panels) {
  const Frame f = make_frame(sites);
  // Past the largest double the scale is 0 or not a number, and so is every
  // position on the map.
  if (!(std::isfinite(f.scale) && f.scale > 0 && std::isfinite(f.x1 - f.x0) && std::isfinite(f.y1 - f.y0))) {
    return fail(sites.name + ": the coordinates span a range beyond the largest double: no map can be drawn");
  }
  const double panel_w = kLeft + f.width + kRight;
  const double panel_h = kTop + f.height + kBottom;
  const long columns = std::min<long>(static_cast<long>(panels.size()), f.line ? 2 : 4);
  const long rows = (static_cast<long>(panels.size()) + columns - 1) / columns;
  const double width = std::max(2 * kOuter + columns * panel_w, 560.0);
  const double height = kHeading + rows * panel_h + kOuter;

  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width, "%.0f") + "\" height=\"" +
         num(height, "%.0f") + "\" viewBox=\"0 0 " + num(width, "%.0f") + " " + num(height, "%.0f") +
         "\" font-family=\"sans-serif\" font-size=\"11\" fill=\"#222\">\n";
  out += "<title>" + escape(heading) + "</title>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<text x=\"" + num(kOuter) + "\" y=\"24\" font-size=\"15\">" + escape(heading) + "</text>\n";
  out += "<g class=\"legend\">\n";
  out += "<circle cx=\"" + num(kOuter + 6) + "\" cy=\"42\" r=\"5\" fill=\"#222\" stroke=\"#222\"/>\n";
  out += "<text x=\"" + num(kOuter + 16) + "\" y=\"46\">positive</text>\n";
  out += "<circle cx=\"" + num(kOuter + 86) + "\" cy=\"42\" r=\"5\" fill=\"none\" stroke=\"#222\"/>\n";
  out += "<text x=\"" + num(kOuter + 96) + "\" y=\"46\">negative; circle area proportional to |value|, "
         "scaled in each panel</text>\n";
  out += "</g>\n";

  for (std::size_t k = 0; k < panels.size(); ++k) {
    const MapPanel& panel = panels[k];
    const double ox = kOuter + static_cast<double>(k % columns) * panel_w;
    const double oy = kHeading + static_cast<double>(k / columns) * panel_h;
    double largest = 0;
    for (double v : panel.values) largest = std::max(largest, std::fabs(v));
    out += "<g class=\"panel\" transform=\"translate(" + num(ox) + "," + num(oy) + ")\">\n";
    out += "<text x=\"" + num(kLeft) + "\" y=\"14\" font-size=\"13\" font-weight=\"bold\">" + escape(panel.title) +
           "</text>\n";
    out += "<text x=\"" + num(kLeft) + "\" y=\"29\" fill=\"#666\">largest |value| " + num(largest, "%.4g") +
           "</text>\n";
    axes(out, f);
    out += "<g class=\"sites\" stroke=\"#222\">\n";
    for (Index i = 0; i < sites.n; ++i) {
      const double v = panel.values[static_cast<std::size_t>(i)];
      const double r = largest > 0 ? f.radius * std::sqrt(std::fabs(v) / largest) : 0;
      out += "<circle cx=\"" + num(f.px(sites.at(i, 0))) + "\" cy=\"" +
             num(f.py(f.line ? 0 : sites.at(i, 1))) + "\" r=\"" + num(r) + "\" fill=\"" +
             (v > 0 ? "#222" : "none") + "\"/>\n";
    }
    out += "</g>\n</g>\n";
  }
  out += "</svg>\n";
  return out;
}

}  // namespace ortelix::maps
