#include "fitting/background.h"

#include <ceres/dynamic_numeric_diff_cost_function.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "measured/data_error.h"
#include "measured/text_cells.h"

namespace preisach::fitting {

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

// theta is searched below the lowest ZFC/FC temperature, where C/(T - theta)
// would diverge, by at least this share of it (or half a kelvin) ...
constexpr double kThetaClearance = 0.05;
constexpr double kLeastThetaClearance = 0.5;
// ... and down to minus this many times the highest (an antiferromagnetic
// theta beyond it is a constant offset to the data, not a Curie-Weiss law).
constexpr double kThetaReach = 3.0;
// The coarse look over theta's range before the local search, so that the
// search starts in the lowest valley.
constexpr int kThetaScan = 33;
// Singular values of the unit-column Jacobian below this share of the
// largest mark what the data do not determine.
constexpr double kUndetermined = 1e-9;

bool isBackgroundWord(const std::string& word) {
  return word == "linear" || word == "linear+offset" || word == "curie" || word == "curie-weiss";
}

// The least-squares amplitudes c of the weighted columns that take up u:
// u + B c smallest.
VectorXd amplitudesFor(const MatrixXd& B, const VectorXd& u) {
  return B.colPivHouseholderQr().solve(-u);
}

// An orthonormal basis of the columns' span.
MatrixXd spanOf(const MatrixXd& columns) {
  const Eigen::ColPivHouseholderQR<MatrixXd> qr(columns);
  const MatrixXd q = qr.householderQ() * MatrixXd::Identity(columns.rows(), columns.cols());
  return q.leftCols(qr.rank());
}

// What a projection leaves of the particles' residuals at a trial theta.
struct ProjectedResiduals {
  const Background* background;
  const std::vector<double>* residuals;
  std::size_t points;
  bool operator()(double const* const* theta, double* out) const;
};

}  // namespace

BackgroundChoice parseBackground(const std::vector<std::string>& texts, const std::vector<Dataset>& data) {
  BackgroundChoice choice;
  bool loops = false, temperatures = false;
  for (const Dataset& d : data) (d.kind == CurveKind::Loop ? loops : temperatures) = true;
  for (const std::string& text : texts) {
    // Every item between commas, empty ones too ("curie," names nothing).
    std::vector<std::string> words{""};
    for (char c : text) c == ',' ? words.push_back("") : void(words.back() += c);
    for (const std::string& word : words) {
      if (!isBackgroundWord(word))
        throw measured::DataError("--background: \"" + measured::shownName(word) +
                                  "\" is not a background term (linear, linear+offset for loops; curie, "
                                  "curie-weiss for ZFC/FC)");
      const bool forLoops = word == "linear" || word == "linear+offset";
      if (forLoops && choice.loop != BackgroundChoice::Loop::None)
        throw measured::DataError("--background: two terms for the loops (linear or linear+offset, one of them)");
      if (!forLoops && choice.temperature != BackgroundChoice::Temperature::None)
        throw measured::DataError("--background: two terms for ZFC/FC (curie or curie-weiss, one of them)");
      if (forLoops && !loops)
        throw measured::DataError("--background " + word + " is a term of loops, and no loop is given (--loop)");
      if (!forLoops && !temperatures)
        throw measured::DataError("--background " + word +
                                  " is a term of ZFC/FC curves, and none is given (--zfcfc, --zfc, --fc)");
      if (word == "linear") choice.loop = BackgroundChoice::Loop::Linear;
      if (word == "linear+offset") choice.loop = BackgroundChoice::Loop::LinearOffset;
      if (word == "curie") choice.temperature = BackgroundChoice::Temperature::Curie;
      if (word == "curie-weiss") choice.temperature = BackgroundChoice::Temperature::CurieWeiss;
    }
  }
  return choice;
}

