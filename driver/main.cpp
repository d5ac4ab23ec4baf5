#include <iostream>

#include "driver/key_pause.h"
#include "driver/run.h"

// Command-line arguments are ignored: the parameter file is the only input.
int main() {
  const preisach::model::Console console{std::cout, std::cerr};
  return preisach::driver::runProgram(std::cin, console, preisach::driver::waitForKey);
}
