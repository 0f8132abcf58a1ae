// The handful of POSIX calls the tests make, for the Windows build of the tests
// (included ahead of every test source there).
#pragma once

#include <direct.h>
#include <io.h>
#include <stdlib.h>

// Permission bits have no meaning here; the folder is made all the same.
inline int mkdir(const char* path, int) { return _mkdir(path); }

inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }

// No superuser whose rights ignore a read-only file.
inline unsigned geteuid() { return 1; }
