// A slow, independent model of a PCNM run, written from the rules of the
// program and not from its sources: the editing of F, I and free-format
// fields (digits from printf, not from the text layer), ranging, distances,
// truncation from the true distances, Gower centring, Householder
// reduction, QL iteration, sorting, scaling, the count and the correlation
// check, and the whole screen and file transcript of a dialogue. Tests
// compare the real binary against it byte for byte.
//
// Storage is row-major with the matrix's own order as leading dimension:
// nothing is shared with the product but the order of the arithmetic,
// which the rules fix.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace ortelix::e2e::model {

// Single-precision constants widened to double, spelled as the decimal
// values the rules quote.
inline const double kTenth = static_cast<double>(0.1f);        // 0.10000000149011612
inline const double kEps = static_cast<double>(1e-10f);        // 1.000000013351432e-10
inline const double kTol = static_cast<double>(1e-8f);         // 9.99999993922529e-09
inline const double kPositive = static_cast<double>(5e-7f);    // 4.999999987376214e-07

// ---------------------------------------------------------------- editing

// Fw.d: correctly rounded digits of |v|, a sign only when a digit is not 0,
// the leading 0 dropped when that alone makes the field fit.
inline std::string f_field(double v, int w, int d) {
  if (!std::isfinite(v)) return std::string(w, '*');
  std::vector<char> buf(400);
  std::snprintf(buf.data(), buf.size(), "%.*f", d, std::fabs(v));
  std::string digits = buf.data();
  if (d == 0) digits += '.';
  const bool negative = v < 0 && digits.find_first_of("123456789") != std::string::npos;
  std::string s = (negative ? "-" : "") + digits;
  if (static_cast<int>(s.size()) <= w) return std::string(w - s.size(), ' ') + s;
  if (static_cast<int>(s.size()) == w + 1 && digits[0] == '0') return (negative ? "-" : "") + digits.substr(1);
  return std::string(w, '*');
}

inline std::string i_field(long v, int w) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) > w) return std::string(w, '*');
  return std::string(w - s.size(), ' ') + s;
}

// Free-format real: sign column, then 9 significant digits, fixed for a
// decimal exponent of -4 to 8, trailing zeros dropped, point always there.
inline std::string list_real(double v) {
  const double a = std::fabs(v);
  std::string mag;
  if (a == 0) {
    mag = "0.";
  } else {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.8E", a);
    std::string s = buf;
    const std::size_t epos = s.find('E');
    const int e = std::atoi(s.c_str() + epos + 1);
    if (e >= -4 && e <= 8) {
      std::snprintf(buf, sizeof buf, "%.*f", 8 - e, a);
      mag = buf;
      if (mag.find('.') == std::string::npos) {
        mag += '.';
      } else {
        while (mag.back() == '0') mag.pop_back();
      }
    } else {
      std::string mant = s.substr(0, epos);
      while (mant.back() == '0') mant.pop_back();
      mag = mant + "E" + s.substr(epos + 1);
    }
  }
  return std::string(v < 0 ? "-" : " ") + mag;
}

// One free-format write: items appended under the 80-column rule.
class ListRecord {
 public:
  ListRecord& text(std::string_view t) {
    if (!line_.empty() && line_.size() + t.size() >= 80) end_line();
    if (line_.empty()) line_ += ' ';
    line_ += t;
    return *this;
  }
  ListRecord& integer(long v) {
    const std::string digits = std::to_string(v < 0 ? -v : v);
    if (!line_.empty() && line_.size() + digits.size() >= 80) end_line();
    line_ += v < 0 ? " -" : " ";
    line_ += digits;
    return *this;
  }
  ListRecord& real(double v) {
    const std::string t = " " + list_real(v);
    if (!line_.empty() && line_.size() + t.size() >= 80) end_line();
    line_ += t;
    return *this;
  }
  std::string str() const { return done_ + line_ + "\n"; }

 private:
  void end_line() {
    done_ += line_ + "\n";
    line_.clear();
  }
  std::string done_;
  std::string line_;
};

inline std::string say(std::string_view t) { return ListRecord().text(t).str(); }
inline std::string empty_line() { return "\n"; }

