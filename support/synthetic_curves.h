#pragma once

// Measured curves made by the model itself, for the recovery tests and the
// fitting benchmark: the program's arithmetic at the temperatures of its
// sweep and the fields of its loop, with Gaussian noise.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "driver/temperature_sweep.h"
#include "fitting/model_curves.h"

namespace preisach::support {

// Curves the model makes with `truth` (the program's own arithmetic) at the
// temperatures of the program's sweep and the fields of its loop, with
// Gaussian noise of 1 % of each curve's largest moment, that sigma given.
inline std::vector<fitting::Dataset> measuredCurves(const parameters::ParameterSet& truth,
                                                    bool withLoop,
                                                    unsigned seed) {
  using fitting::CurveKind;
  std::vector<fitting::Dataset> data(2);
  data[0].name = "ZFC";
  data[0].kind = CurveKind::Zfc;
  data[1].name = "FC";
  data[1].kind = CurveKind::Fc;
  for (fitting::Dataset& d : data) {
    d.field = truth.ha;
    for (float T : driver::temperatureSchedule(truth.T_max)) d.curve.x.push_back(T);
  }
  if (withLoop) {
    fitting::Dataset loop;
    loop.name = "loop";
    loop.kind = CurveKind::Loop;
    for (hysteresis::Branch b : {hysteresis::Branch::Descending, hysteresis::Branch::Ascending})
      for (float H : driver::fieldSchedule(truth.Ha_max, b)) {
        loop.curve.x.push_back(H);
        loop.descending.push_back(b == hysteresis::Branch::Descending);
      }
    data.push_back(loop);
  }
  const std::vector<std::vector<double>> exact = fitting::modelCurves({truth}, data)[0];
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (std::size_t d = 0; d < data.size(); ++d) {
    double largest = 0.0;
    for (double M : exact[d]) largest = std::max(largest, std::fabs(M));
    for (double M : exact[d]) {
      data[d].curve.moment.push_back(M + 0.01 * largest * noise(random));
      data[d].curve.error.push_back(0.01 * largest);
      data[d].curve.line.push_back(static_cast<int>(data[d].curve.line.size()) + 1);
    }
    data[d].sigma = data[d].curve.error;
    data[d].measuredErrors = true;
  }
  return data;
}

}  // namespace preisach::support
