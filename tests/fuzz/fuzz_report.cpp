// launcher/report.h for the fuzz targets: the same entry points, ending in a longjmp back to
// the harness. Any failure without a harness to return to is a harness bug: abort loudly.
#include "launcher/report.h"

#include <stdio.h>
#include <stdlib.h>

#include "fuzz_report.h"

jmp_buf* FailureJump = nullptr;
const char* FailureText = nullptr;

const char kNoSystemDescription[] = "no description available";

namespace {

[[noreturn]] void fail(Failure kind) {
  if (FailureJump == nullptr) {
    fprintf(stderr, "launcher failure %d outside a guarded call\n", static_cast<int>(kind));
    abort();
  }
  longjmp(*FailureJump, static_cast<int>(kind));
}

}  // namespace

void die_with_message(const char* text) {
  FailureText = text;
  fail(Failure::kMessage);
}
void die_with_os_error(const char* text, long) {
  FailureText = text;
  fail(Failure::kOsError);
}
void die_with_spec_error(const wchar_t*) { fail(Failure::kSpecError); }
void die_with_open_failure(const wchar_t*) { fail(Failure::kOpen); }
void die_with_unsafe_name(const wchar_t*) { fail(Failure::kUnsafeName); }
void die_with_existing_target(const wchar_t*) { fail(Failure::kExistingTarget); }
void die_on_broken_invariant() { fail(Failure::kInvariant); }

void trim_line_breaks(char* text, uint32_t n) {
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n')) text[--n] = '\0';
}
