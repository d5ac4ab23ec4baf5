#include "history/forc.h"

#include <Eigen/Dense>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "history/field_history.h"
#include "measured/measured_data.h"
#include "model/cores.h"

namespace preisach::history {

namespace {

using measured::DataError;

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

std::string pmcNumber(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.6E", x);
  return text;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The numbers of a data line ("+1.0E+03,+2.0E-05" or blank-separated);
// false for a line that is not all numbers.
bool numbersOf(const std::string& line, std::vector<double>& numbers) {
  numbers.clear();
  std::string text = line;
  for (char& c : text)
    if (c == ',' || c == ';' || c == '\t') c = ' ';
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    char* end = nullptr;
    const double x = std::strtod(word.c_str(), &end);
    if (end != word.c_str() + word.size()) return false;
    numbers.push_back(x);
  }
  return !numbers.empty();
}

}  // namespace

std::size_t ForcSet::points() const {
  std::size_t n = 0;
  for (const Curve& c : curves) n += c.H.size();
  return n;
}

ForcSet simulateForcs(const model::ModelParameters& p, std::int32_t m, double step, unsigned threads) {
  const std::vector<float> reversals = reversalFields(p.Ha_max, step);
  ForcSet forcs;
  forcs.curves.resize(reversals.size());
  const FieldHistory start(p, m);
  const unsigned cores = model::coresFor(threads);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    FieldHistory sample = start;  // each core its own sample
    for (std::size_t k = next++; k < reversals.size(); k = next++) {
      ForcSet::Curve& curve = forcs.curves[k];
      curve.calibrationField = p.Ha_max;
      // Saturation, then the curve: all its fields summed in one sweep.
      std::vector<float> fields{p.Ha_max};
      const double Hr = static_cast<double>(reversals[k]);
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
    }
  };
  std::vector<std::thread> pool;
  for (unsigned w = 1; w < std::min<std::size_t>(cores, reversals.size()); ++w) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  // The curve reversed at +Ha_max itself is its one saturated point: no curve.
  forcs.curves.erase(
      std::remove_if(forcs.curves.begin(), forcs.curves.end(), [](const ForcSet::Curve& c) { return c.H.size() < 2; }),
      forcs.curves.end());
  return forcs;
}

void writePmc(std::ostream& out, const ForcSet& forcs, double step, int smoothing, const std::string& source) {
  const double Hsat = forcs.curves.empty() ? 0.0 : forcs.curves.front().calibrationField;
  out << "MicroMag 2900/3900 Data File (Series 0016)\r\n";
  out << "\"First-order reversal curves\"\r\n";
  out << "Configuration   VSM\r\n";
  out << "Source          " << source << "\r\n";
  out << "Units of measure: Cgs\r\n";
  out << "Temperature in: Kelvin\r\n";
  out << "\r\n";
  out << "Averaging time = " << pmcNumber(0.0) << "\r\n";
  out << "Hb1            = " << pmcNumber(-Hsat) << "\r\n";
  out << "Hb2            = " << pmcNumber(Hsat) << "\r\n";
  out << "Hc1            = " << pmcNumber(0.0) << "\r\n";
  out << "Hc2            = " << pmcNumber(Hsat) << "\r\n";
  out << "HCal           = " << pmcNumber(Hsat) << "\r\n";
  out << "HNcr           = " << pmcNumber(step) << "\r\n";
  out << "HSat           = " << pmcNumber(Hsat) << "\r\n";
  out << "NCrv           = " << forcs.curves.size() << "\r\n";
  out << "NData          = " << forcs.points() << "\r\n";
  out << "Smoothing      = " << smoothing << "\r\n";
  out << "\r\n";
  for (const ForcSet::Curve& c : forcs.curves) {
    out << pmcNumber(c.calibrationField) << "," << pmcNumber(c.calibrationMoment) << "\r\n\r\n";
    for (std::size_t k = 0; k < c.H.size(); ++k) out << pmcNumber(c.H[k]) << "," << pmcNumber(c.M[k]) << "\r\n";
    out << "\r\n";
  }
  out << "MicroMag 2900/3900 Data File ends\r\n";
}

