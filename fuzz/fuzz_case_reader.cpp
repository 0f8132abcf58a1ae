// Arbitrary bytes as the case file, read by the nine statements of the program.
// Every input must end in nine values or in one of the reader's error numbers.
//
// The program opens its case file in the current folder, so each input is read
// inside a scratch folder of this process, removed at a normal exit (a crash
// leaves it, holding the input). Only the read itself runs there: the fuzzer's
// own relative paths (corpus folders, new inputs) keep meaning the folder it was
// started in.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    case 6100:
    case 6101:
    case 6102:
    case 6103:
    case 6302:
    case 6303:
    case 6500:
    case 6501:
    case 6502:
    case 6503:
    case 6504: return true;
    default: return false;
  }
}

int home = -1;          // the folder the fuzzer was started in
std::string scratch;    // absolute
std::string case_path;  // absolute

void remove_scratch() {
  std::remove(case_path.c_str());
  rmdir(scratch.c_str());
}

class InScratch {
 public:
  InScratch() {
    if (chdir(scratch.c_str()) != 0) std::abort();
  }
  ~InScratch() {
    if (fchdir(home) != 0) std::abort();
  }
  InScratch(const InScratch&) = delete;
  InScratch& operator=(const InScratch&) = delete;
};

// A sanitizer report inside the reader writes its crash input while the scratch
// folder is current: relative artifact paths are anchored to the starting folder.
void anchor_artifact_paths(int* argc, char*** argv, const std::string& start) {
  static std::vector<std::string> args;
  static std::vector<char*> pointers;
  const std::string prefix = "-artifact_prefix=", exact = "-exact_artifact_path=";
  bool has_prefix = false;
  for (int i = 0; i < *argc; ++i) {
    std::string a = (*argv)[i];
    for (const std::string& flag : {prefix, exact}) {
      if (a.compare(0, flag.size(), flag) != 0) continue;
      if (a.size() == flag.size() || a[flag.size()] != '/') a.insert(flag.size(), start + "/");
      has_prefix = has_prefix || flag == prefix;
    }
    args.push_back(a);
  }
  if (!has_prefix) args.push_back(prefix + start + "/");
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(args.size());
  *argv = pointers.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  char tmpl[] = "/tmp/calor2d-fuzz-XXXXXX";
  std::vector<char> start(4096);
  home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (home < 0 || getcwd(start.data(), start.size()) == nullptr || mkdtemp(tmpl) == nullptr) std::abort();
  scratch = tmpl;
  case_path = scratch + "/entrada_geral.ent";
  std::atexit(remove_scratch);
  anchor_artifact_paths(argc, argv, start.data());
  rt::set_error_hook(stop);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(case_path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  variaveis::reset();
  Stopped unexpected{0, 0};
  {
    InScratch here;
    try {
      dados::read_values();
    } catch (const Stopped& s) {
      if (!reader_error(s)) unexpected = s;
    }
  }
  if (unexpected.letter != 0) {
    std::fprintf(stderr, "unexpected run-time error %c%d\n", unexpected.letter, unexpected.number);
    std::abort();
  }
  return 0;
}
