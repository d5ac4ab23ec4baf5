#pragma once

namespace preisach::driver {

// Waits for one key press on the console when standard input is a terminal:
// the key is read without echo and without Enter, and discarded; the
// terminal's mode is restored afterwards, also when the program is
// interrupted during the wait. When standard input is not a terminal (a pipe,
// a file) it returns at once, so scripts drive the program through stdin.
void waitForKey();

}  // namespace preisach::driver
