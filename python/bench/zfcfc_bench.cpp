// The ZFC/FC curves of a parameter file at the program's temperatures,
// timed in C++: the reference for the same call from Python
// (zfcfc_bench.py). Prints the fastest of the calls in milliseconds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "curves/model_curves.h"
#include "driver/temperature_sweep.h"
#include "lab/lab_files.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: zfcfc_bench PARAMETER-FILE continuum|grid REPEATS\n");
    return 2;
  }
  const preisach::parameters::ParameterSet p = preisach::lab::readParameters(argv[1]);
  const preisach::curves::ModelChoice choice = preisach::curves::modelChoice(argv[2], 1e-10, p.m);
  const int repeats = std::stoi(argv[3]);
  std::vector<double> milliseconds;
  double sink = 0.0;
  for (int k = 0; k < repeats; ++k) {
    const auto begin = std::chrono::steady_clock::now();
    const std::vector<float> T = preisach::driver::temperatureSchedule(p.T_max);
    const preisach::curves::ZfcFcCurves c = preisach::curves::zfcfcCurves(p, T, choice);
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
    milliseconds.push_back(spent.count());
    sink += c.M_ZFC.back();
  }
  // The fastest call: the least disturbed by other work on a shared machine.
  std::printf("C++ zfcfc (%s): fastest %.4f ms of %d calls (checksum %g)\n", argv[2],
              *std::min_element(milliseconds.begin(), milliseconds.end()), repeats, sink);
  return 0;
}
