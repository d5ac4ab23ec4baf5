#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace preisach::lab {

struct FitArguments {
  bool chosen = false;
  std::string params;
  std::string zfcfc, zfc, fc, loop;
  std::string free;
  std::string out;
  int starts = 1;
};

// `preisach-lab fit`: its options, filled into `arguments` when parsed.
void addFitCommand(CLI::App& app, FitArguments& arguments);

// Reads the data and the start, fits, writes the report to standard output
// and the fitted parameter file, the fitted curves and (with gnuplot) their
// picture beside --out. Returns the exit status: 0 when the fit converged.
// An input it cannot use throws measured::DataError.
int runFit(const FitArguments& arguments);

}  // namespace preisach::lab
