// Shared by the extraction tests: a payload built in this process from a list of entries and
// run through the parent's entry loop with TargetDir pointing at a chosen folder.
#pragma once

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "base/run_state.h"
#include "base/wide.h"
#include "pack/payload/payload_writer.h"
#include "payload/extract.h"
#include "payload/stream.h"

struct Entry {
  std::u16string name;
  std::string content;
};

inline std::wstring as_wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Text with some redundancy, so that big entries compress and decode at a realistic pace.
inline std::string sample_bytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = (i % 64 < 48) ? "veldro onefile\n"[i % 15] : static_cast<char>(generator());
  }
  return bytes;
}

// Points TargetDir at target and runs the parent's entry loop over payload; returns the
// elapsed seconds of the loop.
inline double time_entry_loop(const std::wstring& target, const std::vector<uint8_t>& payload) {
  wide_copy(TargetDir, kPathUnits, target.c_str());
  FirstEntryPath[0] = L'\0';
  LARGE_INTEGER start, end, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  open_payload_stream_over(payload.data(), payload.size());
  extract_entries(false);
  close_payload_stream();
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
}

// Builds a payload of entries, points TargetDir at target and runs the parent's entry loop.
// Returns the elapsed seconds of the loop.
inline double extract_into(const std::wstring& target, const std::vector<Entry>& entries) {
  std::string stream;
  for (const Entry& e : entries) {
    veldro::append_entry_header(stream, e.name, e.content.size());
    stream += e.content;
  }
  veldro::append_end_marker(stream);
  veldro::FrameOptions options;
  options.level = 1;
  std::vector<uint8_t> payload = veldro::wrap_payload(veldro::compress_stream(stream, options));

  return time_entry_loop(target, payload);
}

