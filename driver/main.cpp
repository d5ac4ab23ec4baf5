#include <iostream>
#include <string>

#include "driver/key_pause.h"
#include "driver/output_files.h"
#include "driver/run.h"
#include "parameters/data_directory.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

namespace {

// A standard descriptor closed by whoever started the program would be
// taken by the next file opened, and a report meant for standard error
// would land in a result file; each closed one is opened on /dev/null.
void keepStandardDescriptorsTaken() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) == -1) _exit(2);
}

}  // namespace
#endif

namespace {

// The parameter file is the only input; an argument is a newcomer's
// question, answered on standard output before any file is touched.
int answerArguments(const char* argument) {
  const std::string asked = argument;
  std::cout << "usage: preisach   (no arguments)\n"
               "Reads "
            << preisach::parameters::dataFilePath(preisach::parameters::kParameterFileName)
            << " below the working directory, runs the ZFC/FC\n"
               "curves and the hysteresis loop its flags ask for and writes the results beside it.\n"
               "Answers are read from standard input, e.g. `echo n | preisach` for one pass.\n"
               "Fitting, field histories and FORCs: preisach-lab --help. Units: K, Oe, emu.\n";
  std::cout.flush();
  if (asked == "--help" || asked == "-h" || asked == "--version") return std::cout ? 0 : 1;
  std::cerr << "preisach: takes no arguments, \"" << asked << "\" was given" << std::endl;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return answerArguments(argv[1]);
#ifndef _WIN32
  keepStandardDescriptorsTaken();
#endif
  preisach::driver::removeTemporaryFilesOnInterrupt();
  const preisach::model::Console console{std::cout, std::cerr};
  return preisach::driver::runProgram(std::cin, console, preisach::driver::waitForKey);
}