ForcSet readPmc(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError(path + ": cannot be opened");
  double fieldScale = 1.0, momentScale = 1.0;  // to Oe and emu
  bool inData = false;
  ForcSet forcs;
  std::vector<std::vector<double>> group;  // the lines of a run of data lines
  std::vector<int> groupLines;
  const auto closeGroup = [&] {
    if (group.size() == 1) {
      // A calibration point: the next curve's.
      ForcSet::Curve curve;
      curve.calibrationField = group[0][0];
      curve.calibrationMoment = group[0][1];
      forcs.curves.push_back(curve);
    } else if (group.size() > 1) {
      if (forcs.curves.empty() || !forcs.curves.back().H.empty()) forcs.curves.emplace_back();
      std::size_t first = 0;
      if (group.size() > 2 && group[0][0] > group[1][0]) {
        // A calibration point written right before its curve, without a
        // blank line: it lies at a field above the curve's start.
        forcs.curves.back().calibrationField = group[0][0];
        forcs.curves.back().calibrationMoment = group[0][1];
        first = 1;
      }
      for (std::size_t k = first; k < group.size(); ++k) {
        ForcSet::Curve& curve = forcs.curves.back();
        if (!curve.H.empty() && !(group[k][0] > curve.H.back()))
          throw DataError(path + ":" + std::to_string(groupLines[k]) +
                          ": the field does not rise along the reversal curve");
        curve.H.push_back(group[k][0]);
        curve.M.push_back(group[k][1]);
      }
    }
    group.clear();
    groupLines.clear();
  };
  std::string line;
  std::vector<double> numbers;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string text = lower(line);
    if (!inData) {
      // Header: the system of units, said in words or by column units.
      if (text.find("units of measure") != std::string::npos || text.find("units") == 0) {
        if (text.find("si") != std::string::npos && text.find("cgs") == std::string::npos) {
          fieldScale = 1e4;   // T to Oe
          momentScale = 1e3;  // A m^2 to emu
        }
      }
      if (text.find("(t)") != std::string::npos || text.find("(am2)") != std::string::npos ||
          text.find("(a m2)") != std::string::npos) {
        fieldScale = text.find("(t)") != std::string::npos ? 1e4 : fieldScale;
        momentScale = 1e3;
      }
    }
    // A data line is two or more numbers (field, moment, perhaps a
    // temperature), separated by commas or blanks.
    const bool numeric = numbersOf(line, numbers);
    const bool isData = numeric && numbers.size() >= 2;
    if (isData) {
      if (!std::isfinite(numbers[0]) || !std::isfinite(numbers[1]))
        throw DataError(path + ":" + std::to_string(lineNumber) + ": a field or moment that is not a number");
      inData = true;
      group.push_back({numbers[0] * fieldScale, numbers[1] * momentScale});
      groupLines.push_back(lineNumber);
      continue;
    }
    if (inData && numeric)  // a lone number among the data
      throw DataError(path + ":" + std::to_string(lineNumber) + ": a data line needs a field and a moment");
    closeGroup();
  }
  closeGroup();
  forcs.curves.erase(
      std::remove_if(forcs.curves.begin(), forcs.curves.end(), [](const ForcSet::Curve& c) { return c.H.empty(); }),
      forcs.curves.end());
  if (forcs.curves.size() < 3) throw DataError(path + ": holds fewer than three reversal curves");
  return forcs;
}

