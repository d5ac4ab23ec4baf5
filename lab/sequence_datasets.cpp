#include "lab/sequence_datasets.h"

#include <algorithm>
#include <cmath>

#include "lab/lab_files.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"

namespace preisach::lab {

namespace {

using measured::Measurement;
using measured::MeasurementKind;

bool wanted(DataRequest request, MeasurementKind kind) {
  switch (request) {
    case DataRequest::ZfcFc:
      return kind == MeasurementKind::Zfc || kind == MeasurementKind::Fc;
    case DataRequest::Zfc:
      return kind == MeasurementKind::Zfc || kind == MeasurementKind::TemperatureSweep;
    case DataRequest::Fc:
      return kind == MeasurementKind::Fc || kind == MeasurementKind::TemperatureSweep;
    case DataRequest::Loop:
      return kind == MeasurementKind::Loop;
  }
  return false;
}

const char* requestName(DataRequest request) {
  switch (request) {
    case DataRequest::ZfcFc:
      return "ZFC/FC pair";
    case DataRequest::Zfc:
      return "ZFC curve";
    case DataRequest::Fc:
      return "FC curve";
    case DataRequest::Loop:
      return "loop";
  }
  return "";
}

double conditionOf(const Measurement& m) {
  return m.isTemperatureSweep() ? m.field : m.temperature;
}

// How near a measured field or temperature must lie to a pick: as near as
// a sequence holds it.
double pickTolerance(DataRequest request, double pick) {
  return request == DataRequest::Loop ? measured::heldTemperature(pick) : measured::heldField(pick);
}

std::string holdings(const std::vector<Measurement>& measurements) {
  std::string list;
  for (std::size_t k = 0; k < measurements.size(); ++k) {
    const Measurement& m = measurements[k];
    list += (k == 0                         ? ""
             : k + 1 == measurements.size() ? " and "
                                            : ", ") +
            std::string(measured::kindName(m.kind)) + " at " + formatNumber(conditionOf(m)) +
            (m.isTemperatureSweep() ? " Oe" : " K");
  }
  return list;
}

fitting::Dataset datasetOf(const Measurement& m, std::size_t number, const std::string& option) {
  fitting::Dataset d;
  d.curve = m.curve;
  d.descending = m.descending;
  d.condition = std::string("the mean of the file's ") + (m.isTemperatureSweep() ? "field" : "temperature") +
                " column over measurement " + std::to_string(number) + ": " + measured::describe(m);
  if (m.kind == MeasurementKind::Loop) {
    d.kind = fitting::CurveKind::Loop;
    d.name = "loop";
    d.temperature = static_cast<float>(m.temperature);
  } else {
    const bool zfc =
        m.kind == MeasurementKind::Zfc || (m.kind == MeasurementKind::TemperatureSweep && option != "--fc");
    d.kind = zfc ? fitting::CurveKind::Zfc : fitting::CurveKind::Fc;
    d.name = zfc ? "ZFC" : "FC";
    d.field = static_cast<float>(m.field);
  }
  return d;
}

}  // namespace

std::vector<fitting::Dataset> sequenceDatasets(const std::string& option,
                                               DataRequest request,
                                               const std::string& file,
                                               const std::vector<Measurement>& measurements,
                                               std::optional<double> pick) {
  const std::string name = measured::shownName(file);
  std::vector<std::size_t> chosen;
  for (std::size_t k = 0; k < measurements.size(); ++k)
    if (wanted(request, measurements[k].kind)) chosen.push_back(k);
  if (chosen.empty())
    throw measured::DataError(option + " " + name + ": the file holds no " + requestName(request) + "; it holds " +
                              holdings(measurements) + " (see preisach-lab read)");
  if (pick) {
    const auto distance = [&](std::size_t k) { return std::fabs(conditionOf(measurements[k]) - *pick); };
    const std::size_t nearest = *std::min_element(
        chosen.begin(), chosen.end(), [&](std::size_t a, std::size_t b) { return distance(a) < distance(b); });
    if (distance(nearest) > pickTolerance(request, *pick))
      throw measured::DataError(option + " " + name + "@" + formatNumber(*pick) + ": the file holds no " +
                                requestName(request) + " within " + formatNumber(pickTolerance(request, *pick)) +
                                (request == DataRequest::Loop ? " K" : " Oe") + " of " + formatNumber(*pick) +
                                "; it holds " + holdings(measurements));
    const double at = conditionOf(measurements[nearest]);
    std::vector<std::size_t> picked;
    for (std::size_t k : chosen)
      if (std::fabs(conditionOf(measurements[k]) - at) <= pickTolerance(request, at)) picked.push_back(k);
    chosen = picked;
  }
  // A pair needs both curves at its field.
  if (request == DataRequest::ZfcFc) {
    for (std::size_t k : chosen) {
      const MeasurementKind other =
          measurements[k].kind == MeasurementKind::Zfc ? MeasurementKind::Fc : MeasurementKind::Zfc;
      const bool paired = std::any_of(chosen.begin(), chosen.end(), [&](std::size_t j) {
        return measurements[j].kind == other && std::fabs(measurements[j].field - measurements[k].field) <=
                                                    pickTolerance(request, measurements[k].field);
      });
      if (!paired)
        throw measured::DataError(option + " " + name + ": the " + measured::kindName(measurements[k].kind) +
                                  " curve at " + formatNumber(measurements[k].field) + " Oe has no " +
                                  measured::kindName(other) + " curve beside it; it holds " + holdings(measurements) +
                                  " (give single curves with --zfc or --fc)");
    }
  }
  std::vector<fitting::Dataset> data;
  for (std::size_t k : chosen) data.push_back(datasetOf(measurements[k], k + 1, option));
  return data;
}

}  // namespace preisach::lab
