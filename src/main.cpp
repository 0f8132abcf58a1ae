#include "ajuda.h"
#include "principal.h"
#include "runtime/run.h"

int main(int argc, char** argv) {
  if (int status = ajuda::responder(argc, argv); status >= 0) return status;
  rt::start_run(argc, argv);
  principal::run();
  rt::terminate_run(0);
}
