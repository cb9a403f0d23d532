// The entry-stream parser (see entry_stream.h).
#include "format/entry_stream.h"

#include "format/byte_order.h"
#include "format/entry_name.h"

EntryNameKind read_entry_name(EntrySource source, wchar_t name[kEntryNameUnits]) {
  for (size_t i = 0; i < kEntryNameUnits; ++i) {
    unsigned char unit[2];
    source.read(source.context, unit, 2);
    name[i] = static_cast<wchar_t>(load_le(unit, 2));
    if (name[i] != L'\0') continue;
    if (i == 0) return EntryNameKind::kEndMarker;
    return entry_name_is_safe(name) ? EntryNameKind::kEntry : EntryNameKind::kUnsafe;
  }
  return EntryNameKind::kTooLong;
}

uint64_t read_entry_size(EntrySource source) {
  unsigned char bytes[8];
  source.read(source.context, bytes, 8);
  return load_le(bytes, 8);
}

void write_entry_header(unsigned char* out, const char16_t* name, size_t name_units,
                        uint64_t size) {
  for (size_t i = 0; i < name_units; ++i) store_le(out + 2 * i, name[i], 2);
  store_le(out + 2 * name_units, 0, 2);
  store_le(out + 2 * (name_units + 1), size, 8);
}
