#include "fitting/uncertainty.h"

#include <Eigen/Dense>
#include <cmath>
#include <iomanip>
#include <sstream>

namespace preisach::fitting {

namespace {

using Eigen::Index;
using Eigen::MatrixXd;
using Eigen::VectorXd;

// A direction along which a relative change of 100 % of the parameters
// moves chi-square by less than one standard-error unit is not determined:
// its standard error would exceed the values themselves, and the linear
// error estimate means nothing there. Below 1e-8 of the largest singular
// value the Jacobian is numerically singular (an exact symmetry such as N
// and mu0 entering a loop only as their product), whatever the data's
// errors; differences of derivatives at that level are rounding.
constexpr double kUndetermined = 1.0;
constexpr double kNumericallySingular = 1e-8;
// A parameter takes part in a weak direction when its component reaches
// this: a tenth of the direction's length.
constexpr double kTakesPart = 0.1;
// A point is a minimum when a Gauss-Newton step would lower chi-square by
// less than a hundredth of one standard-error unit: then it lies within a
// tenth of a standard error of the exact minimum in every direction.
constexpr double kMinimum = 0.01;
// Data the model matches to a millionth of their standard error at every
// point (curves the model itself made, without noise) are at a minimum
// whatever a further step would gain: the residuals left are the
// quadrature's and the floats' rounding, which no step can lower.
constexpr double kExactMatch = 1e-12;  // (1e-6)^2 per residual
// A model accurate to a relative eps moves each residual by up to
// eps |M| / sigma and chi-square by about 2 eps chi-square (where the
// model's moments exceed their misfit, as they do): a sample the model
// misfits by thousands of sigma has a chi-square of 1e10 known only to a
// few units, and no step can be told to gain less. A step within this many
// times that is inside the model's own noise.
constexpr double kModelNoise = 10.0;

struct Linearised {
  VectorXd r;
  MatrixXd J;  // columns d r / d x_j, scaled coordinates
};

bool linearise(const ceres::CostFunction& cost, const std::vector<double>& x, Linearised& out) {
  const Index n = cost.num_residuals(), k = static_cast<Index>(x.size());
  std::vector<double> r(static_cast<std::size_t>(n)), jacobian(static_cast<std::size_t>(n * k));
  const double* parameters[] = {x.data()};
  double* jacobians[] = {jacobian.data()};
  if (!cost.Evaluate(parameters, r.data(), jacobians)) return false;
  out.r = Eigen::Map<VectorXd>(r.data(), n);
  out.J = Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(jacobian.data(), n, k);
  return out.r.allFinite() && out.J.allFinite();
}

// Relative units: the column of x_j times x_j (d r / d ln p_j) for a
// positive parameter; a centre, shift or exponent may pass through 0, so
// its unit is at least the start's magnitude (or its field scale, see
// Scaling).
VectorXd relativeUnits(const Scaling& scaling, const std::vector<double>& x) {
  VectorXd D(static_cast<Index>(x.size()));
  for (std::size_t j = 0; j < x.size(); ++j) {
    const bool positive = scaling.free()[j].parameter->physical == Physical::Positive;
    const double unit = positive ? std::fabs(x[j]) : std::max(std::fabs(x[j]), 1.0);
    D(static_cast<Index>(j)) = unit > 0.0 ? unit : 1.0;
  }
  return D;
}

// The columns a bound holds: at the bound (within the float32 resolution
// of the parameter file's values) with the gradient pushing out.
std::vector<bool> heldByBounds(const Scaling& scaling, const std::vector<double>& x, const VectorXd& gradient) {
  std::vector<bool> held(x.size(), false);
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double near = 1e-6 * std::max(1.0, std::fabs(x[j]));
    const double g = gradient(static_cast<Index>(j));
    held[j] = (x[j] - scaling.lower(j) <= near && g > 0.0) || (scaling.upper(j) - x[j] <= near && g < 0.0);
  }
  return held;
}

// |P r|^2, P the projection on the span of the free columns: the decrease a
// Gauss-Newton step would bring.
double newtonDecrement(const Linearised& L, const std::vector<bool>& held) {
  std::vector<Index> columns;
  for (std::size_t j = 0; j < held.size(); ++j)
    if (!held[j]) columns.push_back(static_cast<Index>(j));
  if (columns.empty()) return 0.0;
  MatrixXd A(L.J.rows(), static_cast<Index>(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    A.col(static_cast<Index>(c)) = L.J.col(columns[c]);
    const double length = A.col(static_cast<Index>(c)).norm();
    if (length > 0.0) A.col(static_cast<Index>(c)) /= length;
  }
  const Eigen::JacobiSVD<MatrixXd> svd(A, Eigen::ComputeThinU);
  const VectorXd s = svd.singularValues();
  double decrement = 0.0;
  for (Index i = 0; i < s.size(); ++i)
    if (s(i) > kNumericallySingular * s(0)) decrement += std::pow(svd.matrixU().col(i).dot(L.r), 2);
  return decrement;
}

std::string signedTerm(double c, const std::string& name, bool first) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(2);
  if (first)
    s << c;
  else
    s << (c < 0.0 ? " - " : " + ") << std::fabs(c);
  s << "·d" << name << "/" << name;
  return s.str();
}

}  // namespace

