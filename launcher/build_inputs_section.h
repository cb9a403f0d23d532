// The build-inputs section of a launcher built from a prebuilt stub: the last section of the
// image, named ".veldro", holding the attached payload and the configuration strings. The
// packer writes it (`veldro-pack build`); the stub's launcher reads it from its own mapped image
// (build_inputs_stub.cpp). Portable, so that the packer and the host tests share it.
//
//   offset  bytes  field
//   0       8      magic "VELDROBI"
//   8       4      layout version, u32 LE (1)
//   12      4      number of fields, u32 LE (7)
//   16      7x16   fields, each { u64 LE offset from the section's start, u64 LE size }:
//                  payload, directory template, company, product, version, file version,
//                  product version
//   then           the payload and the strings (UTF-16LE, each with its terminator)
// A field of size 0 is absent; the stub as linked carries the header with every field absent.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr char kInputsSectionName[8] = {'.', 'v', 'e', 'l', 'd', 'r', 'o', '\0'};
constexpr unsigned char kInputsMagic[8] = {'V', 'E', 'L', 'D', 'R', 'O', 'B', 'I'};
constexpr uint32_t kInputsLayoutVersion = 1;

enum InputsField : unsigned {
  kInputsPayload,
  kInputsDirSpec,
  kInputsCompany,
  kInputsProduct,
  kInputsVersion,
  kInputsFileVersion,
  kInputsProductVersion,
  kInputsFieldCount,
};

constexpr size_t kInputsHeaderBytes = 16 + 16 * kInputsFieldCount;

// Where a field's bytes lie, counted from the section's start.
struct InputsSpan {
  uint64_t offset;
  uint64_t size;
};

// Reads the header (the first kInputsHeaderBytes bytes) of a section of section_size bytes into
// fields. True when it starts with the magic, this layout version and field count, and every
// field lies inside the section. The caller has checked that the section holds the header.
bool read_inputs_header(const unsigned char* header, uint64_t section_size,
                        InputsSpan fields[kInputsFieldCount]);

// True when a string field is absent, or sits at an even offset, holds an even number of bytes
// and ends in a 0x0000 unit: last_unit points at its final two bytes (read only when the span
// is present, even and at least two bytes long).
bool inputs_string_is_valid(InputsSpan span, const unsigned char* last_unit);

// Both checks over a whole section in memory; false: the bytes are no build inputs of this
// layout.
bool read_inputs_section(const unsigned char* section, uint64_t size,
                         InputsSpan fields[kInputsFieldCount]);
