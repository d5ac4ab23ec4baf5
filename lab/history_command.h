#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace preisach::lab {

struct HistoryArguments {
  bool chosen = false;
  std::string params;
  std::string fields;
  std::string out;
};

struct ForcArguments {
  bool chosen = false;
  std::string params;
  double step = 0.0;  // 0: 1 % of 2 Ha_max
  int smoothing = 3;
  std::string measured;
  std::string outDir;
};

// `preisach-lab history`: the moment along any field history.
void addHistoryCommand(CLI::App& app, HistoryArguments& arguments);
int runHistory(const HistoryArguments& arguments);

// `preisach-lab forc`: first-order reversal curves of the model (or of a
// measured file) and their FORC distribution.
void addForcCommand(CLI::App& app, ForcArguments& arguments);
int runForc(const ForcArguments& arguments);

}  // namespace preisach::lab
