// The OS-error failure line: the caller's text, the Windows error code and the system's
// English description of it.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "launcher/report.h"

void die_with_os_error(const char* text, long code) {
  char* description = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                    FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                nullptr, static_cast<DWORD>(code), 0x409,
                                reinterpret_cast<char*>(&description), 0, nullptr);
  if (length > 0 && description != nullptr) {
    trim_line_breaks(description, length);
  }
  // No text for this code (or only line breaks): say so rather than leave the field blank.
  const char* shown = (description != nullptr && description[0] != '\0') ? description
                                                                         : kNoSystemDescription;
  fprintf(stderr, "%s ([Error %ld] %s)\n", text, code, shown);
  exit(kFailureExitCode);
}