std::vector<std::vector<ForcValue>> forcDistribution(const ForcSet& forcs, int smoothing) {
  // The field steps: between reversal fields and along the curves.
  std::vector<double> reversalSteps, fieldSteps;
  for (std::size_t i = 0; i + 1 < forcs.curves.size(); ++i)
    reversalSteps.push_back(std::fabs(forcs.curves[i + 1].H.front() - forcs.curves[i].H.front()));
  for (const ForcSet::Curve& c : forcs.curves)
    for (std::size_t k = 0; k + 1 < c.H.size(); ++k) fieldSteps.push_back(c.H[k + 1] - c.H[k]);
  const double dHr = median(reversalSteps), dH = median(fieldSteps);
  std::vector<std::vector<ForcValue>> blocks;
  if (!(dHr > 0.0) || !(dH > 0.0)) return blocks;
  // A point's neighbourhood is the full (2 S + 1)^2 lattice around it: the
  // 2 S + 1 curves nearest in Hr, each with its 2 S + 1 points nearest in
  // H. On a full lattice the mixed term of the quadratic is orthogonal to
  // the others, so a moment that depends on H alone (the reversible part)
  // gives exactly no distribution. Near the curves' starts (Hc below S
  // steps) the neighbourhood shrinks to the largest full one, S at least 1.
  const auto neighbourhood = [&](std::size_t i, double H, int S, std::vector<double>& x, std::vector<double>& y,
                                 std::vector<double>& z) {
    x.clear(), y.clear(), z.clear();
    const std::size_t s = static_cast<std::size_t>(S);
    if (i < s || i + s >= forcs.curves.size()) return false;
    const double Hr = forcs.curves[i].H.front();
    for (std::size_t i2 = i - s; i2 <= i + s; ++i2) {
      const ForcSet::Curve& other = forcs.curves[i2];
      const auto first = std::lower_bound(other.H.begin(), other.H.end(), H - (S + 0.25) * dH);
      int taken = 0;
      for (auto it = first; it != other.H.end() && *it <= H + (S + 0.25) * dH; ++it, ++taken) {
        x.push_back((other.H.front() - Hr) / dHr);
        y.push_back((*it - H) / dH);
        z.push_back(other.M[static_cast<std::size_t>(it - other.H.begin())]);
      }
      if (taken != 2 * S + 1) return false;
    }
    return true;
  };
  std::map<long, std::vector<ForcValue>> byHc;
  std::vector<double> x, y, z;
  for (std::size_t i = 0; i < forcs.curves.size(); ++i) {
    const ForcSet::Curve& c = forcs.curves[i];
    const double Hr = c.H.front();
    for (std::size_t k = 0; k < c.H.size(); ++k) {
      const double H = c.H[k];
      int S = smoothing;
      while (S >= 1 && !neighbourhood(i, H, S, x, y, z)) --S;
      if (S < 1) continue;
      Eigen::MatrixXd A(static_cast<Eigen::Index>(x.size()), 6);
      Eigen::VectorXd b(static_cast<Eigen::Index>(x.size()));
      for (std::size_t n = 0; n < x.size(); ++n) {
        const Eigen::Index r = static_cast<Eigen::Index>(n);
        A(r, 0) = 1.0;
        A(r, 1) = x[n];
        A(r, 2) = x[n] * x[n];
        A(r, 3) = y[n];
        A(r, 4) = y[n] * y[n];
        A(r, 5) = x[n] * y[n];
        b(r) = z[n];
      }
      const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(A);
      if (qr.rank() < 6) continue;
      const Eigen::VectorXd a = qr.solve(b);
      ForcValue v;
      v.Hc = (H - Hr) / 2.0;
      v.Hu = (H + Hr) / 2.0;
      v.rho = -0.5 * a(5) / (dHr * dH);
      byHc[std::lround(v.Hc / (0.5 * dH))].push_back(v);
    }
  }
  for (auto& [key, block] : byHc) {
    std::sort(block.begin(), block.end(), [](const ForcValue& a, const ForcValue& b) { return a.Hu < b.Hu; });
    blocks.push_back(std::move(block));
  }
  return blocks;
}

void writeDistribution(std::ostream& out, const std::vector<std::vector<ForcValue>>& blocks) {
  out << "# FORC distribution rho = -1/2 d2M/dHr dH (emu/Oe^2)\n# Hc = (H - Hr)/2 (Oe)  Hu = (H + Hr)/2 (Oe)  rho\n";
  char row[128];
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (b > 0) out << "\n";
    for (const ForcValue& v : blocks[b]) {
      std::snprintf(row, sizeof row, "%.6g %.6g %.6e\n", v.Hc, v.Hu, v.rho);
      out << row;
    }
  }
}

}  // namespace preisach::history
