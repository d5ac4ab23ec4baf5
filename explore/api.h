#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fitting/model_curves.h"
#include "history/forc_distribution.h"
#include "parameters/parameters.h"

// The numbers the explore page draws, as JSON: what the lab's commands
// compute, from the same code, every double exactly (JSON numbers that read
// back to the same bits).
namespace preisach::explore {

// The record `start` with the values named in `values` (parameter names of
// the file, values as text) put in its place, read back by the program's
// own reader and the lab's checks of a ZFC/FC sweep and a loop. Throws
// measured::DataError naming the value for an unknown name, a value the
// reader refuses or a record the program would refuse.
parameters::ParameterSet recordWith(const parameters::ParameterSet& start,
                                    const std::map<std::string, std::string>& values);

// The record's parameters (name, unit, label, value, whether a fit may
// vary it) and the measured datasets (name, kind, x, M, sigma, field or
// temperature).
nlohmann::json recordJson(const parameters::ParameterSet& p, const std::vector<fitting::Dataset>& data);

// The curves `preisach-lab curves` writes for the record on the continuum
// limit at the relative tolerance: T, M_ZFC, M_FC and the nine separate
// integrals of each temperature (when the record's ZFC/FC flag is on), H,
// M, (1 - f) M_irr and f M_rev of the loop (when its loop flag is on).
// Throws lab::ComputationError for numbers that are not finite.
nlohmann::json curvesJson(const parameters::ParameterSet& p, double tolerance);

// The model at every measured point (each dataset in its own field or at
// its own temperature) on the continuum: one list per dataset, for the
// residuals (M - model) / sigma. Throws measured::DataError when the record
// no longer takes the data (a temperature at or above its Tc, a loop field
// beyond its Ha_max), as reading them with it would.
nlohmann::json dataModelJson(const parameters::ParameterSet& p,
                             const std::vector<fitting::Dataset>& data,
                             double tolerance);

// The curves of curvesJson on the program's grid at m divisions (the
// lab's `curves --model grid`), refused (measured::DataError) when their
// grid work exceeds `largestCellUpdates`; the same keys.
nlohmann::json gridCurvesJson(parameters::ParameterSet p, std::int32_t m, double largestCellUpdates);

// The density (Oe^-2, with its amplitude A) over the (hc, hi) plane at
// temperature T (K) on an n x n grid that holds the ZFC/FC rectangle and
// the density's centre, z[row of hi][column of hc]; and the band limits
// of the ZFC/FC point at T: hts(T)/2, hts(T), hts(T_max), with the
// rectangle's bound ha + hts(T_max) in hi; and a "note" when the density
// is narrower than the picture's step.
nlohmann::json densityJson(const parameters::ParameterSet& p, double T, int n);

// The model's FORC distribution at T_hyst on the continuum, (1 - f) 1/2
// Norm_coeff mu rho(hc = Hc, hi = -Hu), on a grid of Hc in (0, Ha_max] and
// Hu in [-Ha_max, Ha_max], narrowed to where the density lies (five widths
// about its centre at T_hyst) when that is less: Hc, Hu and rho[row of
// Hu][column of Hc].
nlohmann::json modelForcJson(const parameters::ParameterSet& p, double tolerance);

// Numbers for a picture, where one that is not finite is a gap (null).
nlohmann::json finiteOrNull(const std::vector<double>& values);

// The FORC diagram (SF = 3, as forc --measured) of a measured PMC file.
// Throws measured::DataError for a file it cannot read or too few FORCs.
std::vector<std::vector<history::ForcValue>> readForcDiagram(const std::string& path);

// A processed FORC diagram as three lists Hc, Hu, rho (Oe, emu/Oe^2).
nlohmann::json diagramJson(const std::vector<std::vector<history::ForcValue>>& blocks);

}  // namespace preisach::explore
