#include "history/forc_distribution.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace preisach::history {

namespace {

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

}  // namespace

std::vector<std::vector<ForcValue>> forcDistribution(const ForcSet& forcs, int smoothing) {
  // The field steps: between reversal fields and along the curves.
  std::vector<double> reversalSteps, fieldSteps;
  for (std::size_t i = 0; i + 1 < forcs.curves.size(); ++i)
    reversalSteps.push_back(std::fabs(forcs.curves[i + 1].H.front() - forcs.curves[i].H.front()));
  for (const ForcSet::Curve& c : forcs.curves)
    for (std::size_t k = 0; k + 1 < c.H.size(); ++k) fieldSteps.push_back(c.H[k + 1] - c.H[k]);
  const double dHr = median(reversalSteps), dH = median(fieldSteps);
  std::vector<std::vector<ForcValue>> blocks;
  if (!(dHr > 0.0) || !(dH > 0.0)) return blocks;
  // A point's neighbourhood is the full (2 S + 1)^2 lattice around it: the
  // 2 S + 1 curves nearest in Hr, each with its 2 S + 1 points nearest in
  // H. On a full lattice the mixed term of the quadratic is orthogonal to
  // the others, so a moment that depends on H alone (the reversible part)
  // gives exactly no distribution. Near the curves' starts (Hc below S
  // steps) the neighbourhood shrinks to the largest full one, S at least 1.
  const auto neighbourhood = [&](std::size_t i, double H, int S, std::vector<double>& x, std::vector<double>& y,
                                 std::vector<double>& z) {
    x.clear(), y.clear(), z.clear();
    const std::size_t s = static_cast<std::size_t>(S);
    if (i < s || i + s >= forcs.curves.size()) return false;
    const double Hr = forcs.curves[i].H.front();
    for (std::size_t i2 = i - s; i2 <= i + s; ++i2) {
      const ForcSet::Curve& other = forcs.curves[i2];
      // A window holding more points than the lattice is refused as soon as
      // the surplus is seen: however densely a curve is measured, a point
      // costs a search and 2 S + 2 steps, so the whole distribution stays
      // linear in the number of points.
      const auto first = std::lower_bound(other.H.begin(), other.H.end(), H - (S + 0.25) * dH);
      int taken = 0;
      for (auto it = first; it != other.H.end() && *it <= H + (S + 0.25) * dH; ++it, ++taken) {
        if (taken == 2 * S + 1) return false;
        x.push_back((other.H.front() - Hr) / dHr);
        y.push_back((*it - H) / dH);
        z.push_back(other.M[static_cast<std::size_t>(it - other.H.begin())]);
      }
      if (taken != 2 * S + 1) return false;
    }
    return true;
  };
  std::map<long, std::vector<ForcValue>> byHc;
  std::vector<double> x, y, z;
  for (std::size_t i = 0; i < forcs.curves.size(); ++i) {
    const ForcSet::Curve& c = forcs.curves[i];
    const double Hr = c.H.front();
    for (std::size_t k = 0; k < c.H.size(); ++k) {
      const double H = c.H[k];
      int S = smoothing;
      while (S >= 1 && !neighbourhood(i, H, S, x, y, z)) --S;
      if (S < 1) continue;
      Eigen::MatrixXd A(static_cast<Eigen::Index>(x.size()), 6);
      Eigen::VectorXd b(static_cast<Eigen::Index>(x.size()));
      for (std::size_t n = 0; n < x.size(); ++n) {
        const Eigen::Index r = static_cast<Eigen::Index>(n);
        A(r, 0) = 1.0;
        A(r, 1) = x[n];
        A(r, 2) = x[n] * x[n];
        A(r, 3) = y[n];
        A(r, 4) = y[n] * y[n];
        A(r, 5) = x[n] * y[n];
        b(r) = z[n];
      }
      const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(A);
      if (qr.rank() < 6) continue;
      const Eigen::VectorXd a = qr.solve(b);
      ForcValue v;
      v.Hc = (H - Hr) / 2.0;
      v.Hu = (H + Hr) / 2.0;
      v.rho = -0.5 * a(5) / (dHr * dH);
      byHc[std::lround(v.Hc / (0.5 * dH))].push_back(v);
    }
  }
  for (auto& [key, block] : byHc) {
    std::sort(block.begin(), block.end(), [](const ForcValue& a, const ForcValue& b) { return a.Hu < b.Hu; });
    blocks.push_back(std::move(block));
  }
  return blocks;
}

void writeDistribution(std::ostream& out,
                       const std::vector<std::vector<ForcValue>>& blocks,
                       const std::vector<std::string>& notes) {
  out << "# FORC distribution rho = -1/2 d2M/dHr dH (emu/Oe^2)\n";
  for (const std::string& note : notes) out << "# " << note << "\n";
  out << "# Hc = (H - Hr)/2 (Oe)  Hu = (H + Hr)/2 (Oe)  rho\n";
  char row[128];
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (b > 0) out << "\n";
    for (const ForcValue& v : blocks[b]) {
      std::snprintf(row, sizeof row, "%.6g %.6g %.6e\n", v.Hc, v.Hu, v.rho);
      out << row;
    }
  }
}

}  // namespace preisach::history
