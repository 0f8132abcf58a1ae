// Interruptions on Windows: Ctrl+C and the closing of the console keep their
// default effect of ending the process; there are no POSIX signals to catch.
#include <windows.h>

#include "runtime/platform/platform.h"

namespace rt::plat {

void catch_interruptions(InterruptHandler) {}

void end_interrupted() { ::ExitProcess(1); }

}  // namespace rt::plat
