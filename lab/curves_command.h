#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "lab/model_options.h"

namespace preisach::lab {

struct CurvesArguments {
  bool chosen = false;
  std::string params;
  ModelOptions model;
  std::string outDir = ".";
};

// `preisach-lab curves`: what the program's flags ask for (the ZFC/FC
// curves with their partial integrals, the loop), at the program's
// temperatures and fields, on the continuum limit or the program's grid.
void addCurvesCommand(CLI::App& app, CurvesArguments& arguments);
int runCurves(const CurvesArguments& arguments);

}  // namespace preisach::lab
