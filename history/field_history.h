#pragma once

#include <cstdint>
#include <vector>

#include "hysteresis/hysteresis_point.h"
#include "model/model_parameters.h"

namespace preisach::history {

// The sample under any field history at T_hyst, on the loop's grid (bound
// Ha_max, m divisions) and with the loop's normalisation. It starts in positive
// saturation, as after a field of +Ha_max. Each node switches down when the
// field falls below its down-switching field -hc - hi and up when it rises
// above its up-switching field hc - hi, with the strict tests and
// extended-precision differences of the loop. Reaching +-Ha_max saturates
// the sample and wipes out its memory for the fields after it.
//
// The moment is the loop's, generalised: the switching triangle's integral
// minus twice the integral over the nodes reversed since the last
// saturation (their mean times the exact area of their staircase region),
// with the sign of that saturation, times Norm_coeff, plus the reversible
// part. A field history that is the loop's own sequence gives the loop's
// rows bit for bit, and a closed minor loop returns to the moment it left.
class FieldHistory {
 public:
  FieldHistory(const model::ModelParameters& p, std::int32_t m);

  // Moves the field to `field` (within +-Ha_max) and returns the point there.
  hysteresis::HysteresisPointValues apply(float field);
  // Moves the field through `fields` in turn and returns the point at each;
  // the points of each branch are summed in one sweep of the grid.
  std::vector<hysteresis::HysteresisPointValues> applyAll(const std::vector<float>& fields);

  float Norm_coeff() const { return Norm_coeff_; }
  // The turning points since the last saturation: the saturation field,
  // then alternating extrema, then the present field.
  const std::vector<float>& turningPoints() const { return path_; }

 private:
  // Updates the turning points for a move to `field`.
  void move(float field);
  // The nodes reversed at `field` after the present turning points.
  hysteresis::HysteresisBranch::Reversal staircaseReversal(float field) const;

  model::ModelParameters p_;
  float Norm_coeff_;
  hysteresis::HysteresisBranch fromPositive_;  // the descending branch, from +Ha_max
  hysteresis::HysteresisBranch fromNegative_;  // the ascending branch, from -Ha_max
  bool positiveSaturation_ = true;
  std::vector<float> path_;
};

// The exact area, in the (hc, hi) plane, of the nodes reversed since a
// saturation at +H after the turning points path[1..] (alternating minimum,
// maximum, ..., the last the present field), within the switching
// triangle. For a saturation at -H pass the path negated.
long double staircaseArea(const std::vector<float>& path, float H);

}  // namespace preisach::history
