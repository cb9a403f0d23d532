// reliability_argv_probe.exe: prints the argument vector the runtime's start-up built from its
// command line, one element a line, each as hexadecimal UTF-16 units (so that any character
// survives the trip). Wildcard expansion is off: '*' and '?' stay as typed.
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

int _dowildcard = 0;

int wmain(int argc, wchar_t** argv) {
  for (int i = 0; i < argc; ++i) {
    for (const wchar_t* c = argv[i]; *c; ++c) printf("%04x", static_cast<unsigned>(*c));
    printf("\n");
  }
  return 0;
}
