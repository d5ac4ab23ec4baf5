#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "continuum/scalar.h"

namespace preisach::continuum {

// How closely an integral is wanted: relative to the normalisation integral
// of the density (the ensemble's whole weight), so that every partial
// integral of a point carries the same absolute error.
struct Tolerance {
  double relative = 1e-10;
  // At most this many Gauss-Kronrod intervals per integral: a bound on the
  // work whatever the integrand (a NaN or a singular integrand stops there).
  std::size_t maxIntervals = 400;
};

namespace detail {

// The 15-point Kronrod rule and its embedded 7-point Gauss rule on [-1, 1]
// (abscissae from the outside in, the centre last).
inline constexpr double kKronrodNodes[8] = {0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
                                            0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
                                            0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
                                            0.207784955007898467600689403773245, 0.0};
inline constexpr double kKronrodWeights[8] = {0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
                                              0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
                                              0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
                                              0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
inline constexpr double kGaussWeights[4] = {0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
                                            0.381830050505118944950369775488975, 0.417959183673469387755102040816327};

template <typename S>
struct Piece {
  S from;
  S to;
  S integral;
  double error;
};

// G7K15 on [from, to]. The error estimate is QUADPACK's: the Kronrod-Gauss
// difference scaled against the integrand's spread, so that a smooth piece
// is not refined far beyond the Kronrod sum's own accuracy.
template <typename S, typename F>
Piece<S> kronrod15(const F& f, const S& from, const S& to) {
  const S centre = (from + to) * 0.5;
  const S half = (to - from) * 0.5;
  S values[15];
  for (int k = 0; k < 7; ++k) {
    values[2 * k] = f(centre - half * kKronrodNodes[k]);
    values[2 * k + 1] = f(centre + half * kKronrodNodes[k]);
  }
  values[14] = f(centre);
  S kronrod = values[14] * kKronrodWeights[7];
  double gauss = value(values[14]) * kGaussWeights[3];
  for (int k = 0; k < 7; ++k) {
    kronrod += (values[2 * k] + values[2 * k + 1]) * kKronrodWeights[k];
    if (k % 2 == 1) gauss += (value(values[2 * k]) + value(values[2 * k + 1])) * kGaussWeights[k / 2];
  }
  const double h = std::fabs(value(half));
  const double mean = value(kronrod) * 0.5;
  double spread = std::fabs(value(values[14]) - mean) * kKronrodWeights[7];
  for (int k = 0; k < 7; ++k)
    spread +=
        (std::fabs(value(values[2 * k]) - mean) + std::fabs(value(values[2 * k + 1]) - mean)) * kKronrodWeights[k];
  spread *= h;
  double error = std::fabs((value(kronrod) - gauss) * value(half));
  if (spread != 0.0 && error != 0.0) error = spread * std::min(1.0, std::pow(200.0 * error / spread, 1.5));
  return {from, to, kronrod * half, error};
}

}  // namespace detail

// The integral of f over [breaks.front(), breaks.back()], whose pieces
// between consecutive breaks (sorted by value) are smooth: globally
// adaptive G7K15, always bisecting the piece of largest error, until the
// summed error is at most max(absolute, relative * |integral|). A NaN
// anywhere gives a NaN; the interval budget bounds the work.
template <typename S, typename F>
S integrate(const F& f, const std::vector<S>& breaks, double absolute, double relative, std::size_t maxIntervals) {
  for (const S& b : breaks)
    if (std::isnan(value(b))) return quietNaN<S>();
  std::vector<detail::Piece<S>> pieces;
  pieces.reserve(std::max(breaks.size(), std::size_t{16}));
  for (std::size_t k = 0; k + 1 < breaks.size(); ++k)
    if (value(breaks[k]) < value(breaks[k + 1])) pieces.push_back(detail::kronrod15(f, breaks[k], breaks[k + 1]));
  const auto sum = [&pieces](double& error) {
    S total(0.0);
    error = 0.0;
    for (const auto& piece : pieces) {
      total += piece.integral;
      error += piece.error;
    }
    return total;
  };
  double error = 0.0;
  S total = sum(error);
  while (error > std::max(absolute, relative * std::fabs(value(total))) && pieces.size() < maxIntervals) {
    const auto worst =
        std::max_element(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.error < b.error; });
    const detail::Piece<S> split = *worst;
    const S middle = (split.from + split.to) * 0.5;
    if (!(value(split.from) < value(middle) && value(middle) < value(split.to))) break;  // no finer interval
    *worst = detail::kronrod15(f, split.from, middle);
    pieces.push_back(detail::kronrod15(f, middle, split.to));
    total = sum(error);
  }
  return total;
}

// Sorts candidate breaks by value and keeps those strictly inside
// (from, to), with from and to at the ends.
template <typename S>
std::vector<S> breaksWithin(const S& from, const S& to, std::vector<S> candidates) {
  std::vector<S> breaks{from};
  std::sort(candidates.begin(), candidates.end(), [](const S& a, const S& b) { return value(a) < value(b); });
  for (const S& x : candidates)
    if (value(x) > value(breaks.back()) && value(x) < value(to)) breaks.push_back(x);
  breaks.push_back(to);
  return breaks;
}

}  // namespace preisach::continuum
