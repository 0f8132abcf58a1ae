// Arbitrary bytes as the case file, read by the nine statements of the program.
// Every input must end in nine values or in one of the reader's error numbers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dados.h"
#include "runtime/errors.h"
#include "variaveis.h"

namespace {

struct Stopped {
  char letter;
  int number;
};

[[noreturn]] void stop(char letter, int number, std::string_view) { throw Stopped{letter, number}; }

bool reader_error(const Stopped& s) {
  if (s.letter != 'F') return false;
  switch (s.number) {
    case 6100: case 6101: case 6102: case 6103: case 6302: case 6303:
    case 6500: case 6501: case 6502: case 6503: case 6504:
      return true;
    default:
      return false;
  }
}

void enter_scratch_folder() {
  char tmpl[] = "/tmp/calor2d-fuzz-XXXXXX";
  if (mkdtemp(tmpl) == nullptr || chdir(tmpl) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    enter_scratch_folder();
    rt::set_error_hook(stop);
    return true;
  }();
  (void)ready;

  std::FILE* f = std::fopen("entrada_geral.ent", "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  variaveis::reset();
  try {
    dados::read_values();
  } catch (const Stopped& s) {
    if (!reader_error(s)) {
      std::fprintf(stderr, "unexpected run-time error %c%d\n", s.letter, s.number);
      std::abort();
    }
  }
  return 0;
}
