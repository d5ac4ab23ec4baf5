#pragma once

#include <cmath>
#include <vector>

#include "continuum/quadrature.h"
#include "continuum/scalar.h"
#include "continuum/shape_factors.h"

namespace preisach::continuum {

// A line hi = slope * hc + offset of the (hc, hi) plane; every bound of the
// model's regions has slope -1, 0 or 1.
template <typename S>
struct Line {
  double slope = 0.0;
  S offset = S(0.0);
  S at(const S& hc) const { return offset + slope * hc; }
};

// A region: hcFrom < hc < hcTo and, in each column, every lower line < hi <
// every upper line. Lines beyond the count are unused.
template <typename S>
struct Strip {
  static constexpr int kMostLines = 4;
  Strip(const S& from, const S& to) : hcFrom(from), hcTo(to) {}
  S hcFrom;
  S hcTo;
  Line<S> lowers[kMostLines];
  int lowerCount = 0;
  Line<S> uppers[kMostLines];
  int upperCount = 0;

  Strip& below(const Line<S>& line) {
    uppers[upperCount++] = line;
    return *this;
  }
  Strip& above(const Line<S>& line) {
    lowers[lowerCount++] = line;
    return *this;
  }
  S lower(const S& hc) const {
    S bound = lowers[0].at(hc);
    for (int k = 1; k < lowerCount; ++k) bound = larger(bound, lowers[k].at(hc));
    return bound;
  }
  S upper(const S& hc) const {
    S bound = uppers[0].at(hc);
    for (int k = 1; k < upperCount; ++k) bound = smaller(bound, uppers[k].at(hc));
    return bound;
  }
};

namespace detail {

// The farthest an interval's ends lie from a point, by value.
template <typename S>
double reachFrom(const S& point, const S& from, const S& to) {
  return std::fmax(std::fabs(value(from) - value(point)), std::fabs(value(to) - value(point)));
}

// Where the integrand of a strip may change its character: two bounds
// cross (a kink), a sloped bound passes the hi factor's centre (there a
// column's hi integral steps from none of the factor to all of it, within
// a few widths of the factor), and the hc factor's own landmarks. The step
// is seen by the first Kronrod node of a piece up to about 200 widths long
// (0.43 % of it in, under a width from the break); on a longer strip the
// bound passes all of the hi factor's landmarks.
inline constexpr double kStepSeenWithin = 200.0;

template <typename S>
std::vector<S> stripBreaks(const DensityFactors<S>& d, const Strip<S>& strip) {
  std::vector<Line<S>> lines(strip.lowers, strip.lowers + strip.lowerCount);
  lines.insert(lines.end(), strip.uppers, strip.uppers + strip.upperCount);
  std::vector<S> candidates;
  for (std::size_t j = 0; j < lines.size(); ++j) {
    for (std::size_t k = j + 1; k < lines.size(); ++k)
      if (lines[j].slope != lines[k].slope)
        candidates.push_back((lines[k].offset - lines[j].offset) / (lines[j].slope - lines[k].slope));
    const Line<S>& line = lines[j];
    if (line.slope == 0.0) continue;
    const double reach = reachFrom(d.hi.centre, line.at(strip.hcFrom), line.at(strip.hcTo));
    if (reach > kStepSeenWithin * std::fabs(value(d.hi.width)))
      d.hi.landmarks([&](const S& y) { candidates.push_back((y - line.offset) / line.slope); }, reach);
    else
      candidates.push_back((d.hi.centre - line.offset) / line.slope);
  }
  d.hc.landmarks([&](const S& x) { candidates.push_back(x); }, reachFrom(d.hc.centre, strip.hcFrom, strip.hcTo));
  return breaksWithin(strip.hcFrom, strip.hcTo, std::move(candidates));
}

}  // namespace detail

// The integral of the density over a strip: in each column the hi factor
// integrates exactly, so only the hc direction is a quadrature. An empty
// strip gives 0.
template <typename S>
S stripIntegral(const DensityFactors<S>& d, const Strip<S>& strip, double absolute, const Tolerance& tolerance) {
  if (!(value(strip.hcFrom) < value(strip.hcTo))) return S(0.0);
  const auto column = [&d, &strip](const S& hc) {
    const S lo = strip.lower(hc);
    const S up = strip.upper(hc);
    if (!(value(lo) < value(up))) return S(0.0);
    return d.hc.at(hc) * d.hi.mass(lo, up);
  };
  return d.N * integrate(column, detail::stripBreaks(d, strip), absolute, 0.0, tolerance.maxIntervals);
}

// The same to a relative tolerance of the result, for the normalisation
// integral that sets the scale of every other.
template <typename S>
S normalisationIntegral(const DensityFactors<S>& d, const Strip<S>& strip, const Tolerance& tolerance) {
  if (!(value(strip.hcFrom) < value(strip.hcTo))) return quietNaN<S>();
  const auto column = [&d, &strip](const S& hc) { return d.hc.at(hc) * d.hi.mass(strip.lower(hc), strip.upper(hc)); };
  return d.N * integrate(column, detail::stripBreaks(d, strip), 0.0, tolerance.relative, tolerance.maxIntervals);
}

// A superparamagnetic region in the variable z = ha + hi (the local field):
// zFrom < z < zTo and hcLower(|z|) < hc < hcUpper(|z|). Its integrand
// carries tanh(z / thermalScale), which has no antiderivative, so the order
// is swapped: the hc factor integrates exactly, z is the quadrature.
template <typename S, typename Lower, typename Upper>
S superparamagneticIntegral(const DensityFactors<S>& d,
                            const S& ha,
                            const S& thermalScale,
                            const S& zFrom,
                            const S& zTo,
                            const Lower& hcLower,
                            const Upper& hcUpper,
                            std::vector<S> candidates,
                            double absolute,
                            const Tolerance& tolerance) {
  using std::abs;
  using std::tanh;
  if (!(value(zFrom) < value(zTo))) return S(0.0);
  const auto local = [&](const S& z) {
    const S magnitude = value(z) < 0.0 ? S(-z) : z;
    const S lo = hcLower(magnitude);
    const S up = hcUpper(magnitude);
    if (!(value(lo) < value(up))) return S(0.0);
    return d.hi.at(z - ha) * tanh(z / thermalScale) * d.hc.mass(lo, up);
  };
  for (double k : {-4.0, -1.0, 0.0, 1.0, 4.0}) candidates.push_back(thermalScale * k);
  d.hi.landmarks([&](const S& y) { candidates.push_back(y + ha); }, detail::reachFrom(S(d.hi.centre + ha), zFrom, zTo));
  // hc is compared with |z|, so the hc factor's landmarks count on both sides.
  const double hcReach = std::fabs(value(d.hc.centre)) + std::fmax(std::fabs(value(zFrom)), std::fabs(value(zTo)));
  d.hc.landmarks(
      [&](const S& x) {
        candidates.push_back(x);
        candidates.push_back(-x);
      },
      hcReach);
  return d.N * integrate(local, breaksWithin(zFrom, zTo, std::move(candidates)), absolute, 0.0, tolerance.maxIntervals);
}

}  // namespace preisach::continuum
