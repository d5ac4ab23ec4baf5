#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "lab/model_options.h"

namespace preisach::lab {

struct HistoryArguments {
  bool chosen = false;
  std::string params;
  std::string fields;
  std::string out;
  ModelOptions model;
  bool progress = false;
};

struct ForcArguments {
  bool chosen = false;
  std::string params;
  double step = 0.0;  // 0: not given, 1 % of 2 Ha_max
  int smoothing = 3;
  std::string measured;
  std::string outDir;
  ModelOptions model;
  bool progress = false;
};

// `preisach-lab history`: the moment along any field history.
void addHistoryCommand(CLI::App& app, HistoryArguments& arguments);
int runHistory(const HistoryArguments& arguments);

// `preisach-lab forc`: first-order reversal curves of the model (or of a
// measured file) and their FORC distribution; on the continuum also the
// model's exact distribution at the same points. The curves, the diagrams
// and the picture are replaced together, only when all of them are made.
void addForcCommand(CLI::App& app, ForcArguments& arguments);
int runForc(const ForcArguments& arguments);

}  // namespace preisach::lab