Background::Background(const BackgroundChoice& choice, const std::vector<Dataset>& data) {
  double coldest = std::numeric_limits<double>::infinity(), hottest = 0.0;
  for (std::size_t d = 0; d < data.size(); ++d) {
    const Dataset& set = data[d];
    const bool loop = set.kind == CurveKind::Loop;
    sizes_.push_back(set.curve.size());
    isLoop_.push_back(loop);
    for (std::size_t k = 0; k < set.curve.size(); ++k) {
      dataset_.push_back(d);
      x_.push_back(set.curve.x[k]);
      field_.push_back(loop ? 0.0 : static_cast<double>(set.field));
      sigma_.push_back(set.sigma[k]);
      if (!loop) coldest = std::min(coldest, set.curve.x[k]), hottest = std::max(hottest, set.curve.x[k]);
    }
    if (loop && choice.loop != BackgroundChoice::Loop::None) {
      columns_.push_back(
          {"chi_" + set.name, "emu/Oe", "linear susceptibility of the " + set.name, d, Kind::Susceptibility});
      if (choice.loop == BackgroundChoice::Loop::LinearOffset)
        columns_.push_back({"M0_" + set.name, "emu", "offset of the " + set.name, d, Kind::Offset});
    }
  }
  if (choice.temperature != BackgroundChoice::Temperature::None && std::isfinite(coldest)) {
    curieWeiss_ = choice.temperature == BackgroundChoice::Temperature::CurieWeiss;
    columns_.push_back(
        {"C", "emu K/Oe",
         curieWeiss_ ? "Curie-Weiss term C·ha/(T - theta) of ZFC and FC" : "Curie term C·ha/T of ZFC and FC",
         data.size(), Kind::Curie});
    thetaHigh_ = coldest - std::max(kLeastThetaClearance, kThetaClearance * coldest);
    thetaLow_ = -kThetaReach * hottest;
  }
}

double Background::basis(std::size_t column, std::size_t point, double theta) const {
  const Column& c = columns_[column];
  if (c.kind == Kind::Curie) return isLoop_[dataset_[point]] ? 0.0 : field_[point] / (x_[point] - theta);
  if (dataset_[point] != c.dataset) return 0.0;
  return c.kind == Kind::Offset ? 1.0 : x_[point];
}

double Background::thetaDerivative(std::size_t column, std::size_t point, double theta) const {
  if (columns_[column].kind != Kind::Curie || isLoop_[dataset_[point]]) return 0.0;
  const double t = x_[point] - theta;
  return field_[point] / (t * t);
}

