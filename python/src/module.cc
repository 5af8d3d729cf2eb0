// ortelix._core: the library's PCNM runs, spanning-tree limit and values at
// new sites, on NumPy arrays. The package's Python layer (ortelix/__init__.py)
// checks the arguments and documents them; this file checks the data, hands
// it to the library without the GIL, and gives the results back without
// copying them.
#include <Python.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "large/geometry.h"
#include "large/pcnm_report.h"
#include "large/pcnm_run.h"
#include "large/progress.h"
#include "sites/pair_files.h"
#include "sites/sites.h"
#include "textio/record_sink.h"

namespace py = pybind11;
using namespace ortelix;

namespace {

// Ctrl-C during a run. The library works without the GIL; at its polls this
// takes the GIL back for a moment and lets Python run its signal handlers.
// A handler that raised (KeyboardInterrupt, by default) stops the run; its
// exception is kept, untouched, and raised once the library has unwound and
// freed what it held.
class InterruptCheck : public large::Progress {
 public:
  InterruptCheck() = default;
  InterruptCheck(const InterruptCheck&) = delete;
  InterruptCheck& operator=(const InterruptCheck&) = delete;
  // Destroyed with the GIL held, as every binding's local.
  ~InterruptCheck() override {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(trace_);
  }

  bool cancelled() override {
    if (raised_) return true;
    // The polls come every millisecond or so; a handler's answer is not
    // needed that often, and the GIL may be busy in another thread.
    const auto now = std::chrono::steady_clock::now();
    if (now < next_) return false;
    next_ = now + kEvery;
    const PyGILState_STATE gil = PyGILState_Ensure();
    if (PyErr_CheckSignals() != 0) {
      PyErr_Fetch(&type_, &value_, &trace_);
      raised_ = true;
    }
    PyGILState_Release(gil);
    return raised_;
  }

  // With the GIL: a handler's exception, if one was raised, is raised now.
  void raise_if_interrupted() {
    if (!raised_) return;
    raised_ = false;
    PyErr_Restore(type_, value_, trace_);
    type_ = value_ = trace_ = nullptr;
    throw py::error_already_set();
  }