// Fields of one formatted write whose format repeats k fields per record
// (k values per line, optional leading blank on every line). No field at
// all still ends one record.
inline std::string folded(const std::vector<std::string>& fields, std::size_t k, bool lead_blank) {
  std::string out;
  std::size_t i = 0;
  do {
    std::string line;
    for (std::size_t j = 0; j < k && i < fields.size(); ++j, ++i) line += fields[i];
    if (lead_blank && !line.empty()) line = " " + line;
    out += line + "\n";
  } while (i < fields.size());
  return out;
}

inline std::vector<std::string> f_fields(const std::vector<double>& v, int w, int d) {
  std::vector<std::string> out;
  for (double x : v) out.push_back(f_field(x, w, d));
  return out;
}

// Ten labels per line, the number field chosen by the count of the block;
// the blanks after the last label of a line are not written. An empty block
// still writes the word.
inline std::string label_block(const std::string& word, int count) {
  const int width = count <= 99 ? 2 : count <= 999 ? 3 : 4;
  const int pad = 4 - width;
  if (count == 0) return word + "\n";
  std::string out;
  for (int k = 1; k <= count; ++k) {
    std::string label = word + i_field(k, width);
    const bool last_on_line = k % 10 == 0 || k == count;
    if (!last_on_line) label += std::string(pad, ' ');
    out += label;
    if (last_on_line) out += "\n";
  }
  return out;
}

// ------------------------------------------------------------ computation

// Square matrix of order n, 1-based access, row-major storage.
class Square {
 public:
  explicit Square(int n = 0) : n_(n), v_(static_cast<std::size_t>(n) * n, 0.0) {}
  double& operator()(int i, int j) { return v_[static_cast<std::size_t>(i - 1) * n_ + (j - 1)]; }
  double operator()(int i, int j) const { return v_[static_cast<std::size_t>(i - 1) * n_ + (j - 1)]; }
  int n() const { return n_; }

 private:
  int n_;
  std::vector<double> v_;
};

// Sites: ntot rows of p coordinates, supplementary ones last.
struct Sites {
  int n = 0;
  int p = 0;
  int nsup = 0;
  std::vector<std::vector<double>> x;  // x[i][k], 0-based
};

struct Ranging {
  std::vector<double> vmin, vrange;
  double rangmax = 0;
  bool all_same = false;
};

inline Ranging range_sites(Sites& s, bool pcnm) {
  Ranging r;
  const int ntot = s.n + s.nsup;
  r.vmin = s.x[0];
  std::vector<double> vmax = s.x[0];
  for (int i = 1; i < ntot; ++i) {
    for (int k = 0; k < s.p; ++k) {
      if (s.x[i][k] < r.vmin[k]) r.vmin[k] = s.x[i][k];
      if (s.x[i][k] > vmax[k]) vmax[k] = s.x[i][k];
    }
  }
  for (auto& row : s.x) {
    for (int k = 0; k < s.p; ++k) row[k] = row[k] - r.vmin[k];
  }
  r.vrange.resize(s.p);
  for (int k = 0; k < s.p; ++k) r.vrange[k] = vmax[k] - r.vmin[k];
  r.rangmax = r.vrange[0];
  for (int k = 1; k < s.p; ++k) {
    if (r.vrange[k] > r.rangmax) r.rangmax = r.vrange[k];
  }
  if (r.rangmax == 0) {
    r.all_same = true;
    return r;
  }
  if (pcnm) r.rangmax = r.rangmax * kTenth;
  for (auto& row : s.x) {
    for (int k = 0; k < s.p; ++k) row[k] = row[k] / r.rangmax;
  }
  return r;
}

inline Square distances(const Sites& s) {
  const int ntot = s.n + s.nsup;
  Square d(ntot);
  for (int i = 1; i < ntot; ++i) {
    for (int j = i + 1; j <= ntot; ++j) {
      double sum = 0;
      for (int k = 0; k < s.p; ++k) {
        const double diff = s.x[i - 1][k] - s.x[j - 1][k];
        sum = sum + diff * diff;
      }
      d(i, j) = std::sqrt(sum);
      d(j, i) = d(i, j);
    }
  }
  return d;
}

