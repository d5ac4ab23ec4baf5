#pragma once

// Measured curves made by the model itself, for the recovery tests and the
// fitting benchmark: the program's grid arithmetic or the continuum limit,
// at the temperatures of the program's sweep and the fields of its loop,
// with Gaussian noise.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "fitting/continuum_curves.h"
#include "fitting/model_curves.h"

namespace preisach::support {

// The points a measurement would take for `truth`: ZFC and FC at the
// temperatures of the program's sweep in the field ha, the loop at T_hyst
// at the fields of the program's loop; no moments yet.
inline std::vector<fitting::Dataset> pointsToMeasure(const parameters::ParameterSet& truth, bool zfcFc, bool loop) {
  using fitting::CurveKind;
  std::vector<fitting::Dataset> data;
  for (CurveKind kind : {CurveKind::Zfc, CurveKind::Fc}) {
    if (!zfcFc) break;
    fitting::Dataset d;
    d.name = kind == CurveKind::Zfc ? "ZFC" : "FC";
    d.kind = kind;
    d.field = truth.ha;
    for (float T : driver::temperatureSchedule(truth.T_max)) d.curve.x.push_back(T);
    data.push_back(d);
  }
  if (loop) {
    fitting::Dataset d;
    d.name = "loop";
    d.kind = CurveKind::Loop;
    d.temperature = truth.T_hyst;
    for (hysteresis::Branch b : {hysteresis::Branch::Descending, hysteresis::Branch::Ascending})
      for (float H : driver::fieldSchedule(truth.Ha_max, b)) {
        d.curve.x.push_back(H);
        d.descending.push_back(b == hysteresis::Branch::Descending);
      }
    data.push_back(d);
  }
  return data;
}

// The moments `exact` with Gaussian noise of `relative` times each curve's
// largest moment, that sigma given as the standard error.
inline void measure(std::vector<fitting::Dataset>& data,
                    const std::vector<std::vector<double>>& exact,
                    unsigned seed,
                    double relative = 0.01) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (std::size_t d = 0; d < data.size(); ++d) {
    double largest = 0.0;
    for (double M : exact[d]) largest = std::max(largest, std::fabs(M));
    for (double M : exact[d]) {
      data[d].curve.moment.push_back(M + relative * largest * noise(random));
      data[d].curve.error.push_back(relative * largest);
      data[d].curve.line.push_back(static_cast<int>(data[d].curve.line.size()) + 1);
    }
    data[d].sigma = data[d].curve.error;
    data[d].measuredErrors = true;
  }
}

// ZFC/FC (and with `withLoop` the loop) by the program's grid at truth.m.
inline std::vector<fitting::Dataset> measuredCurves(const parameters::ParameterSet& truth,
                                                    bool withLoop,
                                                    unsigned seed) {
  std::vector<fitting::Dataset> data = pointsToMeasure(truth, true, withLoop);
  measure(data, fitting::modelCurves({truth}, data)[0], seed);
  return data;
}

// The same curves by the continuum limit, to a tolerance far below the noise.
inline std::vector<fitting::Dataset> continuumMeasured(const parameters::ParameterSet& truth,
                                                       bool zfcFc,
                                                       bool loop,
                                                       unsigned seed) {
  std::vector<fitting::Dataset> data = pointsToMeasure(truth, zfcFc, loop);
  measure(data, fitting::continuumCurves(fitting::physicsOf(truth), data, 1e-12), seed);
  return data;
}

}  // namespace preisach::support
