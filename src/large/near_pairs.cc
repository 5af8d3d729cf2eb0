#include "large/near_pairs.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "large/kd_tree.h"
#include "large/progress.h"
#include "pcnm/team.h"

namespace ortelix::large {

namespace {

// The rows of one thread: [first, last), their pair counts, columns and
// distances.
struct Part {
  Index first = 0, last = 0;
  std::vector<std::uint64_t> count;
  std::vector<std::uint32_t> column;
  std::vector<double> dist;
};

}  // namespace

Expected<NearPairs> find_near_pairs(const Points& pts, const Metric& metric, double limit, std::uint64_t max_pairs,
                                    Progress* progress) {
  const Index n = pts.n;
  PointsAdaptor adaptor{pts};
  KdTree tree(pts.p, adaptor, nanoflann::KDTreeSingleIndexAdaptorParams(kLeafSize));
  tree.buildIndex();

  NearPairs out;
  out.n = n;
  out.order.assign(tree.vAcc.begin(), tree.vAcc.end());
  out.row_of.resize(static_cast<std::size_t>(n));
  for (Index r = 0; r < n; ++r) out.row_of[out.order[r]] = static_cast<std::uint32_t>(r);

  const double radius = metric.search_radius_squared(limit);
  const std::uint64_t max_entries = 2 * max_pairs;
  std::atomic<std::uint64_t> entries{0};
  std::atomic<bool> too_many{false};  // or cancelled: either way the search stops
  bool cancelled = false;
  Part parts[2];
  parts[0].last = parts[1].first = n / 2;
  parts[1].last = n;
  pcnm::Team team(n >= 20000 && pcnm::usable_processors() >= 2 ? 2 : 1);
  team.run(true, [&](int which) {
    Part& part = parts[which];
    std::vector<std::pair<std::uint32_t, double>> found;
    std::vector<std::pair<std::uint32_t, double>> row;
    nanoflann::SearchParams unsorted(0, 0, false);
    part.count.reserve(static_cast<std::size_t>(part.last - part.first));
    for (Index r = part.first; r < part.last && !too_many.load(std::memory_order_relaxed); ++r) {
      const Index site = out.order[r];
      tree.radiusSearch(pts.xyz + static_cast<std::size_t>(site) * pts.p, radius, found, unsorted);
      row.clear();
      for (const auto& [other, ignored] : found) {
        if (other == site) continue;
        const double d = metric.distance(site, other);
        if (d <= limit) row.emplace_back(out.row_of[other], d);
      }
      std::sort(row.begin(), row.end());
      for (const auto& [c, d] : row) {
        part.column.push_back(c);
        part.dist.push_back(d);
      }
      part.count.push_back(row.size());
      if (entries.fetch_add(row.size(), std::memory_order_relaxed) + row.size() > max_entries) too_many = true;
      if (which == 0 && progress && (r & 1023) == 0) {
        progress->fraction(double(r - part.first) / double(part.last - part.first));
        if (progress->cancelled()) cancelled = too_many = true;
      }
    }
  });
  if (cancelled) throw Cancelled{};
  if (too_many) {
    return fail("the limit keeps more than " + std::to_string(max_pairs) +
                " pairs of sites (distances up to the limit), too many for memory: choose a lower limit");
  }

  out.start.resize(static_cast<std::size_t>(n) + 1);
  out.start[0] = 0;
  Index r = 0;
  for (const Part& part : parts) {
    for (std::uint64_t c : part.count) {
      out.start[r + 1] = out.start[r] + c;
      ++r;
    }
  }
  out.column = std::move(parts[0].column);
  out.dist = std::move(parts[0].dist);
  out.column.insert(out.column.end(), parts[1].column.begin(), parts[1].column.end());
  out.dist.insert(out.dist.end(), parts[1].dist.begin(), parts[1].dist.end());
  return out;
}

NearPairs pairs_from_list(Index n, const std::vector<Index>& first, const std::vector<Index>& second,
                          const std::vector<double>& dist, double limit) {
  NearPairs out;
  out.n = n;
  out.order.resize(static_cast<std::size_t>(n));
  for (Index i = 0; i < n; ++i) out.order[i] = static_cast<std::uint32_t>(i);
  out.row_of = out.order;
  std::vector<std::uint64_t> count(static_cast<std::size_t>(n) + 1, 0);
  for (std::size_t k = 0; k < dist.size(); ++k) {
    if (dist[k] <= limit) {
      ++count[first[k] + 1];
      ++count[second[k] + 1];
    }
  }
  out.start.assign(count.size(), 0);
  for (Index i = 0; i < n; ++i) out.start[i + 1] = out.start[i] + count[i + 1];
  out.column.resize(out.start[n]);
  out.dist.resize(out.start[n]);
  std::vector<std::uint64_t> next(out.start.begin(), out.start.end() - 1);
  for (std::size_t k = 0; k < dist.size(); ++k) {
    if (dist[k] > limit) continue;
    for (const auto& [a, b] : {std::pair{first[k], second[k]}, std::pair{second[k], first[k]}}) {
      out.column[next[a]] = static_cast<std::uint32_t>(b);
      out.dist[next[a]++] = dist[k];
    }
  }
  // Within a row, pairs in increasing column order, as the tree gives them.
  std::vector<std::pair<std::uint32_t, double>> row;
  for (Index r = 0; r < n; ++r) {
    row.clear();
    for (std::uint64_t k = out.start[r]; k < out.start[r + 1]; ++k) row.emplace_back(out.column[k], out.dist[k]);
    std::sort(row.begin(), row.end());
    for (std::size_t k = 0; k < row.size(); ++k) {
      out.column[out.start[r] + k] = row[k].first;
      out.dist[out.start[r] + k] = row[k].second;
    }
  }
  return out;
}

}  // namespace ortelix::large

namespace ortelix::large {

NearPairs NearPairs::within(double limit) const {
  NearPairs out;
  out.n = n;
  out.order = order;
  out.row_of = row_of;
  out.start.assign(start.size(), 0);
  for (Index r = 0; r < n; ++r) {
    for (std::uint64_t k = start[r]; k < start[r + 1]; ++k) {
      if (dist[k] <= limit) {
        out.column.push_back(column[k]);
        out.dist.push_back(dist[k]);
      }
    }
    out.start[r + 1] = out.column.size();
  }
  return out;
}

}  // namespace ortelix::large