namespace {

MatrixXd weightedBasis(const std::vector<std::vector<double>>& columns, std::size_t points) {
  const std::size_t count = columns.size();
  MatrixXd B(static_cast<Eigen::Index>(points), static_cast<Eigen::Index>(count));
  for (std::size_t j = 0; j < count; ++j)
    for (std::size_t i = 0; i < points; ++i)
      B(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = columns[j][i];
  return B;
}

}  // namespace

bool ProjectedResiduals::operator()(double const* const* theta, double* out) const {
  Background::Solution trial;
  trial.theta = theta[0][0];
  const std::vector<std::vector<double>> columns = background->weightedColumns(trial);
  const MatrixXd B = weightedBasis(columns, points);
  const VectorXd u = Eigen::Map<const VectorXd>(residuals->data(), static_cast<Eigen::Index>(points));
  const VectorXd r = u + B * amplitudesFor(B, u);
  for (std::size_t i = 0; i < points; ++i) out[i] = r(static_cast<Eigen::Index>(i));
  return r.allFinite();
}

double Background::fitTheta(const std::vector<double>& residuals) const {
  const std::size_t n = x_.size();
  const ProjectedResiduals projected{this, &residuals, n};
  double best = 0.0, bestChiSquare = std::numeric_limits<double>::infinity();
  std::vector<double> out(n);
  for (int s = 0; s < kThetaScan; ++s) {
    double theta = thetaLow_ + (thetaHigh_ - thetaLow_) * s / (kThetaScan - 1);
    const double* at = &theta;
    if (!projected(&at, out.data())) continue;
    double chiSquare = 0.0;
    for (double r : out) chiSquare += r * r;
    if (chiSquare < bestChiSquare) bestChiSquare = chiSquare, best = theta;
  }
  auto* cost =
      new ceres::DynamicNumericDiffCostFunction<ProjectedResiduals, ceres::CENTRAL>(new ProjectedResiduals(projected));
  cost->AddParameterBlock(1);
  cost->SetNumResiduals(static_cast<int>(n));
  ceres::Problem problem;
  problem.AddResidualBlock(cost, nullptr, &best);
  problem.SetParameterLowerBound(&best, 0, thetaLow_);
  problem.SetParameterUpperBound(&best, 0, thetaHigh_);
  ceres::Solver::Options options;
  options.linear_solver_type = ceres::DENSE_QR;
  options.logging_type = ceres::SILENT;
  options.function_tolerance = 1e-14;
  options.parameter_tolerance = 1e-12;
  options.max_num_iterations = 100;
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
  return best;
}

Background::Solution Background::solve(const std::vector<double>& residuals) const {
  Solution s;
  if (empty()) {
    s.weighted.assign(residuals.size(), 0.0);
    return s;
  }
  if (curieWeiss_) s.theta = fitTheta(residuals);
  const std::vector<std::vector<double>> columns = weightedColumns(s);
  const MatrixXd B = weightedBasis(columns, x_.size());
  const VectorXd u = Eigen::Map<const VectorXd>(residuals.data(), static_cast<Eigen::Index>(residuals.size()));
  const VectorXd c = amplitudesFor(B, u);
  s.amplitudes.assign(c.data(), c.data() + c.size());
  const VectorXd w = B * c;
  s.weighted.assign(w.data(), w.data() + w.size());
  return s;
}

std::vector<std::vector<double>> Background::weightedColumns(const Solution& s) const {
  std::vector<std::vector<double>> columns(columns_.size(), std::vector<double>(x_.size()));
  for (std::size_t j = 0; j < columns_.size(); ++j)
    for (std::size_t i = 0; i < x_.size(); ++i) columns[j][i] = basis(j, i, s.theta) / sigma_[i];
  if (curieWeiss_ && s.amplitudes.size() == columns_.size()) {
    std::vector<double> derivative(x_.size(), 0.0);
    for (std::size_t j = 0; j < columns_.size(); ++j)
      for (std::size_t i = 0; i < x_.size(); ++i)
        derivative[i] += s.amplitudes[j] * thetaDerivative(j, i, s.theta) / sigma_[i];
    columns.push_back(derivative);
  }
  return columns;
}

std::vector<std::vector<double>> Background::values(const Solution& s) const {
  std::vector<std::vector<double>> out;
  for (std::size_t size : sizes_) out.emplace_back(size, 0.0);
  std::vector<std::size_t> offset(sizes_.size(), 0);
  for (std::size_t d = 1; d < sizes_.size(); ++d) offset[d] = offset[d - 1] + sizes_[d - 1];
  for (std::size_t i = 0; i < x_.size(); ++i)
    for (std::size_t j = 0; j < s.amplitudes.size(); ++j)
      out[dataset_[i]][i - offset[dataset_[i]]] += s.amplitudes[j] * basis(j, i, s.theta);
  return out;
}

std::vector<BackgroundTerm> Background::terms(const Solution& s,
                                              const std::vector<double>& jacobian,
                                              std::size_t free,
                                              double chiSquareUnit) const {
  // The errors of all fitted numbers at once: the particles' columns, the
  // amplitudes' and theta's, in units of one column each; the background's
  // are read off the inverse of the Fisher matrix.
  const std::vector<std::vector<double>> columns = weightedColumns(s);
  const std::size_t n = x_.size(), own = columns.size(), all = free + own;
  MatrixXd J(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(all));
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < free; ++j)
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = jacobian[i * free + j];
    for (std::size_t j = 0; j < own; ++j)
      J(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(free + j)) = columns[j][i];
  }
  VectorXd norms = J.colwise().norm().transpose();
  for (Eigen::Index j = 0; j < norms.size(); ++j)
    if (!(norms(j) > 0.0)) norms(j) = 1.0;
  const MatrixXd unit = J * norms.cwiseInverse().asDiagonal();
  const Eigen::JacobiSVD<MatrixXd> svd(unit, Eigen::ComputeThinV);
  const VectorXd& sv = svd.singularValues();
  const MatrixXd& V = svd.matrixV();
  std::vector<double> variance(all, 0.0);
  std::vector<bool> undetermined(all, false);
  for (Eigen::Index k = 0; k < sv.size(); ++k) {
    const bool weak = !(sv(k) > kUndetermined * sv(0));
    for (std::size_t j = 0; j < all; ++j) {
      const double v = V(static_cast<Eigen::Index>(j), k);
      if (weak && std::fabs(v) > 0.1) undetermined[j] = true;
      if (!weak) variance[j] += v * v / (sv(k) * sv(k));
    }
  }
  std::vector<BackgroundTerm> out;
  for (std::size_t j = 0; j < own; ++j) {
    const std::size_t at = free + j;
    const double error = undetermined[at]
                             ? std::nan("")
                             : std::sqrt(chiSquareUnit * variance[at]) / norms(static_cast<Eigen::Index>(at));
    if (j < columns_.size())
      out.push_back({columns_[j].name, columns_[j].unit, columns_[j].meaning, s.amplitudes[j], error});
    else
      out.push_back({"theta", "K", "Curie-Weiss temperature", s.theta, error});
  }
  return out;
}

