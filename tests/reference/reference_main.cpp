// The program with the node-by-node reference evaluation in place of the
// fast one: the oracle of the end-to-end comparisons and of the benchmark.

#include <iostream>

#include "driver/key_pause.h"
#include "driver/run.h"
#include "reference/reference_evaluations.h"

int main() {
  const preisach::model::Console console{std::cout, std::cerr};
  return preisach::driver::runProgram(std::cin, console, preisach::driver::waitForKey,
                                      preisach::reference::referenceEvaluations());
}
