// `calor2d --help` and `calor2d --version`: the program's only answers to a
// command line. Either one, as the only argument, prints its text on standard
// output and ends the process before anything else: no file is read, created or
// written and no editor is launched. Any other command line runs the case as
// always (an argument then serves only as the report's name when the case file
// leaves it blank).
#pragma once

namespace ajuda {

// Handles `calor2d --help` / `calor2d --version`: prints the usage or the
// version and returns the exit status (0, or 1 when standard output cannot be
// written). Returns -1 for any other command line, having done nothing.
int responder(int argc, const char* const* argv);

}  // namespace ajuda
