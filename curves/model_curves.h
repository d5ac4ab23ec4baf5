#pragma once

#include <array>
#include <vector>

#include "curves/model_choice.h"
#include "history/forc_distribution.h"
#include "measured/forc_set.h"
#include "model/model_parameters.h"

// The model's curves on either evaluation, the grid's bit for bit as the
// program computes them: what the lab's commands and the Python module
// compute, written out by them.
namespace preisach::curves {

// The ZFC/FC curves in the field p.ha at `temperatures` (K), and the nine
// partial integrals of each point before the factor Norm_coeff, in the
// order of the program's separate file: Integral11SP, Integral22SP,
// Integral1p, Integral1m, Integral2p, Integral2m, Integral3pZFC,
// Integral3mZFC, Integral3pFC. Moments in emu.
struct ZfcFcCurves {
  std::vector<double> T;
  std::vector<double> M_ZFC;
  std::vector<double> M_FC;
  std::vector<std::array<double, 9>> integrals;
};

ZfcFcCurves zfcfcCurves(const model::ModelParameters& p,
                        const std::vector<float>& temperatures,
                        const ModelChoice& choice,
                        unsigned threads = 0);

// A moment at field H (Oe): M = f M_rev + (1 - f) M_irr, with both parts as
// the program's moment file gives them, and the saturation the state comes
// from.
struct MomentPoint {
  double H = 0.0;
  double M = 0.0;
  double irreversible = 0.0;  // (1 - f) M_irr
  double reversible = 0.0;    // f M_rev
  model::Branch branch = model::Branch::None;
};

// The loop at T_hyst: the fields `down` of the descending branch, then the
// fields `up` of the ascending one.
std::vector<MomentPoint> loopCurve(const model::ModelParameters& p,
                                   const std::vector<float>& down,
                                   const std::vector<float>& up,
                                   const ModelChoice& choice,
                                   unsigned threads = 0);

// The moment along a field history at T_hyst that starts in positive
// saturation; every field within +-Ha_max.
std::vector<MomentPoint> historyCurve(const model::ModelParameters& p,
                                      const std::vector<float>& fields,
                                      const ModelChoice& choice);

// First-order reversal curves: for Hr from +Ha_max down to -Ha_max in steps
// of `step` (Oe), saturate, go to Hr, record M at Hr, Hr + step, ... up to
// +Ha_max; the calibration point is the saturated moment.
measured::ForcSet forcCurves(const model::ModelParameters& p,
                             double step,
                             const ModelChoice& choice,
                             unsigned threads = 0);

// The model's own FORC distribution, (1 - f) 1/2 Norm_coeff mu
// rho(hc = Hc, hi = -Hu) at T_hyst, at the points of `diagram` (the
// continuum's, whatever evaluator made the diagram).
std::vector<std::vector<history::ForcValue>> exactForcDistribution(
    const model::ModelParameters& p, const std::vector<std::vector<history::ForcValue>>& diagram, double tolerance);

}  // namespace preisach::curves