 private:
  static constexpr auto kEvery = std::chrono::milliseconds(20);
  std::chrono::steady_clock::time_point next_{};
  bool raised_ = false;
  PyObject *type_ = nullptr, *value_ = nullptr, *trace_ = nullptr;
};

[[noreturn]] void refuse(const std::string& message) { throw py::value_error(message); }

template <class T>
T value_or_refuse(Expected<T> e) {
  if (!e.ok()) refuse(e.error());
  return std::move(*e);
}

std::string number_text(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// Appends the rows of an (m, p) array to `sites`, refusing what a
// coordinate file would refuse; `what` names the array in messages.
void append_rows(sites::Sites& sites, const py::array_t<double>& array, const char* what, bool longlat) {
  if (array.ndim() != 2) refuse(std::string(what) + ": an array of one row per site is needed");
  const auto a = array.unchecked<2>();
  const Index m = a.shape(0);
  const int p = static_cast<int>(a.shape(1));
  if (m > sites::kLargeCapacity - sites.total()) {
    refuse(std::string(what) + ": " + std::to_string(sites.total() + m) + " sites, the program accepts at most " +
           std::to_string(sites::kLargeCapacity));
  }
  sites.coords.reserve(sites.coords.size() + static_cast<std::size_t>(m) * p);
  for (Index i = 0; i < m; ++i) {
    for (int k = 0; k < p; ++k) {
      const double v = a(i, k);
      if (!std::isfinite(v)) {
        refuse(std::string(what) + "[" + std::to_string(i) + ", " + std::to_string(k) + "] is not a finite number");
      }
      sites.coords.push_back(v);
    }
    if (longlat && !(a(i, 1) >= -90 && a(i, 1) <= 90)) {
      refuse(std::string(what) + "[" + std::to_string(i) + ", 1]: latitude " + number_text(a(i, 1)) +
             " is outside -90 to 90 degrees");
    }
  }
}

// Coordinates and supplementary coordinates as the library's site set.
sites::Sites site_set(const py::array_t<double>& coords, const std::optional<py::array_t<double>>& sup, bool longlat) {
  sites::Sites s;
  s.name = "coords";
  if (coords.ndim() != 2) refuse("coords: an array of one row per site is needed");
  s.p = static_cast<int>(coords.shape(1));
  if (s.p < 1) refuse("coords: at least 1 coordinate a site is needed");
  if (s.p > sites::kDialogueCapacity) {
    refuse("coords: the program accepts at most " + std::to_string(sites::kDialogueCapacity) +
           " coordinates per site");
  }
  if (longlat && s.p != 2) {
    refuse("coords: longitude and latitude are 2 coordinates a site, not " + std::to_string(s.p));
  }
  append_rows(s, coords, "coords", longlat);
  s.n = coords.shape(0);
  if (sup) {
    if (sup->ndim() != 2 || sup->shape(1) != s.p) {
      refuse("supplementary: " + std::to_string(sup->ndim() == 2 ? sup->shape(1) : 0) +
             " coordinates a site, where coords have " + std::to_string(s.p));
    }
    append_rows(s, *sup, "supplementary", longlat);
    s.nsup = sup->shape(0);
  }
  if (s.total() == 0) refuse("coords: no sites");
  return s;
}

std::shared_ptr<const large::Geometry> geometry_of(const sites::Sites& s, bool longlat) {
  if (s.total() < 2) refuse("a single site has no distances to truncate");
  if (longlat) return std::make_shared<const large::Geometry>(large::Geometry::longlat(s));
  return std::make_shared<const large::Geometry>(value_or_refuse(large::Geometry::euclidean(s)));
}

// A list of pairs i, j (0-based), d, refused as a pair file would be, in
// the words of its reader with Python's numbering.
sites::PairList pair_list(const py::array_t<std::int64_t>& first, const py::array_t<std::int64_t>& second,
                          const py::array_t<double>& dist, std::int64_t n) {
  if (first.ndim() != 1 || second.ndim() != 1 || dist.ndim() != 1) refuse("i, j and d: one-dimensional arrays");
  const Index count = first.shape(0);
  if (second.shape(0) != count || dist.shape(0) != count) {
    refuse("i, j and d: " + std::to_string(first.shape(0)) + ", " + std::to_string(second.shape(0)) + " and " +
           std::to_string(dist.shape(0)) + " values: one of each for every pair");
  }
  if (n < 1 || n > sites::kLargeCapacity) {
    refuse("n: " + std::to_string(n) + " sites: expected 1 to " + std::to_string(sites::kLargeCapacity));
  }
  const auto i = first.unchecked<1>();
  const auto j = second.unchecked<1>();
  const auto d = dist.unchecked<1>();
  sites::PairList list;
  list.name = "pairs";
  list.n = n;
  list.first.reserve(count);
  list.second.reserve(count);
  list.dist.reserve(count);
  const std::string sites_text = std::to_string(n) + " sites (0 to " + std::to_string(n - 1) + ")";
  for (Index k = 0; k < count; ++k) {
    const std::string at = "pair " + std::to_string(k) + ": ";
    for (const std::int64_t site : {i(k), j(k)}) {
      if (site < 0 || site >= n) refuse(at + "site " + std::to_string(site) + " is not one of the " + sites_text);
    }
    if (i(k) == j(k)) refuse(at + "site " + std::to_string(i(k)) + " paired with itself");
    if (!std::isfinite(d(k))) refuse(at + "the distance is not a finite number");
    if (d(k) < 0) refuse(at + "the distance is negative");
    list.first.push_back(std::min(i(k), j(k)));
    list.second.push_back(std::max(i(k), j(k)));
    list.dist.push_back(d(k));
  }
  // A pair given twice, either way round, would have two distances.
  std::vector<Index> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), Index{0});
  std::sort(order.begin(), order.end(), [&](Index a, Index b) {
    return std::tie(list.first[a], list.second[a], a) < std::tie(list.first[b], list.second[b], b);
  });
  Index repeat = -1;  // the earliest pair that repeats one before it
  for (Index k = 1; k < count; ++k) {
    const Index a = order[k - 1], b = order[k];
    if (list.first[a] == list.first[b] && list.second[a] == list.second[b] && (repeat < 0 || b < repeat)) repeat = b;
  }
  if (repeat >= 0) {
    Index original = repeat;
    for (Index k = 0; k < repeat; ++k) {
      if (list.first[k] == list.first[repeat] && list.second[k] == list.second[repeat]) {
        original = k;
        break;
      }
    }
    refuse("pair " + std::to_string(repeat) + ": the pair " + std::to_string(list.first[repeat]) + " " +
           std::to_string(list.second[repeat]) + " is listed already, as pair " + std::to_string(original));
  }
  return list;
}

