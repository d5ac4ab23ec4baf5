#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "measured/measurement.h"

namespace preisach::lab {

// What a data option asks of a file holding a measurement sequence.
enum class DataRequest { ZfcFc, Zfc, Fc, Loop };

// The datasets a data option takes from the measurements of one file: every
// measurement of the kinds it asks for (a ZFC and an FC curve at each field
// for --zfcfc; ZFC, or a temperature sweep of unnamed kind, for --zfc; FC,
// or such a sweep, for --fc; loops for --loop), each at its own field or
// temperature; with `pick`, only the one (or the ZFC/FC pair) nearest to
// it, within max(5 Oe, 1 %) of a field or max(0.5 K, 2 %) of a temperature.
// A file without such a measurement, or without one near the pick, is
// refused with the list of what it holds. Datasets come unweighed.
std::vector<fitting::Dataset> sequenceDatasets(const std::string& option,
                                               DataRequest request,
                                               const std::string& file,
                                               const std::vector<measured::Measurement>& measurements,
                                               std::optional<double> pick);

}  // namespace preisach::lab
