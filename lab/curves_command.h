#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace preisach::lab {

struct CurvesArguments {
  bool chosen = false;
  std::string params;
  std::string model = "continuum";
  double tolerance = 1e-10;
  std::string outDir = ".";
};

// `preisach-lab curves`: what the program's flags ask for (the ZFC/FC
// curves with their partial integrals, the loop), at the program's
// temperatures and fields, on the continuum limit or the program's grid.
void addCurvesCommand(CLI::App& app, CurvesArguments& arguments);
int runCurves(const CurvesArguments& arguments);

}  // namespace preisach::lab
