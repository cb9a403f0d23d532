// The fuzz build's seam for base/report.h: the failure functions jump back into the harness
// instead of ending the process (libFuzzer counts an exit as a crash).
#pragma once

#include <setjmp.h>

enum class Failure { kNone, kMessage, kOsError, kSpecError, kOpen, kUnsafeName, kExistingTarget, kInvariant };

// The harness sets this with setjmp before calling launcher code; every die_* longjmps to it
// with the Failure as value.
extern jmp_buf* FailureJump;
// The text handed to die_with_message (static storage), for the harness's checks.
extern const char* FailureText;

// Runs body; returns kNone when it returned, otherwise what it died with.
#define FUZZ_GUARDED(body)                                   \
  ([&]() -> Failure {                                        \
    jmp_buf here;                                            \
    jmp_buf* outer = FailureJump;                            \
    FailureJump = &here;                                     \
    int code = setjmp(here);                                 \
    if (code == 0) {                                         \
      body;                                                  \
    }                                                        \
    FailureJump = outer;                                     \
    return static_cast<Failure>(code);                       \
  }())
