#include "history/forc_simulation.h"

#include <algorithm>
#include <vector>

#include "history/field_history.h"
#include "model/parallel.h"

namespace preisach::history {

namespace {

// The fields of the protocol, each rounded to float32 as the model takes it.
std::vector<float> reversalFields(float Ha_max, double step) {
  std::vector<float> fields;
  for (long k = 0;; ++k) {
    const double Hr = static_cast<double>(Ha_max) - static_cast<double>(k) * step;
    if (Hr < -static_cast<double>(Ha_max) * (1.0 + 1e-12)) break;
    fields.push_back(std::max(static_cast<float>(Hr), -Ha_max));
  }
  return fields;
}

// One curve: saturation, then the curve from Hr up, all its fields summed in
// one sweep. Saturating first wipes whatever the sample went through before.
ForcSet::Curve reversalCurve(FieldHistory& sample, const model::ModelParameters& p, float reversal, double step) {
  ForcSet::Curve curve;
  curve.calibrationField = p.Ha_max;
  std::vector<float> fields{p.Ha_max};
  const double Hr = static_cast<double>(reversal);
  for (long j = 0;; ++j) {
    const double H = Hr + static_cast<double>(j) * step;
    if (H > static_cast<double>(p.Ha_max) * (1.0 + 1e-12)) break;
    fields.push_back(std::min(static_cast<float>(H), p.Ha_max));
  }
  const std::vector<hysteresis::HysteresisPointValues> points = sample.applyAll(fields);
  curve.calibrationMoment = points.front().M;
  for (std::size_t j = 1; j < points.size(); ++j) {
    curve.H.push_back(static_cast<double>(fields[j]));
    curve.M.push_back(points[j].M);
  }
  return curve;
}

}  // namespace

ForcSet simulateForcs(const model::ModelParameters& p, std::int32_t m, double step, unsigned threads) {
  const std::vector<float> reversals = reversalFields(p.Ha_max, step);
  ForcSet forcs;
  forcs.curves.resize(reversals.size());
  const FieldHistory start(p, m);
  model::forEachIndexWithState(
      reversals.size(), threads, [&] { return start; },  // each core its own sample
      [&](std::size_t k, FieldHistory& sample) { forcs.curves[k] = reversalCurve(sample, p, reversals[k], step); });
  // The curve reversed at +Ha_max itself is its one saturated point: no curve.
  forcs.curves.erase(
      std::remove_if(forcs.curves.begin(), forcs.curves.end(), [](const ForcSet::Curve& c) { return c.H.size() < 2; }),
      forcs.curves.end());
  return forcs;
}

}  // namespace preisach::history
