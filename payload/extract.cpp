// Entry extraction (see extract.h).
#include "payload/extract.h"

#include <windows.h>

#include <stdint.h>
#include <wchar.h>

#include "base/report.h"
#include "base/run_state.h"
#include "base/wide.h"
#include "format/entry_stream.h"
#include "format/payload_layout.h"
#include "fs/directories.h"
#include "payload/stream.h"

namespace {

wchar_t EntryName[kEntryNameUnits];
wchar_t EntryPath[kPathUnits];
wchar_t EntryDirectory[kPathUnits];
unsigned char WriteBuffer[kChunkBytes];

void read_from_payload(void*, void* dst, size_t n) { payload_read(dst, n); }

const EntrySource kPayloadEntries = {read_from_payload, nullptr};

void ensure_containing_directory() {
  wide_copy(EntryDirectory, kPathUnits, EntryPath);
  wchar_t* last_backslash = wcsrchr(EntryDirectory, L'\\');
  if (last_backslash == nullptr) return;
  *last_backslash = L'\0';
  if (!ensure_directory(EntryDirectory)) {
    ensure_parent_directories(EntryDirectory);
    ensure_directory(EntryDirectory);  // a folder still missing shows up when the file opens
  }
}

// Writes one chunk whole. A successful WriteFile may store fewer bytes than asked (Wine does
// so when the disk fills up mid-chunk); the rest is written again, and that call reports the
// real failure, so that a short write never passes for a complete file.
void write_chunk(HANDLE file, const unsigned char* bytes, DWORD count) {
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(file, bytes, count, &written, nullptr)) {
      DWORD error = GetLastError();
      die_with_os_error("Error, couldn't unpack file to target path.", static_cast<long>(error));
    }
    if (written == 0 || written > count) {
      die_with_os_error("Error, couldn't unpack file to target path.", ERROR_WRITE_FAULT);
    }
    bytes += written;
    count -= written;
  }
}

void write_entry_content(uint64_t remaining) {
  HANDLE file = CreateFileW(EntryPath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) die_with_open_failure(EntryPath);
  while (remaining > 0) {
    DWORD chunk = remaining < kChunkBytes ? static_cast<DWORD>(remaining) : kChunkBytes;
    payload_read(WriteBuffer, chunk);
    write_chunk(file, WriteBuffer, chunk);
    remaining -= chunk;
  }
  CloseHandle(file);
}

}  // namespace

void extract_entries(bool child_role) {
  for (;;) {
    switch (read_entry_name(kPayloadEntries, EntryName)) {
      case EntryNameKind::kEntry:
        break;
      case EntryNameKind::kEndMarker:
        // A child has no library to enter: fail rather than go on to launch another copy.
        if (child_role) die_with_message("Error, attached data holds no entry.");
        return;
      case EntryNameKind::kTooLong:
        die_with_message("Error, couldn't decode attached data.");
      case EntryNameKind::kUnsafe:
        die_with_unsafe_name(EntryName);
    }

    wide_copy(EntryPath, kPathUnits, TargetDir);
    wide_append_char(EntryPath, kPathUnits, L'\\');
    wide_append(EntryPath, kPathUnits, EntryName);

    if (FirstEntryPath[0] == L'\0') {
      wide_copy(FirstEntryPath, kPathUnits, EntryPath);
      if (child_role) return;
    }

    uint64_t size = read_entry_size(kPayloadEntries);
    ensure_containing_directory();
    write_entry_content(size);
  }
}
