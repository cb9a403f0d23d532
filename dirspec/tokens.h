// Run-unique tokens for the target-directory template: {PID}, {TIME}, {TIME_US}, {RANDOM}.
// Each is fixed once per run in the parent and reaches the child through the handoff
// environment (base/env.h); the encodings are format/run_tokens.h.
#pragma once

// The placeholder values, as wide strings valid until the process ends. Each of TIME,
// TIME_US and RANDOM is computed the first time and stored in its variable, then read back.
// get_run_pid aborts when VELDRO_ONEFILE_PARENT holds anything but decimal digits.
const wchar_t* get_run_pid();
const wchar_t* get_run_time();
const wchar_t* get_run_time_us();
const wchar_t* get_run_random();

// This process's id as "%ld" gives it (what the parent publishes in VELDRO_ONEFILE_PARENT).
const wchar_t* own_process_id();
