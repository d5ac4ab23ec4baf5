#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "model/model_parameters.h"

namespace preisach::history {

// A set of first-order reversal curves: for each curve its reversal field
// Hr, the fields H (the first is Hr) and moments M along it, and the
// calibration point measured at saturation before it. Fields in Oe,
// moments in emu.
struct ForcSet {
  struct Curve {
    double calibrationField = 0.0;
    double calibrationMoment = 0.0;
    std::vector<double> H;
    std::vector<double> M;
  };
  std::vector<Curve> curves;
  std::size_t points() const;
};

// The FORC protocol on the model: for Hr from +Ha_max down to -Ha_max in
// steps of `step`, saturate at +Ha_max, go to Hr, then record M at Hr,
// Hr + step, ... up to +Ha_max. The curves are computed on `threads` cores
// (0: all), each with the history engine of the program's arithmetic on
// the loop's grid of m divisions.
ForcSet simulateForcs(const model::ModelParameters& p, std::int32_t m, double step, unsigned threads = 0);

// The PMC MicroMag text format that FORC programs read: a header with the
// protocol's values (in CGS: Oe and emu), then per curve its calibration
// point, a blank line, the curve's points and a blank line. Numbers are
// written "+1.234567E+02,+1.234567E-15".
void writePmc(std::ostream& out, const ForcSet& forcs, double step, int smoothing, const std::string& source);

// Reads FORCs in that format, its older text form and the newer
// comma-separated export alike: the header's "Units of measure" (or units in
// a row of column names) decide between CGS and SI (T and A m^2, converted
// to Oe and emu). Throws measured::DataError naming the file and line.
ForcSet readPmc(const std::string& path);

// One value of the FORC distribution, in the coordinates Hc = (H - Hr) / 2
// and Hu = (H + Hr) / 2.
struct ForcValue {
  double Hc = 0.0;
  double Hu = 0.0;
  double rho = 0.0;
};

// rho(Hr, H) = -1/2 d2M / dHr dH at every measured point, by a local
// quadratic fit of M in Hr and H over the (2 SF + 1)^2 points around it:
// the 2 SF + 1 curves nearest in Hr, each with its 2 SF + 1 points nearest
// in H. Where the curves begin (Hc below SF steps) the neighbourhood is the
// largest full one; a point without a full 3 x 3 neighbourhood has no
// value. The values come in blocks of equal Hc, Hc ascending, each block Hu
// ascending.
std::vector<std::vector<ForcValue>> forcDistribution(const ForcSet& forcs, int smoothing);

// Text rows "Hc Hu rho" under a "#" header, a blank line between blocks
// (gnuplot reads that as a surface).
void writeDistribution(std::ostream& out, const std::vector<std::vector<ForcValue>>& blocks);

}  // namespace preisach::history
