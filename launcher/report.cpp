// Failure lines that need no operating system: all but the OS-error line (report_os_error.cpp).
#include "launcher/report.h"

#include <stdio.h>
#include <stdlib.h>

const char kNoSystemDescription[] = "no description available";

void die_with_message(const char* text) {
  printf("%s\n", text);
  exit(kFailureExitCode);
}

void die_with_spec_error(const wchar_t* spec) {
  fprintf(stderr, "Error, couldn't runtime expand spec '%ls'.\n", spec);
  fflush(stderr);
  abort();
}

void die_with_open_failure(const wchar_t* path) {
  fprintf(stderr, "Error, failed to open '%ls' for writing.\n", path);
  exit(kFailureExitCode);
}

void die_with_unsafe_name(const wchar_t* name) {
  fprintf(stderr, "Error, unsafe entry name '%ls' in attached data.\n", name);
  exit(kFailureExitCode);
}

void die_with_existing_target(const wchar_t* path) {
  fprintf(stderr, "Error, target directory already exists: '%ls'.\n", path);
  exit(kFailureExitCode);
}

void die_on_broken_invariant() {
  fflush(stdout);
  abort();
}

void trim_line_breaks(char* text, uint32_t n) {
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n')) {
    text[--n] = '\0';
  }
}
