#include <iostream>

#include "driver/key_pause.h"
#include "driver/output_files.h"
#include "driver/run.h"

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

// Command-line arguments are ignored: the parameter file is the only input.
int main() {
#ifndef _WIN32
  keepStandardDescriptorsTaken();
#endif
  preisach::driver::removeTemporaryFilesOnInterrupt();
  const preisach::model::Console console{std::cout, std::cerr};
  return preisach::driver::runProgram(std::cin, console, preisach::driver::waitForKey);
}