// Householder reduction with the tolerance tests in place of exact zero.
inline void householder(Square& a, std::vector<double>& d, std::vector<double>& e) {
  const int n = a.n();
  auto D = [&](int i) -> double& { return d[i - 1]; };
  auto E = [&](int i) -> double& { return e[i - 1]; };
  for (int i = n; i >= 2; --i) {
    const int l = i - 1;
    double h = 0;
    double scale = 0;
    if (l > 1) {
      for (int k = 1; k <= l; ++k) scale += std::fabs(a(i, k));
      if (std::fabs(scale) < kTol) {
        E(i) = a(i, l);
      } else {
        for (int k = 1; k <= l; ++k) {
          a(i, k) /= scale;
          h += a(i, k) * a(i, k);
        }
        double f = a(i, l);
        double g = f >= 0 ? -std::sqrt(h) : std::sqrt(h);
        E(i) = scale * g;
        h -= f * g;
        a(i, l) = f - g;
        f = 0;
        for (int j = 1; j <= l; ++j) {
          a(j, i) = a(i, j) / h;
          g = 0;
          for (int k = 1; k <= j; ++k) g += a(j, k) * a(i, k);
          for (int k = j + 1; k <= l; ++k) g += a(k, j) * a(i, k);
          E(j) = g / h;
          f += E(j) * a(i, j);
        }
        const double hh = f / (h + h);
        for (int j = 1; j <= l; ++j) {
          f = a(i, j);
          g = E(j) - hh * f;
          E(j) = g;
          for (int k = 1; k <= j; ++k) a(j, k) = (a(j, k) - f * E(k)) - g * a(i, k);
        }
      }
    } else {
      E(i) = a(i, l);
    }
    D(i) = h;
  }
  D(1) = 0;
  E(1) = 0;
  for (int i = 1; i <= n; ++i) {
    const int l = i - 1;
    if (std::fabs(D(i)) > kTol) {
      for (int j = 1; j <= l; ++j) {
        double g = 0;
        for (int k = 1; k <= l; ++k) g += a(i, k) * a(k, j);
        for (int k = 1; k <= l; ++k) a(k, j) -= g * a(k, i);
      }
    }
    D(i) = a(i, i);
    a(i, i) = 1;
    for (int j = 1; j <= l; ++j) {
      a(i, j) = 0;
      a(j, i) = 0;
    }
  }
}

// Implicit-shift QL; false after 50 iterations on one eigenvalue.
inline bool ql(std::vector<double>& d, std::vector<double>& e, Square& z) {
  const int n = z.n();
  auto D = [&](int i) -> double& { return d[i - 1]; };
  auto E = [&](int i) -> double& { return e[i - 1]; };
  if (n <= 1) return true;
  for (int i = 2; i <= n; ++i) E(i - 1) = E(i);
  E(n) = 0;
  for (int l = 1; l <= n; ++l) {
    int iterations = 0;
    for (;;) {
      int m = l;
      while (m <= n - 1 && !(std::fabs(E(m)) < kTol)) ++m;
      if (m == l) break;
      if (iterations == 50) return false;
      ++iterations;
      double g = (D(l + 1) - D(l)) / (E(l) + E(l));
      double r = std::sqrt(g * g + 1);
      g = (D(m) - D(l)) + E(l) / (g + (g >= 0 ? r : -r));
      double s = 1, c = 1, p = 0;
      for (int i = m - 1; i >= l; --i) {
        double f = s * E(i);
        const double b = c * E(i);
        if (std::fabs(f) - std::fabs(g) > -kTol) {
          c = g / f;
          r = std::sqrt(c * c + 1);
          E(i + 1) = f * r;
          s = 1 / r;
          c = c * s;
        } else {
          s = f / g;
          r = std::sqrt(s * s + 1);
          E(i + 1) = g * r;
          c = 1 / r;
          s = s * c;
        }
        g = D(i + 1) - p;
        r = (D(i) - g) * s + (c + c) * b;
        p = s * r;
        D(i + 1) = g + p;
        g = c * r - b;
        for (int k = 1; k <= n; ++k) {
          f = z(k, i + 1);
          z(k, i + 1) = s * z(k, i) + c * f;
          z(k, i) = c * z(k, i) - s * f;
        }
      }
      D(l) = D(l) - p;
      E(l) = g;
      E(m) = 0;
    }
  }
  return true;
}

