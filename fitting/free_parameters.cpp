#include "fitting/free_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "measured/data_error.h"

namespace preisach::fitting {

namespace {

using model::ModelParameters;

double parseBound(const std::string& text, const std::string& item) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value))
    throw measured::DataError("--free: the bound \"" + text + "\" in \"" + item + "\" is not a number");
  return value;
}

std::string formatted(double value) {
  std::ostringstream s;
  s << value;
  return s.str();
}

std::string fittableNames() {
  std::string names;
  for (const FittableParameter& p : fittableParameters()) names += (names.empty() ? "" : ", ") + std::string(p.name);
  return names;
}

const FittableParameter* findFittable(const std::string& name) {
  for (const FittableParameter& p : fittableParameters())
    if (name == p.name) return &p;
  return nullptr;
}

void setPhysicalBounds(FreeParameter& f, double value, double highestTemperature) {
  switch (f.parameter->physical) {
    case Physical::Positive:
      // A millionth of the start keeps the model finite without excluding
      // any value the data could ask for.
      f.lower = std::fabs(value) * 1e-6 > 0.0 ? std::fabs(value) * 1e-6 : std::numeric_limits<double>::min();
      break;
    case Physical::UnitInterval:
      f.lower = 0.0, f.upper = 1.0;
      break;
    case Physical::AboveTemperatures:
      f.lower = highestTemperature * (1.0 + 1e-6) + 1e-3;
      break;
    case Physical::None:
      break;
  }
}

// Why LO:HI leaves nothing: the parameter's own limit where the bounds
// given lie beyond it.
std::string emptyRangeReason(const FreeParameter& f, double highestTemperature) {
  const std::string name = f.name();
  switch (f.parameter->physical) {
    case Physical::AboveTemperatures:
      return name + " must exceed the data's highest temperature (" + formatted(highestTemperature) +
             " K), and the range ends at " + formatted(f.upper) + " K";
    case Physical::Positive:
      if (!(f.upper > 0.0)) return name + " must be positive, and the range ends at " + formatted(f.upper);
      break;
    case Physical::UnitInterval:
      return name + " is a fraction from 0 to 1, outside the range given";
    case Physical::None:
      break;
  }
  return "the range of " + name + " is empty (LO must lie below HI)";
}

FreeParameter parseItem(const std::string& item, const ModelParameters& start, double highestTemperature) {
  const std::size_t equals = item.find('=');
  const std::string name = item.substr(0, equals);
  FreeParameter f;
  f.parameter = findFittable(name);
  if (f.parameter == nullptr)
    throw measured::DataError("--free: \"" + name + "\" is not a parameter that can be fitted (" + fittableNames() +
                              ")");
  const double value = f.valueIn(start);
  setPhysicalBounds(f, value, highestTemperature);
  if (equals != std::string::npos) {
    const std::string range = item.substr(equals + 1);
    const std::size_t colon = range.find(':');
    if (colon == std::string::npos)
      throw measured::DataError("--free: \"" + item + "\" needs its bounds as LO:HI (either may be left out)");
    const std::string lo = range.substr(0, colon), hi = range.substr(colon + 1);
    if (!lo.empty()) f.lower = std::max(f.lower, parseBound(lo, item));
    if (!hi.empty()) f.upper = std::min(f.upper, parseBound(hi, item));
  }
  if (!(f.lower < f.upper))
    throw measured::DataError("--free: " + item + ": " + emptyRangeReason(f, highestTemperature));
  if (value < f.lower || value > f.upper)
    throw measured::DataError("--free: the starting value " + name + " = " + formatted(value) +
                              " lies outside its bounds [" + formatted(f.lower) + ", " + formatted(f.upper) + "]");
  return f;
}

}  // namespace

const std::vector<FittableParameter>& fittableParameters() {
  static const std::vector<FittableParameter> table = [] {
    std::vector<FittableParameter> fittable;
    for (const parameters::ParameterField& field : parameters::parameterFields())
      if (field.fittable) {
        // The mean coercive field is a field of the density's hc > 0 half
        // plane: a fit that drives it through 0 has left the model's
        // domain, whatever the file format allows.
        const bool coercive = std::string(field.name) == "hc0_mean";
        fittable.push_back({field.name, field.physics, field.unit, coercive ? Physical::Positive : field.bound});
      }
    return fittable;
  }();
  return table;
}

std::vector<FreeParameter> parseFreeParameters(const std::string& text,
                                               const ModelParameters& start,
                                               double highestTemperature) {
  std::vector<FreeParameter> free;
  std::stringstream items(text);
  for (std::string item; std::getline(items, item, ',');) {
    if (item.empty()) continue;
    const FreeParameter f = parseItem(item, start, highestTemperature);
    for (const FreeParameter& other : free)
      if (other.parameter == f.parameter)
        throw measured::DataError(std::string("--free: ") + f.name() + " is named twice");
    free.push_back(f);
  }
  if (free.empty()) throw measured::DataError("--free names no parameter");
  return free;
}

}  // namespace preisach::fitting