large::RunOptions run_options(const std::vector<std::pair<bool, double>>& limits, Index count, bool positive_moran,
                              const std::string& solver, int threads) {
  large::RunOptions o;
  for (const auto& [mst, value] : limits) o.limits.push_back(large::Limit{mst, value});
  o.count = count;
  o.positive_moran = positive_moran;
  if (solver == "auto") o.solver = large::Solver::kAuto;
  else if (solver == "dense") o.solver = large::Solver::kDense;
  else if (solver == "krylov") o.solver = large::Solver::kKrylov;
  else refuse("solver: auto, dense or krylov, not '" + solver + "'");
  o.threads = threads;
  return o;
}

// A finished run, shared by the arrays that show its values.
class Result {
 public:
  explicit Result(large::RunResult run) : run_(std::make_shared<const large::RunResult>(std::move(run))) {}

  const large::RunResult& run() const { return *run_; }

  // The written variables where the run keeps them: column c of site i at
  // values[c * ld + i], the first n rows of each column.
  py::array_t<double> vectors() const {
    const auto& r = *run_;
    constexpr Index kSize = sizeof(double);
    py::capsule owner(new std::shared_ptr<const large::RunResult>(run_),
                      [](void* p) { delete static_cast<std::shared_ptr<const large::RunResult>*>(p); });
    py::array_t<double> a({r.n, r.columns()}, {kSize, kSize * r.ld}, r.values.data(), owner);
    a.attr("setflags")(py::arg("write") = false);
    return a;
  }

  std::vector<double> eigenvalues() const {
    std::vector<double> v;
    for (const auto& s : run_->scales) {
      for (Index axis : s.written_axes) v.push_back(s.eigenvalues[axis - 1]);
    }
    return v;
  }

  std::vector<double> moran() const {
    std::vector<double> v;
    for (const auto& s : run_->scales) {
      for (Index axis : s.written_axes) v.push_back(s.moran[axis - 1]);
    }
    return v;
  }

  // Per limit: its value, whether it was the spanning tree's, Moran's I
  // expectation, the near pairs kept, the solver, the PCNM variables found.
  py::list scales() const {
    py::list out;
    for (const auto& s : run_->scales) {
      py::dict d;
      d["limit"] = s.limit;
      d["mst"] = s.limit_mst;
      d["moran_expectation"] = s.moran_expectation;
      d["pairs"] = s.near_pairs;
      d["solver"] = s.dense ? "dense" : "krylov";
      d["positive_eigenvalues"] = s.npcnm;
      d["eigenvalues"] = s.eigenvalues;
      d["largest_correlation"] = s.correlation_checked ? py::cast(s.largest_correlation) : py::none();
      out.append(d);
    }
    return out;
  }

  // Runs of equal eigenvalues, as columns of the written variables.
  std::vector<std::vector<Index>> clusters() const {
    std::vector<std::vector<Index>> out;
    for (const auto& s : run_->scales) {
      for (const auto& [first, last] : s.clusters) {
        std::vector<Index> columns;
        for (std::size_t c = 0; c < s.written_axes.size(); ++c) {
          const Index axis = s.written_axes[c];
          if (axis > first && axis <= last) columns.push_back(s.first_column + static_cast<Index>(c));
        }
        if (!columns.empty()) out.push_back(std::move(columns));
      }
    }
    return out;
  }

  std::string report() const {
    textio::StringSink sink;
    const large::ReportContext context{ORTELIX_VERSION, run_->geometry->name(), "r.vectors",
                                       large::column_names(*run_), "", 0};
    large::write_report(sink, context, *run_);
    std::string text;
    for (const std::string& line : sink.records) text += line + "\n";
    return text;
  }

  py::array_t<double> predict(const py::array_t<double>& coords) const {
    const large::Geometry& g = *run_->geometry;
    sites::Sites s;
    s.name = "new_coords";
    if (!g.places_new_sites()) refuse("new sites cannot be placed among sites known by their distances alone");
    if (coords.ndim() != 2) refuse("new_coords: an array of one row per site is needed");
    s.p = static_cast<int>(coords.shape(1));
    if (Status st = g.check_new_sites(s); !st.ok()) refuse(st.error());
    append_rows(s, coords, "new_coords", g.kind() == large::Geometry::Kind::kLongLat);
    s.n = coords.shape(0);
    InterruptCheck interrupt;
    Expected<std::vector<double>> placed = fail("");
    {
      py::gil_scoped_release release;
      placed = large::predict(*run_, s, &interrupt);
    }
    interrupt.raise_if_interrupted();
    auto* values = new std::vector<double>(value_or_refuse(std::move(placed)));
    py::capsule owner(values, [](void* p) { delete static_cast<std::vector<double>*>(p); });
    constexpr Index kSize = sizeof(double);
    return py::array_t<double>({s.n, run_->columns()}, {kSize, kSize * s.n}, values->data(), owner);
  }