// -(d^2/2) off the diagonal, then Gower centring.
inline Square gower_centred(const Square& dist) {
  const int n = dist.n();
  Square a(n);
  for (int i = 1; i < n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      a(i, j) = -(dist(i, j) * dist(i, j) * 0.5);
      a(j, i) = a(i, j);
    }
  }
  const double nbar = n;
  std::vector<double> mean(n + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) mean[j] += a(i, j);
  }
  double g = 0;
  for (int j = 1; j <= n; ++j) {
    g += mean[j];
    mean[j] /= nbar;
  }
  g = (g / nbar) / nbar;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) a(i, j) = ((a(i, j) - mean[i]) - mean[j]) + g;
  }
  return a;
}

struct Pcoa {
  bool converged = true;
  std::vector<double> eigval;  // sorted
  Square coords;               // coords(i, j): object i on axis j
  double possum = 0, negsum = 0, trace = 0;
  int npcnm = 0;
};

inline Pcoa pcoa(const Square& dist) {
  const int n = dist.n();
  Pcoa out;
  Square a = gower_centred(dist);
  for (int i = 1; i <= n; ++i) out.trace += a(i, i);
  std::vector<double> d(n, 0.0), e(n, 0.0);
  householder(a, d, e);
  if (!ql(d, e, a)) {
    out.converged = false;
    return out;
  }
  // Straight insertion, an eigenvalue passing every one not larger by more
  // than the tolerance.
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i + 1;
  for (int j = 1; j < n; ++j) {
    const double v = d[j];
    const int k = order[j];
    int i = j - 1;
    while (i >= 0 && d[i] - v <= kTol) {
      d[i + 1] = d[i];
      order[i + 1] = order[i];
      --i;
    }
    d[i + 1] = v;
    order[i + 1] = k;
  }
  out.coords = Square(n);
  for (int j = 1; j <= n; ++j) {
    const double ev = d[j - 1];
    const double factor = static_cast<float>(ev > 0 ? std::sqrt(ev) : std::sqrt(-ev));
    for (int i = 1; i <= n; ++i) out.coords(i, j) = a(i, order[j - 1]) * factor;
  }
  for (double v : d) {
    if (v >= 0) out.possum += v;
    if (v < 0) out.negsum += v;
  }
  int below = 0;
  for (int j = n - 1; j >= 0 && d[j] < kPositive; --j) ++below;
  out.npcnm = n - below;
  out.eigval = d;
  return out;
}

// Distances above the limit become four times the limit, always from the
// true distances.
inline Square truncated(const Square& dist, double thresh) {
  Square t = dist;
  for (int i = 1; i <= dist.n(); ++i) {
    for (int j = 1; j <= dist.n(); ++j) {
      if (i != j && dist(i, j) > thresh) t(i, j) = thresh * 4.0;
    }
  }
  return t;
}

struct Correl {
  int zero_variance = 0;
  double largest = 0;
};

// Standardizes columns 1..nvar of v (v[i][j], rows 0..n-1) in place.
inline Correl correl(std::vector<std::vector<double>>& v, int n, int nvar) {
  Correl out;
  std::vector<double> sum(nvar, 0.0), sumsq(nvar, 0.0), mean(nvar), sd(nvar);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < nvar; ++j) {
      sum[j] += v[i][j];
      sumsq[j] += v[i][j] * v[i][j];
    }
  }
  for (int j = 0; j < nvar; ++j) {
    mean[j] = sum[j] / n;
    const double var = (sumsq[j] - sum[j] * sum[j] / n) / (n - 1);
    sd[j] = var >= 0 ? std::sqrt(var) : 0.0;
  }
  for (int j = 0; j < nvar; ++j) {
    if (sd[j] < kTol) {
      out.zero_variance = j + 1;
      return out;
    }
  }
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < nvar; ++j) v[i][j] = (v[i][j] - mean[j]) / sd[j];
  }
  for (int a = 0; a < nvar - 1; ++a) {
    for (int b = a + 1; b < nvar; ++b) {
      double cross = 0;
      for (int t = 0; t < n; ++t) cross += v[t][a] * v[t][b];
      const double r = std::fabs(cross / (n - 1));
      if (r >= out.largest) out.largest = r;
    }
  }
  return out;
}

