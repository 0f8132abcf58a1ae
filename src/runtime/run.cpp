#include "runtime/run.h"

#include <new>

#include "runtime/errors.h"
#include "runtime/fpe.h"
#include "runtime/platform/platform.h"
#include "runtime/units.h"

namespace rt {

namespace {

void out_of_memory() { general_error(Erro::no_memory); }

}  // namespace

void start_run(int argc, char** argv) {
  plat::ensure_standard_streams();
  set_arguments(argc, argv);
  plat::prepare_process_environment();
  std::set_new_handler(out_of_memory);
  enable_fp_traps();
  plat::catch_interruptions(interruption_error);
}

void terminate_run(int status) {
  close_all_units(true);
  plat::exit_now(status);
}

int usable_processors() { return plat::usable_processors(); }

}  // namespace rt
