#include "history/field_history.h"

#include <algorithm>
#include <limits>

#include "model/library_math.h"
#include "model/normalisation.h"
#include "model/runs.h"

namespace preisach::history {

namespace {

using model::ext;
using model::Extended;

constexpr Extended kInfinity = std::numeric_limits<Extended>::infinity();

// The loop's normalisation at T_hyst over the rectangle of Ha_max, kept as
// the float32 the loop hands its points.
float normalisation(const model::ModelParameters& p, std::int32_t m) {
  return static_cast<float>(model::evaluateNormalisation(p, m, p.T_hyst, p.Ha_max).Norm_coeff);
}

// In the plane of the switching fields u = hc - hi (up) and d = -hc - hi
// (down), the triangle is -H < d < u < H and an area is twice its area in
// the (hc, hi) plane. The nodes switched down after a minimum a and still
// down after the maximum b that followed it form the corner d > a, u >= b.
Extended cornerArea(Extended a, Extended b, Extended H) {
  a = std::clamp(a, -H, H);
  b = std::clamp(b, -H, H);
  if (b <= a) return (H - a) * (H - a) * 0.5L;
  return (b - a) * (H - b) + (H - b) * (H - b) * 0.5L;
}

// The corners of the staircase of turning points path[1..]: each extremum
// with the one after it, and the present field with `open` (no reversal
// after it yet).
std::vector<std::pair<Extended, Extended>> staircaseCorners(const std::vector<float>& path, Extended open) {
  std::vector<std::pair<Extended, Extended>> corners;
  for (std::size_t k = 1; k < path.size(); k += 2)
    corners.push_back({ext(path[k]), k + 1 < path.size() ? ext(path[k + 1]) : open});
  return corners;
}

}  // namespace

long double staircaseArea(const std::vector<float>& path, float H) {
  // The corners (minimum, the maximum after it); a present field that is a
  // minimum has no maximum yet.
  const std::vector<std::pair<Extended, Extended>> corners = staircaseCorners(path, -kInfinity);
  // The minima rise and the maxima fall: the corners form a staircase whose
  // area is the sum of the corners less their overlaps with the next.
  const Extended h = ext(H);
  Extended area = 0.0L;
  for (std::size_t k = 0; k < corners.size(); ++k) {
    area += cornerArea(corners[k].first, corners[k].second, h);
    if (k + 1 < corners.size()) area -= cornerArea(corners[k + 1].first, corners[k].second, h);
  }
  return area * 0.5L;
}

FieldHistory::FieldHistory(const model::ModelParameters& p, std::int32_t m)
    : p_(p),
      Norm_coeff_(normalisation(p, m)),
      fromPositive_(p, m, model::Branch::Descending),
      fromNegative_(p, m, model::Branch::Ascending),
      path_{p.Ha_max} {}

void FieldHistory::move(float field) {
  // The turning points since saturation. A move on in the same direction
  // extends the last segment; a reversal adds a turning point; a field that
  // reaches the extremum before the last reversal closes that minor loop and
  // wipes both turning points out (equality too: the same nodes are reversed).
  const float present = path_.back();
  if (field == present) return;
  const bool down = field < present;
  if (path_.size() >= 2 && (path_.back() < path_[path_.size() - 2]) == down)
    path_.back() = field;
  else
    path_.push_back(field);
  while (path_.size() >= 3 && (down ? field <= path_[path_.size() - 3] : field >= path_[path_.size() - 3])) {
    path_.erase(path_.end() - 3, path_.end() - 1);
  }
}

hysteresis::HysteresisPointValues FieldHistory::apply(float field) {
  return applyAll({field}).front();
}

std::vector<hysteresis::HysteresisPointValues> FieldHistory::applyAll(const std::vector<float>& fields) {
  // The points between two changes of saturation lie on one branch: those
  // at saturation or on a single move from it are the loop's own points,
  // with its starting-field rule; the others are staircases. Each kind is
  // summed in one sweep of the grid.
  std::vector<hysteresis::HysteresisPointValues> points(fields.size());
  std::vector<std::size_t> onBranch, onStaircase;
  std::vector<float> branchFields;
  std::vector<hysteresis::HysteresisBranch::Reversal> reversals;
  const auto evaluate = [&] {
    const hysteresis::HysteresisBranch& branch = positiveSaturation_ ? fromPositive_ : fromNegative_;
    const std::vector<hysteresis::HysteresisPointValues> plain = branch.evaluate(branchFields, Norm_coeff_);
    for (std::size_t k = 0; k < plain.size(); ++k) points[onBranch[k]] = plain[k];
    const std::vector<hysteresis::HysteresisPointValues> staircases = branch.evaluateReversed(
        reversals, positiveSaturation_ ? model::Branch::Descending : model::Branch::Ascending, Norm_coeff_);
    for (std::size_t k = 0; k < staircases.size(); ++k) points[onStaircase[k]] = staircases[k];
    onBranch.clear();
    onStaircase.clear();
    branchFields.clear();
    reversals.clear();
  };
  const float H = p_.Ha_max;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    const float field = fields[k];
    move(field);
    if (path_.size() <= 2) {
      onBranch.push_back(k);
      branchFields.push_back(path_.back());
    } else {
      onStaircase.push_back(k);
      reversals.push_back(staircaseReversal(field));
    }
    if (field == H || field == -H) {
      if ((field == H) != positiveSaturation_) evaluate();
      positiveSaturation_ = field == H;
      path_.assign(1, field);
    }
  }
  evaluate();
  return points;
}

hysteresis::HysteresisBranch::Reversal FieldHistory::staircaseReversal(float field) const {
  const float H = p_.Ha_max;
  const bool positive = positiveSaturation_;
  const hysteresis::HysteresisBranch& branch = positive ? fromPositive_ : fromNegative_;
  const model::AxisNodes& hiNodes = branch.hiNodes();
  // From positive saturation the reversed (down) nodes of a column are a
  // prefix of its triangle rows: for each corner (minimum a, maximum b)
  // those with -hc - hi > a and hc - hi >= b. From negative saturation the
  // reversed (up) nodes are a suffix: hc - hi < b and -hc - hi <= a for each
  // corner (maximum b, minimum a after it).
  std::vector<std::pair<Extended, Extended>> corners = staircaseCorners(path_, positive ? -kInfinity : kInfinity);
  const auto rows = [&hiNodes, H, positive, corners = std::move(corners)](std::int32_t, double hc) {
    model::Run run = hysteresis::triangleRows(hiNodes, hc, H);
    const Extended h = ext(hc);
    if (positive) {
      std::int32_t end = run.begin;
      for (const auto& [a, b] : corners)
        end = std::max(end, std::min(hiNodes.firstNotBelow(-h - a), hiNodes.firstAbove(h - b)));
      run.end = std::min(run.end, end);
    } else {
      std::int32_t begin = run.end;
      for (const auto& [b, a] : corners)
        begin = std::min(begin, std::max(hiNodes.firstAbove(h - b), hiNodes.firstNotBelow(-h - a)));
      run.begin = std::max(run.begin, begin);
    }
    return run;
  };
  // From negative saturation the picture is the mirror one: (u, d) -> (-d, -u).
  std::vector<float> mirrored = path_;
  if (!positive)
    for (float& x : mirrored) x = -x;
  return {field, rows, staircaseArea(mirrored, H)};
}

}  // namespace preisach::history
