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
                    PhysicalBound bound = PhysicalBound::None,
                    const char* lowered = nullptr) {
  return {name, label, unit, FieldKind::Real, member, nullptr, nullptr, nullptr, physics, fittable, bound, lowered};
}

ParameterField flag(const char* name, const char* label, char P::*member) {
  return {name,    label,   "",    FieldKind::Flag,     nullptr, nullptr, member,
          nullptr, nullptr, false, PhysicalBound::None, nullptr};
}

}  // namespace

const std::vector<ParameterField>& parameterFields() {
  static const std::vector<ParameterField> fields = {
      real("Tc", "Tc=", "K", &P::Tc, &M::Tc, true, PhysicalBound::AboveTemperatures),
      real("mu0", "mu0=", "emu", &P::mu0, &M::mu0, true, PhysicalBound::Positive),
      real("Gamma", "Gamma=", "", &P::Gamma, &M::Gamma, true),
      real("hc0_mean", "hc0_mean=", "Oe", &P::hc0_mean, &M::hc0_mean, true),
      real("Gamma_c", "Gamma_c=", "", &P::Gamma_c, &M::Gamma_c, true),
      real("sigmac0", "sigmac0=", "Oe", &P::sigmac0, &M::sigmac0, true, PhysicalBound::Positive),
      real("Gamma_cprim", "Gamma_cprim=", "", &P::Gamma_cprim, &M::Gamma_cprim, true),
      real("sigmai0", "sigmai0=", "Oe", &P::sigmai0, &M::sigmai0, true, PhysicalBound::Positive),
      real("Gamma_i", "Gamma_i=", "", &P::Gamma_i, &M::Gamma_i, true),
      real("km", "km=", "Oe", &P::km, &M::km, true),
      real("N", "N=", "", &P::N, &M::N, true, PhysicalBound::Positive),
      {"PDF", "PDF=", "", FieldKind::Shape, nullptr, nullptr, nullptr, &P::PDF, nullptr, false, PhysicalBound::None,
       nullptr},
      {"m", "m=", "", FieldKind::Integer, nullptr, &P::m, nullptr, nullptr, nullptr, false, PhysicalBound::None,
       nullptr},
      real("MC_err", "MC_err=", "", &P::MC_err, nullptr, false),
      flag("Calculate_ZFCFC", "Calculate ZFCFC: ", &P::Calculate_ZFCFC),
      real("ha", "ha=", "Oe", &P::ha, &M::ha, false),
      real("T_max", "T_max=", "K", &P::T_max, &M::T_max, false, PhysicalBound::None,
           "T_max < Tc therefore T_max assigned as Tc-10="),
      flag("Calculate_Hysteresis", "Calculate Hysteresis: ", &P::Calculate_Hysteresis),
      real("T_hyst", "T_hyst=", "K", &P::T_hyst, &M::T_hyst, false, PhysicalBound::None,
           "T_hyst < Tc therefore T_max assigned as Tc-10="),
      real("Ha_max", "Ha_max=", "Oe", &P::Ha_max, &M::Ha_max, false),
      real("s", "s=", "Oe", &P::s, &M::s, true),
      real("lambda", "lambda=", "Oe", &P::lambda, &M::lambda, true, PhysicalBound::Positive),
      real("f", "f=", "", &P::f, &M::f, true, PhysicalBound::UnitInterval),
      flag("Calculate_PDF", "Calculate PDF", &P::Calculate_PDF),
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
