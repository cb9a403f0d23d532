// The records of the PE, COFF, resource and .ico formats that the packer reads and writes, as
// plain structs laid out as in the file (packed, little-endian, sizes checked at compile time),
// and the one place that copies them from and to bytes: load_record, record_at and
// append_record. Relies on base/byte_source.h. Portable on little-endian hosts.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "pack/base/byte_source.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the records are copied as they lie in memory, which needs a little-endian host"
#endif

namespace veldro {

#pragma pack(push, 1)
struct DosHeader {  // IMAGE_DOS_HEADER: only its magic and the PE header's offset matter here
  uint16_t magic;
  uint8_t unused[58];
  uint32_t pe_offset;
};
struct FileHeader {  // IMAGE_FILE_HEADER, after the "PE\0\0" signature; a COFF object's header
  uint16_t machine, section_count;
  uint32_t time_stamp, symbol_table_offset, symbol_count;
  uint16_t optional_header_size, characteristics;
};
// The start of both optional headers, up to the DLL characteristics; the layouts part at
// image_base (PE32 keeps base_of_data and a 32-bit base there) and after these fields.
struct OptionalHeaderStart {
  uint16_t magic;
  uint8_t major_linker, minor_linker;
  uint32_t code_size, initialized_data_size, uninitialized_data_size, entry_point, base_of_code;
  uint64_t image_base;
  uint32_t section_alignment, file_alignment;
  uint16_t major_os, minor_os, major_image, minor_image, major_subsystem, minor_subsystem;
  uint32_t win32_version, image_size, headers_size, checksum;
  uint16_t subsystem, dll_characteristics;
};
struct OptionalHeader64 {  // IMAGE_OPTIONAL_HEADER64 without its data directories
  OptionalHeaderStart start;
  uint64_t stack_reserve, stack_commit, heap_reserve, heap_commit;
  uint32_t loader_flags, directory_count;
};
struct OptionalHeader32 {  // IMAGE_OPTIONAL_HEADER32 without its data directories
  OptionalHeaderStart start;
  uint32_t stack_reserve, stack_commit, heap_reserve, heap_commit;
  uint32_t loader_flags, directory_count;
};
struct DataDirectory {
  uint32_t rva, size;
};
struct SectionHeader {
  char name[8];  // NUL-padded, not terminated when 8 long
  uint32_t virtual_size, virtual_address, raw_size, raw_offset;
  uint32_t relocations_offset, line_numbers_offset;
  uint16_t relocation_count, line_number_count;
  uint32_t characteristics;
};
struct SymbolRecord {  // a COFF symbol; a longer name is 4 zero bytes and a string table offset
  uint8_t name[8];
  uint32_t value;
  uint16_t section, type;
  uint8_t storage_class, aux_count;
};
struct ImportDescriptor {
  uint32_t lookup_table, time_stamp, forwarder_chain, name, address_table;
};
struct ExportDirectory {
  uint32_t characteristics, time_stamp;
  uint16_t major_version, minor_version;
  uint32_t name, ordinal_base, function_count, name_count, functions, names, ordinals;
};
struct ResourceDirectory {
  uint32_t characteristics, time_stamp;
  uint16_t major_version, minor_version, named_entries, id_entries;
};
struct ResourceDirectoryEntry {
  uint32_t id, offset;  // offset: kResourceSubdirectory set for a directory, else a data entry
};
struct ResourceDataEntry {
  uint32_t rva, size, code_page, reserved;
};
struct VersionBlockHeader {  // each block of a version resource: lengths in bytes, type 1: text
  uint16_t length, value_length, type;
};
struct FixedFileInfo {  // VS_FIXEDFILEINFO
  uint32_t signature, struct_version, file_version_ms, file_version_ls, product_version_ms,
      product_version_ls, flags_mask, flags, os, type, subtype, date_ms, date_ls;
};
struct IconDir {  // the header of an .ico file and of an icon group resource
  uint16_t reserved, type, count;
};
struct IconDirEntry {  // an .ico file's directory entry: where one image lies in the file
  uint8_t width, height, colors, reserved;
  uint16_t planes, bit_count;
  uint32_t bytes, offset;
};
struct GroupIconEntry {  // the same in an icon group resource, with the image's resource id
  uint8_t width, height, colors, reserved;
  uint16_t planes, bit_count;
  uint32_t bytes;
  uint16_t id;
};
#pragma pack(pop)

static_assert(sizeof(DosHeader) == 64 && sizeof(FileHeader) == 20, "PE header layout");
static_assert(sizeof(OptionalHeader64) == 112 && sizeof(OptionalHeader32) == 96, "optional header");
static_assert(sizeof(DataDirectory) == 8 && sizeof(SectionHeader) == 40, "PE table layout");
static_assert(sizeof(SymbolRecord) == 18, "COFF symbol layout");
static_assert(sizeof(ImportDescriptor) == 20 && sizeof(ExportDirectory) == 40, "PE directories");
static_assert(sizeof(ResourceDirectory) == 16 && sizeof(ResourceDirectoryEntry) == 8 &&
                  sizeof(ResourceDataEntry) == 16, "resource tree layout");
static_assert(sizeof(VersionBlockHeader) == 6 && sizeof(FixedFileInfo) == 52, "version layout");
static_assert(sizeof(IconDir) == 6 && sizeof(IconDirEntry) == 16 && sizeof(GroupIconEntry) == 14,
              "icon layout");

constexpr size_t kSectionHeaderBytes = sizeof(SectionHeader);

constexpr uint16_t kDosMagic = 0x5A4D;                       // "MZ"
constexpr uint8_t kPeSignature[4] = {'P', 'E', 0, 0};
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kFileDll = 0x2000;                         // FileHeader::characteristics
constexpr uint16_t kOptionalPe32 = 0x10B;
constexpr uint16_t kOptionalPe32Plus = 0x20B;
constexpr uint16_t kSubsystemGui = 2;
constexpr uint16_t kSubsystemConsole = 3;
constexpr size_t kMaxDirectories = 16;
constexpr size_t kExportDirectory = 0;
constexpr size_t kImportDirectory = 1;
constexpr size_t kResourceDirectory = 2;
constexpr size_t kCertificateDirectory = 4;  // a file offset, not an address
constexpr uint32_t kSectionInitializedData = 0x00000040;
constexpr uint32_t kSectionAlign16 = 0x00500000;  // in objects only
constexpr uint32_t kSectionReadable = 0x40000000;
constexpr uint8_t kStorageExternal = 2;
constexpr uint32_t kResourceSubdirectory = 0x80000000;

// Copies the sizeof(T) bytes at offset into *record; false when any lies past the end.
template <class T>
bool load_record(const ByteSource& source, uint64_t offset, T* record) {
  return source.read(offset, record, sizeof *record);
}

// The record whose bytes start at p.
template <class T>
T record_at(const uint8_t* p) {
  T record;
  memcpy(&record, p, sizeof record);
  return record;
}

// Appends the record's bytes.
template <class T>
void append_record(std::vector<uint8_t>& out, const T& record) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&record);
  out.insert(out.end(), p, p + sizeof record);
}

// Overwrites the record's bytes at offset (which lie inside out).
template <class T>
void store_record(std::vector<uint8_t>& out, size_t offset, const T& record) {
  memcpy(&out[offset], &record, sizeof record);
}

}  // namespace veldro
