#include "fitting/continuum_curves.h"

#include <ceres/dynamic_autodiff_cost_function.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include "continuum/continuum.h"
#include "model/parallel.h"

namespace preisach::fitting {

namespace {

using continuum::Physics;

// The member of Physics<S> of that name (the names of the parameter file).
template <typename S>
S Physics<S>::*physicsMember(const std::string& name) {
  using P = Physics<S>;
  static const std::pair<const char*, S P::*> members[] = {{"Tc", &P::Tc},
                                                           {"mu0", &P::mu0},
                                                           {"Gamma", &P::Gamma},
                                                           {"hc0_mean", &P::hc0_mean},
                                                           {"Gamma_c", &P::Gamma_c},
                                                           {"sigmac0", &P::sigmac0},
                                                           {"Gamma_cprim", &P::Gamma_cprim},
                                                           {"sigmai0", &P::sigmai0},
                                                           {"Gamma_i", &P::Gamma_i},
                                                           {"km", &P::km},
                                                           {"N", &P::N},
                                                           {"s", &P::s},
                                                           {"lambda", &P::lambda},
                                                           {"f", &P::f}};
  for (const auto& [memberName, member] : members)
    if (name == memberName) return member;
  throw std::logic_error("no continuum parameter " + name);
}

// Distinct ZFC/FC points handed to a core at a time: enough work to
// outweigh the hand-over, few enough to share a few hundred points out
// evenly.
constexpr std::size_t kPointsPerTask = 8;

// The moments of every dataset for the physics p, ZFC and FC of one field
// sharing their points. The distinct points and the loops are computed on
// all cores, each exactly as alone: the moments do not depend on the
// sharing.
template <typename S>
void moments(const Physics<S>& p, const std::vector<Dataset>& data, double tolerance, S* out) {
  const continuum::Tolerance tol{tolerance};
  std::map<std::pair<float, double>, std::size_t> index;
  std::vector<std::pair<float, double>> keys;
  std::vector<std::size_t> loops, first(data.size(), 0);
  for (std::size_t d = 0, i = 0; d < data.size(); i += data[d].curve.size(), ++d) {
    first[d] = i;
    if (data[d].kind == CurveKind::Loop) {
      loops.push_back(d);
      continue;
    }
    for (double T : data[d].curve.x)
      if (index.emplace(std::make_pair(data[d].field, T), keys.size()).second) keys.emplace_back(data[d].field, T);
  }
  std::vector<continuum::ZfcFcPoint<S>> points(keys.size());
  const std::size_t pointTasks = (keys.size() + kPointsPerTask - 1) / kPointsPerTask;
  model::forEachIndex(loops.size() + pointTasks, 0, [&](std::size_t task) {
    if (task < loops.size()) {
      const Dataset& d = data[loops[task]];
      Physics<S> q = p;
      q.T_hyst = S(static_cast<double>(d.temperature));
      const continuum::LoopModel<S> loop(q, tol);
      for (std::size_t k = 0; k < d.curve.size(); ++k)
        out[first[loops[task]] + k] =
            loop.point(d.curve.x[k], d.descending[k] ? model::Branch::Descending : model::Branch::Ascending).M;
      return;
    }
    const std::size_t begin = (task - loops.size()) * kPointsPerTask;
    for (std::size_t k = begin; k < std::min(begin + kPointsPerTask, keys.size()); ++k) {
      Physics<S> q = p;
      q.ha = S(static_cast<double>(keys[k].first));
      points[k] = continuum::zfcFcPoint(q, S(keys[k].second), tol);
    }
  });
  for (std::size_t d = 0; d < data.size(); ++d) {
    if (data[d].kind == CurveKind::Loop) continue;
    for (std::size_t k = 0; k < data[d].curve.size(); ++k) {
      const continuum::ZfcFcPoint<S>& v = points[index.at({data[d].field, data[d].curve.x[k]})];
      out[first[d] + k] = data[d].kind == CurveKind::Zfc ? v.M_ZFC : v.M_FC;
    }
  }
}

class ContinuumResiduals {
 public:
  ContinuumResiduals(const Scaling& scaling, const std::vector<Dataset>& data, double tolerance)
      : scaling_(scaling), data_(data), tolerance_(tolerance) {
    for (const Dataset& d : data_)
      for (std::size_t k = 0; k < d.curve.size(); ++k)
        measured_.push_back(d.curve.moment[k]), sigma_.push_back(d.sigma[k]);
  }

  template <typename S>
  bool operator()(S const* const* x, S* residuals) const {
    Physics<S> p = continuum::physicsFrom<S>(scaling_.start());
    for (std::size_t j = 0; j < scaling_.size(); ++j)
      p.*physicsMember<S>(scaling_.free()[j].name()) = x[0][j] * scaling_.scale(j);
    moments(p, data_, tolerance_, residuals);
    for (std::size_t i = 0; i < measured_.size(); ++i) {
      residuals[i] = (residuals[i] - measured_[i]) / sigma_[i];
      if (!std::isfinite(continuum::value(residuals[i]))) return false;  // outside the model's domain
    }
    return true;
  }

 private:
  const Scaling& scaling_;
  const std::vector<Dataset>& data_;
  double tolerance_;
  std::vector<double> measured_, sigma_;
};

// The Jets carry `Stride` derivatives per pass over the model: one pass for
// up to eight free parameters.
template <int Stride>
std::unique_ptr<ceres::CostFunction> costWithStride(const Scaling& scaling,
                                                    const std::vector<Dataset>& data,
                                                    double tolerance) {
  auto cost = std::make_unique<ceres::DynamicAutoDiffCostFunction<ContinuumResiduals, Stride>>(
      new ContinuumResiduals(scaling, data, tolerance));
  cost->AddParameterBlock(static_cast<int>(scaling.size()));
  cost->SetNumResiduals(static_cast<int>(pointCount(data)));
  return cost;
}

}  // namespace

std::vector<std::vector<double>> continuumCurves(const model::ModelParameters& p,
                                                 const std::vector<Dataset>& data,
                                                 double tolerance) {
  std::vector<double> all(pointCount(data));
  moments(continuum::physicsFrom<double>(p), data, tolerance, all.data());
  std::vector<std::vector<double>> curves;
  std::size_t i = 0;
  for (const Dataset& d : data) {
    curves.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(i),
                        all.begin() + static_cast<std::ptrdiff_t>(i + d.curve.size()));
    i += d.curve.size();
  }
  return curves;
}

std::unique_ptr<ceres::CostFunction> continuumCost(const Scaling& scaling,
                                                   const std::vector<Dataset>& data,
                                                   double tolerance) {
  if (scaling.size() <= 4) return costWithStride<4>(scaling, data, tolerance);
  if (scaling.size() <= 8) return costWithStride<8>(scaling, data, tolerance);
  return costWithStride<14>(scaling, data, tolerance);
}

}  // namespace preisach::fitting