LocalAnalysis analyse(const ceres::CostFunction& cost,
                      const Scaling& scaling,
                      const std::vector<double>& x,
                      double chiSquareUnit,
                      double modelAccuracy) {
  LocalAnalysis a;
  Linearised L;
  if (!linearise(cost, x, L)) return a;
  a.evaluated = true;
  const Index k = L.J.cols();
  a.chiSquare = L.r.squaredNorm();
  a.held = heldByBounds(scaling, x, L.J.transpose() * L.r);
  a.newtonDecrement = newtonDecrement(L, a.held);
  const double resolution = kModelNoise * 2.0 * modelAccuracy * a.chiSquare;
  a.atMinimum = a.newtonDecrement < std::max(kMinimum * chiSquareUnit, resolution) ||
                a.chiSquare < kExactMatch * static_cast<double>(L.r.size());
  const MatrixXd fisher = L.J.transpose() * L.J / chiSquareUnit;
  a.fisher.assign(static_cast<std::size_t>(k), std::vector<double>(static_cast<std::size_t>(k)));
  for (Index i = 0; i < k; ++i)
    for (Index j = 0; j < k; ++j) a.fisher[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = fisher(i, j);

  const VectorXd D = relativeUnits(scaling, x);
  const MatrixXd Js = L.J * D.asDiagonal() / std::sqrt(chiSquareUnit);
  const Eigen::JacobiSVD<MatrixXd> svd(Js, Eigen::ComputeThinV);
  const VectorXd s = svd.singularValues();
  const MatrixXd& V = svd.matrixV();
  MatrixXd covariance = MatrixXd::Zero(k, k);
  for (Index i = 0; i < s.size(); ++i) {
    if (s(i) < kUndetermined || s(i) < kNumericallySingular * s(0)) {
      WeakDirection weak;
      for (Index j = 0; j < k; ++j) weak.direction.push_back(V(j, i));
      weak.singularValue = s(i);
      a.undetermined.push_back(weak);
      continue;
    }
    covariance += V.col(i) * V.col(i).transpose() / (s(i) * s(i));
  }
  covariance = D.asDiagonal() * covariance * D.asDiagonal();
  a.covariance.assign(static_cast<std::size_t>(k), std::vector<double>(static_cast<std::size_t>(k)));
  a.errors.assign(static_cast<std::size_t>(k), 0.0);
  for (Index i = 0; i < k; ++i) {
    for (Index j = 0; j < k; ++j)
      a.covariance[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = covariance(i, j);
    a.errors[static_cast<std::size_t>(i)] = std::sqrt(covariance(i, i));
    for (const WeakDirection& weak : a.undetermined)
      if (takesPart(weak, static_cast<std::size_t>(i))) a.errors[static_cast<std::size_t>(i)] = std::nan("");
  }
  MatrixXd unit = L.J;
  for (Index j = 0; j < k; ++j)
    if (unit.col(j).norm() > 0.0) unit.col(j) /= unit.col(j).norm();
  const VectorXd u = Eigen::JacobiSVD<MatrixXd>(unit).singularValues();
  a.conditionNumber = u(u.size() - 1) > 0.0 ? u(0) / u(u.size() - 1) : std::numeric_limits<double>::infinity();
  return a;
}

double predictedChiSquareChange(const std::vector<std::vector<double>>& fisher,
                                const std::vector<double>& x,
                                const std::vector<double>& y) {
  double change = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i)
    for (std::size_t j = 0; j < x.size(); ++j) change += (x[i] - y[i]) * fisher[i][j] * (x[j] - y[j]);
  return change;
}

bool takesPart(const WeakDirection& weak, std::size_t j) {
  return std::fabs(weak.direction[j]) >= kTakesPart;
}

std::string describeUndetermined(const WeakDirection& weak, const std::vector<std::string>& names) {
  std::vector<std::size_t> parts;
  for (std::size_t j = 0; j < names.size(); ++j)
    if (takesPart(weak, j)) parts.push_back(j);
  std::ostringstream s;
  if (parts.size() == 2) {
    // The determined combination is the one orthogonal to the weak
    // direction within the plane of the two.
    const std::size_t p = parts[0], q = parts[1];
    double a = weak.direction[q], b = -weak.direction[p];
    const double length = std::hypot(a, b);
    a /= length, b /= length;
    if (a < 0.0) a = -a, b = -b;
    s << "the data fix " << signedTerm(a, names[p], true) << signedTerm(b, names[q], false);
    if (std::fabs(std::fabs(a) - std::fabs(b)) < 0.1)
      s << " (the " << (b > 0.0 ? "product " + names[p] + "·" : "ratio " + names[p] + "/") << names[q] << ")";
    s << " but not " << names[p] << " and " << names[q] << " apart";
  } else {
    s << "the data do not determine the combination ";
    bool first = true;
    for (std::size_t j : parts) s << signedTerm(weak.direction[j], names[j], first), first = false;
  }
  s << " (a relative change of 1 along the undetermined direction changes chi-square by " << std::setprecision(2)
    << weak.singularValue * weak.singularValue << " standard-error units)";
  return s.str();
}

}  // namespace preisach::fitting
