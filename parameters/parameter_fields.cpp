#include "parameters/parameter_fields.h"

#include <string>

namespace preisach::parameters {

namespace {

using M = model::ModelParameters;
using P = ParameterSet;

ParameterField real(const char* name,
                    const char* label,
                    const char* unit,
                    float P::*member,
                    float M::*physics,
                    bool fittable,
                    const char* meaning,
                    PhysicalBound bound = PhysicalBound::None,
                    const char* lowered = nullptr) {
  return {name,    label,   unit,     FieldKind::Real, member,  nullptr, nullptr,
          nullptr, physics, fittable, bound,           lowered, meaning};
}

ParameterField flag(const char* name, const char* label, char P::*member, const char* meaning) {
  return {name,    label,   "",    FieldKind::Flag,     nullptr, nullptr, member,
          nullptr, nullptr, false, PhysicalBound::None, nullptr, meaning};
}

}  // namespace

const std::vector<ParameterField>& parameterFields() {
  static const std::vector<ParameterField> fields = {
      real("Tc", "Tc=", "K", &P::Tc, &M::Tc, true, "critical temperature of every scaling law X0 (1 - T/Tc)^gamma",
           PhysicalBound::AboveTemperatures),
      real("mu0", "mu0=", "emu", &P::mu0, &M::mu0, true,
           "particle moment at 0 K; also divides the thermal fluctuation field", PhysicalBound::Positive),
      real("Gamma", "Gamma=", "", &P::Gamma, &M::Gamma, true, "exponent of the moment's scaling law"),
      real("hc0_mean", "hc0_mean=", "Oe", &P::hc0_mean, &M::hc0_mean, true,
           "mean coercive field at 0 K (centre of the density in hc)"),
      real("Gamma_c", "Gamma_c=", "", &P::Gamma_c, &M::Gamma_c, true, "exponent of the mean coercive field"),
      real("sigmac0", "sigmac0=", "Oe", &P::sigmac0, &M::sigmac0, true,
           "width of the coercive-field distribution at 0 K", PhysicalBound::Positive),
      real("Gamma_cprim", "Gamma_cprim=", "", &P::Gamma_cprim, &M::Gamma_cprim, true,
           "exponent of the coercive-field width"),
      real("sigmai0", "sigmai0=", "Oe", &P::sigmai0, &M::sigmai0, true,
           "width of the interaction-field distribution at 0 K", PhysicalBound::Positive),
      real("Gamma_i", "Gamma_i=", "", &P::Gamma_i, &M::Gamma_i, true, "exponent of the interaction-field width"),
      real("km", "km=", "Oe", &P::km, &M::km, true, "centre of the interaction-field distribution (not scaled)"),
      real("N", "N=", "", &P::N, &M::N, true, "amplitude of the ensemble (density amplitude, normalisation target)",
           PhysicalBound::Positive),
      {"PDF", "PDF=", "", FieldKind::Shape, nullptr, nullptr, nullptr, &P::PDF, nullptr, false, PhysicalBound::None,
       nullptr,
       "density shape: G Gaussian, L Lorentzian, M Lorentzian in hc x exp in hi, N exp in hc x Lorentzian in hi"},
      {"m", "m=", "", FieldKind::Integer, nullptr, &P::m, nullptr, nullptr, nullptr, false, PhysicalBound::None,
       nullptr, "grid divisions per axis of the program's grid"},
      real("MC_err", "MC_err=", "", &P::MC_err, nullptr, false, "read and echoed only"),
      flag("Calculate_ZFCFC", "Calculate ZFCFC: ", &P::Calculate_ZFCFC, "y runs the ZFC/FC temperature sweep"),
      real("ha", "ha=", "Oe", &P::ha, &M::ha, false, "applied field of the ZFC/FC curves"),
      real("T_max", "T_max=", "K", &P::T_max, &M::T_max, false, "last temperature of the ZFC/FC sweep",
           PhysicalBound::None, "T_max < Tc therefore T_max assigned as Tc-10="),
      flag("Calculate_Hysteresis", "Calculate Hysteresis: ", &P::Calculate_Hysteresis,
           "y runs the normalisation and the hysteresis loop"),
      real("T_hyst", "T_hyst=", "K", &P::T_hyst, &M::T_hyst, false, "temperature of the hysteresis loop",
           PhysicalBound::None, "T_hyst < Tc therefore T_max assigned as Tc-10="),
      real("Ha_max", "Ha_max=", "Oe", &P::Ha_max, &M::Ha_max, false, "largest field of the loop"),
      real("s", "s=", "Oe", &P::s, &M::s, true, "field added to |ha| in the reversible term"),
      real("lambda", "lambda=", "Oe", &P::lambda, &M::lambda, true, "field scale of the reversible tanh term",
           PhysicalBound::Positive),
      real("f", "f=", "", &P::f, &M::f, true, "weight of the reversible part in the loop's moment",
           PhysicalBound::UnitInterval),
      flag("Calculate_PDF", "Calculate PDF", &P::Calculate_PDF, "y writes the density map of the loop's normalisation"),
  };
  return fields;
}

const ParameterField* findParameterField(const std::string& name) {
  for (const ParameterField& field : parameterFields())
    if (name == field.name) return &field;
  return nullptr;
}

model::ModelParameters modelParameters(const ParameterSet& p) {
  return p;
}

void setModelParameters(ParameterSet& p, const model::ModelParameters& physics) {
  static_cast<model::ModelParameters&>(p) = physics;
}

}  // namespace preisach::parameters