 private:
  std::shared_ptr<const large::RunResult> run_;
};

Result run(std::shared_ptr<const large::Geometry> geometry, const large::RunOptions& options) {
  if (geometry->total() < 2) refuse("a single site has no distances to truncate");
  if (Status s = large::check_solver(options, geometry->total()); !s.ok()) refuse(s.error());
  InterruptCheck interrupt;
  Expected<large::RunResult> r = fail("");
  {
    py::gil_scoped_release release;
    r = large::run_pcnm(std::move(geometry), options, &interrupt);
  }
  interrupt.raise_if_interrupted();
  return Result(value_or_refuse(std::move(r)));
}

Result pcnm_coords(const py::array_t<double>& coords, const std::optional<py::array_t<double>>& sup, bool longlat,
            const std::vector<std::pair<bool, double>>& limits, Index count, bool positive_moran,
            const std::string& solver, int threads) {
  const large::RunOptions options = run_options(limits, count, positive_moran, solver, threads);
  return run(geometry_of(site_set(coords, sup, longlat), longlat), options);
}

Result pcnm_pairs(const py::array_t<std::int64_t>& i, const py::array_t<std::int64_t>& j,
                  const py::array_t<double>& d, std::int64_t n, const std::vector<std::pair<bool, double>>& limits,
                  Index count, bool positive_moran, const std::string& solver, int threads) {
  const large::RunOptions options = run_options(limits, count, positive_moran, solver, threads);
  auto geometry = std::make_shared<const large::Geometry>(large::Geometry::pairs(pair_list(i, j, d, n)));
  return run(std::move(geometry), options);
}

double tree_limit(const py::array_t<double>& coords, const std::optional<py::array_t<double>>& sup, bool longlat) {
  const auto geometry = geometry_of(site_set(coords, sup, longlat), longlat);
  InterruptCheck interrupt;
  Expected<double> edge = fail("");
  {
    py::gil_scoped_release release;
    try {
      edge = geometry->tree_limit(large::RunOptions{}.max_pairs, &interrupt);
    } catch (const large::Cancelled&) {
      edge = fail("interrupted");
    }
  }
  interrupt.raise_if_interrupted();
  return value_or_refuse(std::move(edge));
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The compiled part of ortelix; use the functions of the ortelix package.";
  m.attr("version") = ORTELIX_VERSION;
  m.attr("dense_max_sites") = large::kDenseMaxSites;

  py::class_<Result>(m, "Result")
      .def_property_readonly("n", [](const Result& r) { return r.run().n; })
      .def_property_readonly("nsup", [](const Result& r) { return r.run().nsup; })
      .def_property_readonly("kind",
                             [](const Result& r) {
                               switch (r.run().geometry->kind()) {
                                 case large::Geometry::Kind::kEuclidean: return "euclidean";
                                 case large::Geometry::Kind::kLongLat: return "longlat";
                                 case large::Geometry::Kind::kPairs: break;
                               }
                               return "pairs";
                             })
      .def_property_readonly("vectors", &Result::vectors)
      .def_property_readonly("eigenvalues", &Result::eigenvalues)
      .def_property_readonly("moran", &Result::moran)
      .def_property_readonly("names", [](const Result& r) { return large::column_names(r.run()); })
      .def_property_readonly("notes", [](const Result& r) { return r.run().notes; })
      .def_property_readonly("clusters", &Result::clusters)
      .def_property_readonly("scales", &Result::scales)
      .def_property_readonly("report", &Result::report)
      .def("predict", &Result::predict, py::arg("new_coords"));

  m.def("pcnm", &pcnm_coords, py::arg("coords"), py::arg("supplementary"), py::arg("longlat"), py::arg("limits"),
        py::arg("count"), py::arg("positive_moran"), py::arg("solver"), py::arg("threads"));
  m.def("pcnm_pairs", &pcnm_pairs, py::arg("i"), py::arg("j"), py::arg("d"), py::arg("n"), py::arg("limits"),
        py::arg("count"), py::arg("positive_moran"), py::arg("solver"), py::arg("threads"));
  m.def("threshold", &tree_limit, py::arg("coords"), py::arg("supplementary"), py::arg("longlat"));
}
