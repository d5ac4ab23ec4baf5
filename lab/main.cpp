// preisach-lab: what goes beyond the interactive program, on the same model
// code and arithmetic. Results go to the files the options name, progress
// and errors to standard error. Exit status: 0 on success, 1 when the work
// was done but did not succeed (a fit that did not converge, a report that
// could not be written), 2 for input it cannot use, options included.

#include <glog/logging.h>

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "driver/output_files.h"
#include "explore/explore_command.h"
#include "lab/curves_command.h"
#include "lab/fit_command.h"
#include "lab/history_command.h"
#include "lab/read_command.h"
#include "lab/result_set.h"
#include "measured/data_error.h"
#include "measured/text_cells.h"
#include "parameters/parameters.h"

namespace {

// Ceres logs through glog; the lab reports what matters itself, in its own
// lines, so glog writes neither log files nor lines on standard error.
void silenceLibraryLogging(const char* program) {
  FLAGS_logtostderr = true;
  FLAGS_minloglevel = google::GLOG_FATAL;
  google::InitGoogleLogging(program);
}

// A CLI11 parse error as one line; --help is not an error.
int parseFailure(const CLI::App& app, const CLI::ParseError& e) {
  if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
    app.exit(e);
    return preisach::lab::standardOutputIntact() ? 0 : 1;
  }
  std::cerr << "preisach-lab: " << preisach::measured::escapedControls(e.what()) << " (see preisach-lab --help)"
            << std::endl;
  return 2;
}

// The commands' arguments, one of them chosen by the command line.
struct Commands {
  preisach::lab::CurvesArguments curves;
  preisach::lab::FitArguments fit;
  preisach::lab::HistoryArguments history;
  preisach::lab::ForcArguments forc;
  preisach::lab::ReadArguments read;
  preisach::explore::ExploreArguments explore;
};

int run(const Commands& c) {
  const auto& [curves, fit, history, forc, read, explore] = c;
  if (curves.chosen) return preisach::lab::runCurves(curves);
  if (fit.chosen) return preisach::lab::runFit(fit);
  if (history.chosen) return preisach::lab::runHistory(history);
  if (forc.chosen) return preisach::lab::runForc(forc);
  if (read.chosen) return preisach::lab::runRead(read);
  if (explore.chosen) return preisach::explore::runExplore(explore);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  preisach::lab::guardStandardDescriptors();
  preisach::driver::removeTemporaryFilesOnInterrupt();
  silenceLibraryLogging(argv[0]);
  CLI::App app{
      "preisach-lab: the model's curves on its continuum limit or the program's grid, fit it to measured "
      "curves, follow any field history, FORCs "
      "(temperatures in K, fields in Oe, moments in emu)"};
  app.require_subcommand(1);
  Commands commands;
  preisach::lab::addCurvesCommand(app, commands.curves);
  preisach::lab::addFitCommand(app, commands.fit);
  preisach::lab::addHistoryCommand(app, commands.history);
  preisach::lab::addForcCommand(app, commands.forc);
  preisach::lab::addReadCommand(app, commands.read);
  preisach::explore::addExploreCommand(app, commands.explore);
  for (CLI::App* command : app.get_subcommands({}))
    command->footer("Units: temperatures in K, fields in Oe, moments in emu.");
  // A word that is no command would otherwise be reported as a missing one.
  const auto isCommand = [&app](const std::string& word) {
    for (const CLI::App* command : app.get_subcommands({}))
      if (command->get_name() == word) return true;
    return false;
  };
  if (argc > 1 && argv[1][0] != '-' && !isCommand(argv[1])) {
    std::cerr << "preisach-lab: \"" << preisach::parameters::escapedText(argv[1])
              << "\" is not a command: curves, fit, history, forc or read (see preisach-lab --help)" << std::endl;
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return parseFailure(app, e);
  }
  int status = 2;
  // A message may carry names from the command line or a file: its control
  // bytes are escaped, so that it stays one line and drives no terminal.
  try {
    status = run(commands);
  } catch (const preisach::lab::ComputationError& e) {
    std::cerr << "preisach-lab: " << preisach::measured::escapedControls(e.what()) << std::endl;
    return 1;
  } catch (const preisach::lab::WriteFailure& e) {
    std::cerr << "preisach-lab: " << preisach::measured::escapedControls(e.what()) << std::endl;
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "preisach-lab: " << preisach::measured::escapedControls(e.what()) << std::endl;
    return 2;
  }
  if (!preisach::lab::standardOutputIntact()) {
    std::cerr << "preisach-lab: standard output cannot be written: the report is lost" << std::endl;
    return 1;
  }
  return status;
}