// Cyclic Jacobi rotations: a method unrelated to Householder and QL, for
// checking their eigenvalues and vectors. Returns the eigenvalues in
// decreasing order; `vectors` (if given) receives the matching unit
// eigenvectors as columns.
inline std::vector<double> jacobi(Square a, Square* vectors = nullptr) {
  const int n = a.n();
  Square v(n);
  for (int i = 1; i <= n; ++i) v(i, i) = 1;
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0, all = 0;
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) {
        all += a(i, j) * a(i, j);
        if (i != j) off += a(i, j) * a(i, j);
      }
    }
    if (off <= 1e-32 * all || off == 0) break;
    for (int p = 1; p < n; ++p) {
      for (int q = p + 1; q <= n; ++q) {
        if (a(p, q) == 0) continue;
        const double theta = (a(q, q) - a(p, p)) / (2 * a(p, q));
        const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 1; k <= n; ++k) {
          const double akp = a(k, p), akq = a(k, q);
          a(k, p) = c * akp - s * akq;
          a(k, q) = s * akp + c * akq;
        }
        for (int k = 1; k <= n; ++k) {
          const double apk = a(p, k), aqk = a(q, k);
          a(p, k) = c * apk - s * aqk;
          a(q, k) = s * apk + c * aqk;
        }
        for (int k = 1; k <= n; ++k) {
          const double vkp = v(k, p), vkq = v(k, q);
          v(k, p) = c * vkp - s * vkq;
          v(k, q) = s * vkp + c * vkq;
        }
      }
    }
  }
  std::vector<int> idx(n);
  for (int i = 0; i < n; ++i) idx[i] = i + 1;
  for (int i = 1; i < n; ++i) {  // insertion sort, decreasing
    for (int j = i; j > 0 && a(idx[j], idx[j]) > a(idx[j - 1], idx[j - 1]); --j) std::swap(idx[j], idx[j - 1]);
  }
  std::vector<double> values(n);
  for (int i = 0; i < n; ++i) values[i] = a(idx[i], idx[i]);
  if (vectors != nullptr) {
    *vectors = Square(n);
    for (int j = 1; j <= n; ++j) {
      for (int i = 1; i <= n; ++i) (*vectors)(i, j) = v(i, idx[j - 1]);
    }
  }
  return values;
}

// ------------------------------------------------------------- the dialogue

enum class Design { kTransect, kGrid, kFile };

struct Scenario {
  int layout = 1;  // 1 to 3
  bool verbose = false;
  Design design = Design::kTransect;
  int points = 0;           // transect
  int rows = 0, cols = 0;   // grid
  std::string file_text;    // coordinate file, written as sites.txt
  std::vector<std::string> limits;  // typed truncation limits, in order
};

struct Transcript {
  std::string stdin_text;
  std::string stdout_text;
  std::string stderr_text;
  std::string status = "exit 0";
  std::string report;    // rep.txt
  std::string variables; // var.txt
  int refusals = 0;
  int npcnm = -1;        // of the accepted attempt
};

inline std::string banner() {
  return " Program \"Ortelix\" creates a file of PCNM\n or polynomial spatial variables.\n\n"
         " Version 1.0\n Spatial variables for canonical ordination and regression.\n\n";
}

inline std::string a30(const std::string& name) { return (name + std::string(79, ' ')).substr(0, 30); }

// Sites of a coordinate file of plain numbers separated by blanks and line
// ends, one site per line after the header line.
inline Sites parse_sites(const std::string& text) {
  Sites s;
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  auto numbers = [](const std::string& line) {
    std::vector<double> v;
    const char* p = line.c_str();
    char* end = nullptr;
    for (double x = std::strtod(p, &end); end != p; x = std::strtod(p, &end)) {
      v.push_back(x);
      p = end;
    }
    return v;
  };
  std::vector<double> header = numbers(lines[0]);
  s.n = static_cast<int>(header[0]);
  s.p = static_cast<int>(header[1]);
  s.nsup = static_cast<int>(header[2]);
  for (int i = 1; i <= s.n + s.nsup; ++i) {
    std::vector<double> v = numbers(lines[i]);
    v.resize(s.p);
    s.x.push_back(v);
  }
  return s;
}

