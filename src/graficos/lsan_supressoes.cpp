// Sanitizer builds only: cairo 1.16 leaves fontconfig patterns unreachable at exit,
// inside the library whatever the caller releases. Leak reports are for our code,
// and the program's standard error stays as it is in a normal build.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
