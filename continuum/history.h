#pragma once

#include <utility>
#include <vector>

#include "continuum/loop.h"

namespace preisach::continuum {

// The sample under any field history at T_hyst. It starts in positive
// saturation. Each particle switches down when the field falls below -hc -
// hi and up when it rises above hc - hi; a field at or beyond +-Ha_max
// saturates the sample and wipes out its memory. The state is the staircase
// of turning points since the last saturation, so a closed minor loop
// returns to the moment it left.
template <typename S>
class FieldHistory {
 public:
  explicit FieldHistory(const Physics<S>& p, const Tolerance& tolerance = {})
      : model_(p, tolerance), path_{value(p.Ha_max)} {}
  explicit FieldHistory(LoopModel<S> model) : model_(std::move(model)), path_{value(model_.physics().Ha_max)} {}

  // Moves the field to `field` and returns the point there.
  LoopPoint<S> apply(double field) {
    moveTo(field);
    return present();
  }

  // Moves the field without evaluating the moment.
  void moveTo(double field) {
    const double H = value(model_.physics().Ha_max);
    if (field >= H || field <= -H) {
      positive_ = field >= H;
      path_.assign(1, positive_ ? H : -H);
      present_ = field;
      return;
    }
    present_ = field;
    // A move on in the same direction extends the last segment; a reversal
    // adds a turning point; reaching the extremum before the last reversal
    // closes that minor loop and wipes both turning points out.
    if (field == path_.back()) return;
    const bool down = field < path_.back();
    if (path_.size() >= 2 && (path_.back() < path_[path_.size() - 2]) == down)
      path_.back() = field;
    else
      path_.push_back(field);
    while (path_.size() >= 3 && (down ? field <= path_[path_.size() - 3] : field >= path_[path_.size() - 3]))
      path_.erase(path_.end() - 3, path_.end() - 1);
  }

  LoopPoint<S> present() const {
    LoopPoint<S> v = model_.afterTurningPoints(path_, positive_);
    if (path_.size() == 1 && present_ != path_[0]) {  // a field beyond saturation
      v.M_rev = model_.reversible(present_);
      v.reversibleColumn = model_.physics().f * v.M_rev;
      v.M = v.reversibleColumn + v.irreversibleColumn;
    }
    return v;
  }

  const LoopModel<S>& model() const { return model_; }
  // The saturation field, then alternating extrema, the last the present field.
  const std::vector<double>& turningPoints() const { return path_; }

 private:
  LoopModel<S> model_;
  std::vector<double> path_;
  bool positive_ = true;
  double present_ = 0.0;
};

}  // namespace preisach::continuum
