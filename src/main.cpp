#include "principal.h"
#include "runtime/errors.h"

int main(int argc, char** argv) {
  rt::start_run(argc, argv);
  principal::run();
  rt::terminate_run(0);
}
