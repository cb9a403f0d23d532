// Synthetic PE images for tests (see synthetic_pe.h).
#include "pack/image/synthetic_pe.h"

#include <string.h>

#include "format/build_inputs.h"
#include "format/byte_order.h"

namespace veldro {
namespace {

uint32_t align_up(uint32_t v, uint32_t alignment) { return (v + alignment - 1) / alignment * alignment; }

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  if (out.size() < at + 4) out.resize(at + 4);
  store_le(&out[at], v, 4);
}

void put_text(std::vector<uint8_t>& out, size_t at, const std::string& text) {
  if (out.size() < at + text.size() + 1) out.resize(at + text.size() + 1);
  memcpy(&out[at], text.c_str(), text.size() + 1);
}

// An export table at rva: the directory, the name pointers, the names.
std::vector<uint8_t> export_data(const std::vector<std::string>& names, uint32_t rva) {
  std::vector<uint8_t> out(sizeof(ExportDirectory), 0);
  ExportDirectory directory = {};
  directory.name_count = static_cast<uint32_t>(names.size());
  directory.names = rva + sizeof directory;
  store_record(out, 0, directory);
  size_t text_at = sizeof directory + 4 * names.size();
  for (size_t i = 0; i < names.size(); ++i) {
    put32(out, sizeof directory + 4 * i, rva + static_cast<uint32_t>(text_at));
    put_text(out, text_at, names[i]);
    text_at += names[i].size() + 1;
  }
  return out;
}

// An import table at rva: the descriptors, the all-zero one, the DLL names.
std::vector<uint8_t> import_data(const std::vector<std::string>& dlls, uint32_t rva) {
  std::vector<uint8_t> out(sizeof(ImportDescriptor) * (dlls.size() + 1), 0);
  size_t text_at = out.size();
  for (size_t i = 0; i < dlls.size(); ++i) {
    ImportDescriptor descriptor = {};
    descriptor.name = rva + static_cast<uint32_t>(text_at);
    descriptor.address_table = descriptor.name;  // any nonzero address
    store_record(out, sizeof descriptor * i, descriptor);
    put_text(out, text_at, dlls[i]);
    text_at += dlls[i].size() + 1;
  }
  return out;
}

}  // namespace

std::vector<uint8_t> synthetic_pe(const SyntheticPe& spec) {
  const size_t table_count = (spec.exports.empty() ? 0 : 1) + (spec.imports.empty() ? 0 : 1) +
                             spec.sections.size() + (spec.inputs_placeholder ? 1 : 0);
  const uint32_t pe_offset = sizeof(DosHeader);
  const uint32_t optional_size = static_cast<uint32_t>(
      (spec.pe32_plus ? sizeof(OptionalHeader64) : sizeof(OptionalHeader32)) +
      sizeof(DataDirectory) * kMaxDirectories);
  const uint32_t table_at = pe_offset + 4 + sizeof(FileHeader) + optional_size;
  const uint32_t headers_size =
      align_up(table_at + static_cast<uint32_t>(kSectionHeaderBytes * (table_count + 1)), spec.file_alignment);

  // Layout: each section's address and file offset, then its data (the tables need their own).
  std::vector<SectionHeader> headers;
  std::vector<std::vector<uint8_t>> contents;
  uint32_t rva = align_up(headers_size, spec.section_alignment), raw = headers_size;
  DataDirectory directories[kMaxDirectories] = {};
  auto add = [&](const char* name, std::vector<uint8_t> data) {
    SectionHeader s = {};
    strncpy(s.name, name, sizeof s.name);
    s.virtual_address = rva;
    s.virtual_size = static_cast<uint32_t>(data.size());
    s.raw_offset = raw;
    s.raw_size = align_up(static_cast<uint32_t>(data.size()), spec.file_alignment);
    s.characteristics = kSectionInitializedData | kSectionReadable;
    headers.push_back(s);
    contents.push_back(std::move(data));
    rva = align_up(rva + s.virtual_size + 1, spec.section_alignment);
    raw += s.raw_size;
  };
  if (!spec.exports.empty()) {
    directories[kExportDirectory] = {rva, 0};
    add(".edata", export_data(spec.exports, rva));
    directories[kExportDirectory].size = headers.back().virtual_size;
  }
  if (!spec.imports.empty()) {
    directories[kImportDirectory] = {rva, 0};
    add(".idata", import_data(spec.imports, rva));
    directories[kImportDirectory].size = headers.back().virtual_size;
  }
  for (const SyntheticSection& s : spec.sections) add(s.name.c_str(), s.data);
  if (spec.inputs_placeholder) {
    InputsSpan absent[kInputsFieldCount] = {};
    std::vector<uint8_t> header(kInputsHeaderBytes);
    write_inputs_header(header.data(), absent);
    add(kInputsSectionName, header);
  }

  DosHeader dos = {};
  dos.magic = kDosMagic;
  dos.pe_offset = pe_offset;
  FileHeader file = {};
  file.machine = spec.machine;
  file.section_count = static_cast<uint16_t>(headers.size());
  file.optional_header_size = static_cast<uint16_t>(optional_size);
  file.characteristics = spec.dll ? kFileDll : 0;
  OptionalHeaderStart start = {};
  start.magic = spec.pe32_plus ? kOptionalPe32Plus : kOptionalPe32;
  start.section_alignment = spec.section_alignment;
  start.file_alignment = spec.file_alignment;
  start.image_size = rva;
  start.headers_size = headers_size;
  start.subsystem = spec.subsystem;
  for (const SectionHeader& s : headers) start.initialized_data_size += s.raw_size;

  std::vector<uint8_t> out;
  append_record(out, dos);
  out.insert(out.end(), kPeSignature, kPeSignature + sizeof kPeSignature);
  append_record(out, file);
  if (spec.pe32_plus) {
    OptionalHeader64 optional = {};
    optional.start = start;
    optional.directory_count = kMaxDirectories;
    append_record(out, optional);
  } else {
    OptionalHeader32 optional = {};
    optional.start = start;
    optional.directory_count = kMaxDirectories;
    append_record(out, optional);
  }
  for (const DataDirectory& d : directories) append_record(out, d);
  for (const SectionHeader& s : headers) append_record(out, s);
  for (size_t i = 0; i < headers.size(); ++i) {
    out.resize(headers[i].raw_offset, 0);
    out.insert(out.end(), contents[i].begin(), contents[i].end());
  }
  out.resize(raw, 0);
  return out;
}

}  // namespace veldro
