#pragma once

#include <ceres/ceres.h>

#include <memory>
#include <string>
#include <vector>

#include "fitting/model_curves.h"

namespace preisach::fitting {

// What a real sample adds to its particles' moment. Loops: the linear
// susceptibility of a dia- or paramagnetic matrix or holder, chi·H, with or
// without an instrumental offset M0, one of each per loop (a paramagnet's
// chi changes with temperature). ZFC and FC: the Curie tail of paramagnetic
// impurities, C·ha/T, or C·ha/(T - theta), one C (and theta) for every
// ZFC/FC curve of the sample, as a paramagnet has no memory of its history.
struct BackgroundChoice {
  enum class Loop { None, Linear, LinearOffset };
  enum class Temperature { None, Curie, CurieWeiss };
  Loop loop = Loop::None;
  Temperature temperature = Temperature::None;
  bool any() const { return loop != Loop::None || temperature != Temperature::None; }
};

// "linear", "linear+offset", "curie", "curie-weiss", each text one or more
// of them separated by commas, at most one for loops and one for ZFC/FC.
// Throws measured::DataError for another word, two terms for one kind, or
// a term for a kind of dataset that `data` does not hold.
BackgroundChoice parseBackground(const std::vector<std::string>& texts, const std::vector<Dataset>& data);

// A fitted background term, for the report.
struct BackgroundTerm {
  std::string name;  // "chi_loop-2", "M0_loop", "C", "theta"
  std::string unit;  // "emu/Oe", "emu", "emu K/Oe", "K"
  std::string meaning;
  double value = 0.0;
  double error = 0.0;  // NaN where the data do not determine it
};

// The background's amplitudes enter the moment linearly: at every
// evaluation of the particles' model they are the linear least-squares
// solution for the residuals left (variable projection), so the nonlinear
// fit sees only the particles' parameters and, for Curie-Weiss, theta,
// which a bounded one-dimensional search sets.
class Background {
 public:
  Background(const BackgroundChoice& choice, const std::vector<Dataset>& data);

  bool empty() const { return columns_.empty(); }
  // The fitted numbers: the amplitudes, and theta for Curie-Weiss.
  std::size_t parameterCount() const { return columns_.size() + (curieWeiss_ ? 1 : 0); }

  struct Solution {
    std::vector<double> amplitudes;
    double theta = 0.0;
    std::vector<double> weighted;  // the background at every point over its sigma
  };
  // The background that best takes up the weighted residuals
  // (model - data) / sigma of the particles.
  Solution solve(const std::vector<double>& residuals) const;

  // The weighted columns at a solution: one per amplitude, and for
  // Curie-Weiss the derivative by theta (per unit of theta).
  std::vector<std::vector<double>> weightedColumns(const Solution& s) const;

  // The background in emu per dataset and point.
  std::vector<std::vector<double>> values(const Solution& s) const;

  // The terms with their errors. `jacobian`: the particles' weighted
  // residuals' derivatives (row-major, `free` columns) at the point;
  // `chiSquareUnit` as for the particles' errors.
  std::vector<BackgroundTerm> terms(const Solution& s,
                                    const std::vector<double>& jacobian,
                                    std::size_t free,
                                    double chiSquareUnit) const;

  // Warnings about the terms found: a negative Curie constant, theta at
  // the end of its range.
  std::vector<std::string> warnings(const std::vector<BackgroundTerm>& terms) const;

 private:
  // What a column is at each point: chi H of one loop, M0 of one loop, or
  // C ha / (T - theta) on every ZFC/FC point.
  enum class Kind { Susceptibility, Offset, Curie };
  struct Column {
    std::string name, unit, meaning;
    std::size_t dataset = 0;
    Kind kind = Kind::Susceptibility;
  };
  double basis(std::size_t column, std::size_t point, double theta) const;
  double thetaDerivative(std::size_t column, std::size_t point, double theta) const;
  double fitTheta(const std::vector<double>& residuals) const;

  std::vector<Column> columns_;
  bool curieWeiss_ = false;
  double thetaLow_ = 0.0, thetaHigh_ = 0.0;
  // Per point of all datasets in order: its dataset, x (T or H), field of a
  // ZFC/FC point, sigma.
  std::vector<std::size_t> dataset_;
  std::vector<double> x_, field_, sigma_;
  std::vector<std::size_t> sizes_;
  std::vector<bool> isLoop_;
};

// The least-squares cost of the particles with the background projected
// out: residuals (model + background - data) / sigma, Jacobian the
// particles' with the directions the background can follow removed.
std::unique_ptr<ceres::CostFunction> withBackground(std::unique_ptr<ceres::CostFunction> particles,
                                                    const Background& background);

}  // namespace preisach::fitting
