#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "lab/fit_command.h"

namespace preisach::explore {

struct ExploreArguments {
  bool chosen = false;
  lab::FitArguments data;  // the parameter file and the data options, as fit's
  std::string forc;        // a measured FORC file; "" for none
  std::string out;         // where Save writes; "" for nowhere
  int port = 0;            // 0: the first free one from 8765 on
  std::string address = "127.0.0.1";
  bool noBrowser = false;
};

// `preisach-lab explore`: the model live in a browser beside the data.
void addExploreCommand(CLI::App& app, ExploreArguments& arguments);
int runExplore(const ExploreArguments& arguments);

}  // namespace preisach::explore