std::vector<std::string> Background::warnings(const std::vector<BackgroundTerm>& terms) const {
  std::vector<std::string> out;
  for (const BackgroundTerm& t : terms) {
    if (t.name == "C" && t.value < 0.0)
      out.push_back(
          "the Curie constant C is negative: paramagnetic impurities give a positive one, so the term "
          "takes up something else the model misses");
    if (t.name == "theta" &&
        (t.value <= thetaLow_ + 1e-9 * std::fabs(thetaLow_) || t.value >= thetaHigh_ - 1e-9 * std::fabs(thetaHigh_))) {
      std::ostringstream s;
      s << "theta is at the end of its range [" << thetaLow_ << ", " << thetaHigh_
        << "] K (below the lowest ZFC/FC temperature): the data do not show a Curie-Weiss law within it";
      out.push_back(s.str());
    }
  }
  return out;
}

namespace {

class BackgroundCost : public ceres::CostFunction {
 public:
  BackgroundCost(std::unique_ptr<ceres::CostFunction> particles, const Background& background)
      : particles_(std::move(particles)), background_(background) {
    set_num_residuals(particles_->num_residuals());
    *mutable_parameter_block_sizes() = particles_->parameter_block_sizes();
  }

  bool Evaluate(double const* const* parameters, double* residuals, double** jacobians) const override {
    if (!particles_->Evaluate(parameters, residuals, jacobians)) return false;
    const std::size_t n = static_cast<std::size_t>(num_residuals());
    const std::vector<double> u(residuals, residuals + n);
    const Background::Solution s = background_.solve(u);
    for (std::size_t i = 0; i < n; ++i) residuals[i] += s.weighted[i];
    if (jacobians == nullptr || jacobians[0] == nullptr) return true;
    // The background follows any change of the particles' model within its
    // span (and theta's direction): only the rest moves the residuals.
    const std::vector<std::vector<double>> columns = background_.weightedColumns(s);
    const MatrixXd Q = spanOf(weightedBasis(columns, n));
    const Eigen::Index k = parameter_block_sizes()[0];
    Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>> A(
        jacobians[0], static_cast<Eigen::Index>(n), k);
    A -= Q * (Q.transpose() * A);
    return A.allFinite();
  }

 private:
  std::unique_ptr<ceres::CostFunction> particles_;
  Background background_;
};

}  // namespace

std::unique_ptr<ceres::CostFunction> withBackground(std::unique_ptr<ceres::CostFunction> particles,
                                                    const Background& background) {
  if (background.empty()) return particles;
  return std::make_unique<BackgroundCost>(std::move(particles), background);
}

}  // namespace preisach::fitting
