#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "curves/model_choice.h"
#include "lab/model_options.h"
#include "parameters/parameters.h"

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

// Throws ComputationError (exit status 1) saying that `count` of the
// `fields` moments of `what` (a loop, a field history, FORCs) at T_hyst are
// not finite, with the likely cause.
[[noreturn]] void refuseNonFiniteFields(const parameters::ParameterSet& p,
                                        const curves::ModelChoice& choice,
                                        const std::string& what,
                                        std::size_t count,
                                        std::size_t fields);

}  // namespace preisach::lab
