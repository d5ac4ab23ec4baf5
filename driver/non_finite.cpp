#include "driver/non_finite.h"

#include <cmath>
#include <sstream>

#include "model/thermal.h"

namespace preisach::driver {

namespace {

std::string number(double value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

std::string widths(const model::ModelParameters& p) {
  return "hc0_mean=" + number(static_cast<double>(p.hc0_mean)) + ", sigmac0=" + number(static_cast<double>(p.sigmac0)) +
         ", sigmai0=" + number(static_cast<double>(p.sigmai0)) + " Oe";
}

// What is left when neither Tc nor Norm_coeff explains it.
const char* otherCause(const std::optional<double>& Norm_coeff) {
  if (Norm_coeff && std::isnan(*Norm_coeff))
    return "Norm_coeff is not a number: the density is not finite on the grid (a width, Gamma or mu0 out of range)";
  return "the density or the moment leaves the range of double numbers (a width, Gamma, lambda or mu0 out of range)";
}

}  // namespace

std::string zfcFcNonFiniteCause(const model::ModelParameters& p, float T, std::optional<double> Norm_coeff) {
  if (!(T < p.Tc))
    return "the temperature " + number(static_cast<double>(T)) + " K reaches Tc=" + number(static_cast<double>(p.Tc)) +
           " K, where the scaling law is undefined";
  if (!Norm_coeff || !std::isinf(*Norm_coeff)) return otherCause(Norm_coeff);
  // The ZFC/FC grid reaches ha + hts(T_max): the thermal field at T_max
  // grows as 1/mu0, and a grid that wide has no node where the density
  // differs from 0 in double precision.
  const double hts = static_cast<double>(model::thermalField(p.T_max, p.mu0));
  std::string cause = "Norm_coeff is infinite because ";
  if (!(hts < std::fabs(static_cast<double>(p.ha))))
    cause += "mu0 is tiny: mu0=" + number(static_cast<double>(p.mu0)) + " emu makes the thermal field hts(T_max) " +
             number(hts) + " Oe";
  else
    cause += "ha=" + number(static_cast<double>(p.ha)) + " Oe is huge: it makes the grid reach " +
             number(hts + std::fabs(static_cast<double>(p.ha))) + " Oe";
  return cause + ", and on a grid that wide the density (" + widths(p) + ") is 0 at every node";
}

std::string loopNonFiniteCause(const model::ModelParameters& p, std::optional<double> Norm_coeff) {
  if (!(p.T_hyst < p.Tc))
    return "T_hyst=" + number(static_cast<double>(p.T_hyst)) + " K reaches Tc=" + number(static_cast<double>(p.Tc)) +
           " K, where the scaling law is undefined";
  if (!Norm_coeff || !std::isinf(*Norm_coeff)) return otherCause(Norm_coeff);
  // The loop's grid spans +-Ha_max in m or 3m steps; the density's widths
  // shrink as T_hyst nears Tc. A step far beyond them leaves no node where
  // the density differs from 0 in double precision.
  std::string cause =
      "Norm_coeff is infinite because the density at T_hyst=" + number(static_cast<double>(p.T_hyst)) + " K (" +
      widths(p) + " at 0 K) is 0 at every node of the loop's grid: Ha_max=" + number(static_cast<double>(p.Ha_max)) +
      " Oe is too wide for it";
  if (p.T_hyst > 0.5f * p.Tc)
    cause += ", or T_hyst too close to Tc=" + number(static_cast<double>(p.Tc)) + " K, where the density narrows";
  return cause;
}

}  // namespace preisach::driver
