#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "measured/forc_set.h"

namespace preisach::history {

using measured::ForcSet;

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
void writeDistribution(std::ostream& out,
                       const std::vector<std::vector<ForcValue>>& blocks,
                       const std::vector<std::string>& notes = {});

}  // namespace preisach::history
