// preisach-lab: what goes beyond the interactive program, on the same model
// code and arithmetic. Results go to the files the options name, progress
// and errors to standard error; the exit status is 0 only on success.

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "lab/curves_command.h"
#include "lab/fit_command.h"
#include "lab/history_command.h"
#include "measured/data_error.h"

int main(int argc, char** argv) {
  CLI::App app{"preisach-lab: the model's curves on its continuum limit or the program's grid, fit it to measured curves, follow any field history, FORCs"};
  app.require_subcommand(1);
  preisach::lab::CurvesArguments curves;
  preisach::lab::addCurvesCommand(app, curves);
  preisach::lab::FitArguments fit;
  preisach::lab::addFitCommand(app, fit);
  preisach::lab::HistoryArguments history;
  preisach::lab::addHistoryCommand(app, history);
  preisach::lab::ForcArguments forc;
  preisach::lab::addForcCommand(app, forc);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  try {
    if (curves.chosen) return preisach::lab::runCurves(curves);
    if (fit.chosen) return preisach::lab::runFit(fit);
    if (history.chosen) return preisach::lab::runHistory(history);
    if (forc.chosen) return preisach::lab::runForc(forc);
  } catch (const std::exception& e) {
    std::cerr << "preisach-lab: " << e.what() << std::endl;
    return 2;
  }
  return 2;
}
