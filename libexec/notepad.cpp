// Stand-in for "notepad" where there is none. When a person is at the terminal it
// opens the files in their editor (VISUAL, EDITOR, else nano or vi) and waits for
// it; in a batch run (no terminal) it opens nothing and returns at once, so the
// run goes on without a sound. A program rather than a shell script: a shell
// reading a script needs spare descriptors, and with very few left it complains.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/platform/platform.h"

int main(int argc, char** argv) {
  if (!::isatty(0) || !::isatty(1)) return 0;
  std::vector<std::string> words;
  const char* chosen = std::getenv("VISUAL");
  if (chosen == nullptr || *chosen == '\0') chosen = std::getenv("EDITOR");
  // EDITOR may carry options ("code -w"): split into words at blanks.
  std::string text = chosen ? chosen : "";
  for (std::string::size_type at = 0; (at = text.find_first_not_of(" \t", at)) != std::string::npos;) {
    std::string::size_type end = text.find_first_of(" \t", at);
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  for (const char* candidate : {"nano", "vi"}) {
    if (words.empty() && rt::plat::program_findable(candidate)) words.push_back(candidate);
  }
  if (words.empty()) return 0;
  std::vector<char*> args;
  for (std::string& w : words) args.push_back(w.data());
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  ::execvp(args[0], args.data());
  std::fprintf(stderr, "notepad: %s: %s\n", args[0], std::strerror(errno));
  return 127;
}
