// Command execution: runs one command through the command interpreter and waits.
#pragma once

#include <string>

namespace rt {

// Runs the first `len` characters of `command` (trailing blanks dropped) as
// "<interpreter> /c <command>" (POSIX: "<interpreter> -c <command>"), the
// interpreter being COMSPEC when set and not empty, else the platform's default.
// Waits for the child without limit and returns its exit status. Returns -1
// without starting anything and records the error number (errno on POSIX) when:
//   the trimmed command is longer than 1024 characters   -> 7
//   COMSPEC is longer than 260 characters                -> 2
//   the start failed: not found 2, bad format 8, other  12
int system(const char* command, int len);

// The command that opens `file` in the editor: "notepad " and the name as one
// word, nothing in it run by the interpreter nor taken for an option by the
// editor. False when the platform cannot quote the name safely; nothing is then
// to be run.
bool editor_command(const std::string& file, std::string& command);

// Whether the interpreter would find the program `name`: a command for a program
// that is nowhere to be found is better not run, since the interpreter would only
// say so on the console.
bool findable(const char* name);

// The interpreter used when COMSPEC is unset or empty.
const char* default_interpreter();

}  // namespace rt