inline Transcript run_pcnm(const Scenario& sc) {
  Transcript t;
  std::string& out = t.stdout_text;
  std::string& rep = t.report;
  const std::string name79 = "var.txt" + std::string(72, ' ');

  t.stdin_text = "rep.txt\nvar.txt\n" + std::to_string(sc.verbose ? -sc.layout : sc.layout) + "\n";
  out += banner();
  out += " This program can handle a maximum of" + i_field(2000, 7) + " objects.\n";
  out += say("Name of output file containing the PCoA eigenvalues?");
  rep += banner();
  out += empty_line() + say("Name of output file containing the spatial") + say("variables (PCNM or monomials)?");
  out += empty_line() + say("Output the file of spatial variables in the following format:") +
         say("(1) A single line per object") + say("(2) Folded object vectors, 10 to 12 values per line") +
         say("(3) Canoco input file, FREE format");
  out += empty_line() + say("Sampling design:") + say("(1) A transect with equidistant points") +
         say("(2) A regular grid") + say("(3) File containing X or X-Y coordinates");

  Sites sites;
  if (sc.design == Design::kTransect) {
    t.stdin_text += "1\n" + std::to_string(sc.points) + "\n";
    out += empty_line() + say("Number of objects?");
    rep += say(" Unidimensional transect with equidistant points");
    sites.n = sc.points;
    sites.p = 1;
    for (int i = 1; i <= sc.points; ++i) sites.x.push_back({static_cast<double>(i)});
  } else if (sc.design == Design::kGrid) {
    t.stdin_text += "2\n" + std::to_string(sc.rows) + " " + std::to_string(sc.cols) + "\n0\n";
    out += empty_line() + say("Regular grid: ") + say("number of rows and columns of points (two integers)");
    rep += " Regular grid containing\n" + i_field(sc.rows, 7) + " horizontal points\n" + i_field(sc.cols, 7) +
           " vertical points\n\n";
    out += empty_line() + say("Save the file of X-Y coordinates?") + say("(0) No, (1) Yes");
    sites.n = sc.rows * sc.cols;
    sites.p = 2;
    for (int i = 0; i < sites.n; ++i) {
      sites.x.push_back({static_cast<double>(i % sc.rows + 1), static_cast<double>(i / sc.rows + 1)});
    }
  } else {
    t.stdin_text += "3\nsites.txt\n";
    sites = parse_sites(sc.file_text);
    out += empty_line() + say("File containing the coordinates?");
    out += " Input file of coordinates: " + a30("sites.txt") + "\n";
    rep += "\n Input file: " + a30("sites.txt") + "\n" + i_field(sites.n, 6) + " objects\n" + i_field(sites.p, 6) +
           " coordinates\n" + i_field(sites.nsup, 6) + " supplementary objects\n\n";
    if (sc.verbose) {
      rep += empty_line() + say("Matrice X") + empty_line();
      for (const auto& row : sites.x) rep += folded(f_fields(row, 10, 5), 10, true);
      rep += empty_line();
    }
  }
  t.stdin_text += "1\n";
  out += empty_line() + say("Do you want to construct") + say("(1) a file of PCNM spatial variables?") +
         say("(2) a file containing a polynomial of the coordinates?");

  const std::string ranged = "\n The coordinates were ranged and centred before computing the spatial variables.\n";
  out += ranged;
  rep += ranged;
  const int ntot = sites.n + sites.nsup;
  Ranging rg = range_sites(sites, true);
  if (rg.all_same) {
    const std::string same = empty_line() + say("All the sites have the same coordinates: no spatial") +
                             say("variables can be built.");
    out += same;
    rep += same;
    return t;
  }
  if (sc.verbose) {
    ListRecord mins, ranges;
    mins.text("Vector Minim =");
    ranges.text("Vector Maxim =");
    for (int k = 0; k < sites.p; ++k) {
      mins.real(rg.vmin[k]);
      ranges.real(rg.vrange[k]);
    }
    out += mins.str() + ranges.str() + ListRecord().text("Rangmax =").real(rg.rangmax).str() + empty_line();
    rep += empty_line() + say("Matrix X after ranging") + empty_line();
    for (const auto& row : sites.x) rep += folded(f_fields(row, 10, 5), 10, true);
    rep += empty_line();
  }

  rep += empty_line() + say("Matrix of PCNM spatial variables");
  const Square dist = distances(sites);
  Pcoa result;
  for (std::size_t attempt = 0;; ++attempt) {
    out += empty_line() + say("Truncation of the distance matrix --") + empty_line() +
           say("Highest unmodified value in distance matrix?") +
           say("Type an integer or a real number, ex. 1 or 65.22.") +
           say("Use the SAME measurement units as the site coordinates.");
    if (attempt == sc.limits.size()) {
      t.stderr_text = "list in: end of file\napparent state: unit 5 (unnamed)\nlast format: list io\n"
                      "lately reading sequential formatted external IO\n";
      t.status = "exit 134";
      return t;
    }
    t.stdin_text += sc.limits[attempt] + "\n";
    const double limit = std::strtod(sc.limits[attempt].c_str(), nullptr);
    const double thresh = limit / rg.rangmax + kEps;
    if (sc.verbose) out += ListRecord().text("Bs/rangmax =").real(thresh).str();
    out += empty_line();
    rep += "    Highest unmodified distance value = " + f_field(thresh * rg.rangmax, 12, 3) + "\n";
    rep += "    Multiplier for \"large distances\"  = " + f_field(4.0, 12, 3) + "\n";
    result = pcoa(truncated(dist, thresh));
    if (!result.converged) {
      t.stderr_text = "STOP Too many iterations in TQLI statement executed\n";
      return t;
    }
    rep += "\n\n Sum of positive eigenvalues         " + f_field(result.possum, 15, 5) +
           "\n Sum of negative eigenvalues         " + f_field(result.negsum, 15, 5) +
           "\n Trace of Gower-centred matrix       " + f_field(result.trace, 15, 5) + "\n";
    rep += "\n Number of positive eigenvalues:" + i_field(result.npcnm, 4) + "\n\n";
    rep += say("Eigenvalues of the PCoA:") + empty_line() + folded(f_fields(result.eigval, 12, 6), 8, true);
    if (result.npcnm < ntot - 1) {
      out += " Truncation of the distance matrix to the distance" + f_field(thresh * rg.rangmax, 12, 3) +
             "\n yielded" + i_field(result.npcnm, 5) + " positive eigenvalues.\n";
      break;
    }
    ++t.refusals;
    out += empty_line() + ListRecord().text("Truncation of the distance matrix using limit ").real(thresh).str() +
           ListRecord().text("yielded a PCNM matrix containing ").integer(result.npcnm).text(" variables.").str() +
           say("There are too many PCNMs: R-square=1, not signif.") + say("Choose a lower truncation limit.");
  }
  const int nvar = result.npcnm;
  t.npcnm = nvar;
  std::vector<std::vector<double>> v(sites.n, std::vector<double>(nvar));
  for (int i = 0; i < sites.n; ++i) {
    for (int j = 0; j < nvar; ++j) v[i][j] = result.coords(i + 1, j + 1);
  }
  if (sites.nsup > 0) {
    Correl c = correl(v, sites.n, nvar);
    if (c.zero_variance != 0) {
      rep += ListRecord().text("Variance nulle pour variable X no ").integer(c.zero_variance).str();
      return t;
    }
    out += empty_line() + say("The use of supplementary objects in the computations") +
           say("induces correlations among the spatial variables.") +
           " The largest (absolute) correlation value is" + f_field(c.largest, 7, 4) + "\n" +
           say("If you find this value acceptable, keep the matrix of") +
           say("PCNM variables built by this program. If you find ") +
           say("this value too high, rerun the program using fewer") + say("supplementary objects.");
    rep += "\n Largest absolute correlation value between two spatial variables:" + f_field(c.largest, 7, 4) + "\n";
  }

  std::string& var = t.variables;
  if (sc.layout == 3) {
    var += "File of PCNM variables\nFREE\n";
    var += ListRecord().integer(nvar).integer(sites.n).str();
    for (const auto& row : v) var += folded(f_fields(row, 11, 6), 11, false);
    var += label_block("PCNM", nvar) + label_block("Site", sites.n);
  } else {
    var += ListRecord().integer(sites.n).integer(nvar).str();
    for (const auto& row : v) var += folded(f_fields(row, 11, 6), sc.layout == 1 ? 2000 : 11, false);
  }

  out += empty_line() + say("The principal coordinates with positive") + say("eigenvalues (PCNM variables) have been") +
         ListRecord().text("written out to file ").text(name79).str();
  out += "\n Computation time:" + f_field(0.0, 10, 2) + " sec.\n";
  rep += "\n Computation time:" + f_field(0.0, 10, 2) + " sec.\n";
  rep += empty_line() + say("End of the program.");
  out += empty_line() + say("End of the program.");
  return t;
}

}  // namespace ortelix::e2e::model
