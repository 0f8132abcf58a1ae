// The run's start and end: what the process needs before the main program, and
// the exit processing after it.
#pragma once

namespace rt {

// Prepares the process before the main program: standard streams, the
// floating-point environment, the command-line arguments, the editor stand-in,
// a handler for failed allocations and one for interruptions.
void start_run(int argc, char** argv);

// Exit processing: closes every connected unit (pending bytes written) and ends the
// process with `status`. A failed flush on the way out of a normal run is reported.
[[noreturn]] void terminate_run(int status);

// The processors this process may run on (its affinity), at least 1.
int usable_processors();

}  // namespace rt
