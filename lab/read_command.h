#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace preisach::lab {

struct ReadArguments {
  bool chosen = false;
  std::vector<std::string> files;
};

// `preisach-lab read`: how each measured file is read (format, units,
// columns, notes) and the measurements it holds, one line each, on
// standard output; nothing is written.
void addReadCommand(CLI::App& app, ReadArguments& arguments);
int runRead(const ReadArguments& arguments);

// The lines runRead prints for one file.
std::string readReportText(const std::string& path);

}  // namespace preisach::lab
