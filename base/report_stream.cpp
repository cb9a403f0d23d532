// Failure line output (see report_stream.h).
#include "base/report_stream.h"

#include <windows.h>

#include <wchar.h>

#include "base/late_bound.h"
#include "base/run_state.h"

namespace {

// The line and its break, and the line as UTF-8 (at most three bytes a unit; a surrogate
// pair of two units gives four).
wchar_t Terminated[kReportLineUnits + 2];
char Utf8[3 * (kReportLineUnits + 2)];

// A handle a line can be written to. A process started without standard handles (from
// Explorer, or from cmd without redirection, for a windowed program) gets none at all.
bool is_usable(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  SetLastError(NO_ERROR);
  return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

void show_in_message_box(const wchar_t* line) {
  // The caption is the exe's file name: what the user started, whatever the product is.
  static wchar_t module[kPathUnits];
  DWORD length = GetModuleFileNameW(nullptr, module, kPathUnits);
  const wchar_t* caption = L"";
  if (length > 0 && length < kPathUnits) {
    const wchar_t* last_backslash = wcsrchr(module, L'\\');
    caption = last_backslash != nullptr ? last_backslash + 1 : module;
  }
  LATE_BOUND(L"user32.dll", MessageBoxW)(nullptr, line, caption,
                                         MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace

void write_report_line(ReportStream stream, const wchar_t* line) {
  HANDLE handle = GetStdHandle(stream == ReportStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (!is_usable(handle)) {
    show_in_message_box(line);
    return;
  }
  size_t length = wcsnlen(line, kReportLineUnits);
  wmemcpy(Terminated, line, length);
  Terminated[length++] = L'\r';
  Terminated[length++] = L'\n';

  DWORD written = 0;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, Terminated, static_cast<DWORD>(length), &written, nullptr);
    return;
  }
  // Unpaired surrogates become U+FFFD: the line is written whole in any case.
  int bytes = WideCharToMultiByte(CP_UTF8, 0, Terminated, static_cast<int>(length), Utf8,
                                  static_cast<int>(sizeof Utf8), nullptr, nullptr);
  if (bytes > 0) WriteFile(handle, Utf8, static_cast<DWORD>(bytes), &written, nullptr);
}
