#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace preisach::explore {

struct ExploreArguments {
  bool chosen = false;
  std::string params;
  std::vector<std::string> zfcfc, zfc, fc, loop;  // as the fit's data options
  std::string forc;                               // a measured FORC file; "" for none
  std::string out;                                // where Save writes; "" for nowhere
  int port = 0;                                   // 0: the first free one from 8765 on
  std::string address = "127.0.0.1";
  bool noBrowser = false;
};

// `preisach-lab explore`: the model live in a browser beside the data.
void addExploreCommand(CLI::App& app, ExploreArguments& arguments);
int runExplore(const ExploreArguments& arguments);

}  // namespace preisach::explore
