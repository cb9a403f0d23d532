// base/report.h for the fuzz targets: the same entry points, ending in a longjmp back to the
// harness. Any failure without a harness to return to is a harness bug: abort loudly.
#include "base/report.h"

#include <stdio.h>
#include <stdlib.h>

#include "fuzz_report.h"

jmp_buf* FailureJump = nullptr;
const char* FailureText = nullptr;

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
void die_with_load_failure(long, const wchar_t*, const wchar_t*) { fail(Failure::kOsError); }
void die_with_spec_error(const wchar_t*) { fail(Failure::kSpecError); }
void die_with_open_failure(const wchar_t*) { fail(Failure::kOpen); }
void die_with_unsafe_name(const wchar_t*) { fail(Failure::kUnsafeName); }
void die_with_existing_target(const wchar_t*) { fail(Failure::kExistingTarget); }
void die_with_target_not_created(const wchar_t*, long) { fail(Failure::kOsError); }
void die_with_long_command_line(size_t, size_t) { fail(Failure::kMessage); }
void die_on_broken_invariant() { fail(Failure::kInvariant); }
