// What a build fixes for one launcher, its build inputs: the attached payload, the directory
// template and the product strings. A linked launcher gets them as symbols of the packer's
// object file; a launcher built from a prebuilt stub reads them from the last section of its
// own image, ".veldro", which `veldro-pack build` writes:
//
//   offset  bytes  field
//   0       8      magic "VELDROBI"
//   8       4      layout version, u32 LE (1)
//   12      4      number of fields, u32 LE (7)
//   16      7x16   fields, each { u64 LE offset from the section's start, u64 LE size }, in
//                  InputsField order
//   then           the payload (at a 16-byte boundary) and the strings (UTF-16LE, each with its
//                  terminator, at 2-byte boundaries)
// A field of size 0 is absent; the stub as linked carries the header with every field absent.
// Portable: the packer writes and checks the section with the same code the launcher reads it.
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
  kInputsVersion,  // the product version, '-', the file version
  kInputsFileVersion,
  kInputsProductVersion,
  kInputsFieldCount,
};

// The symbol of each field in the packer's object file (a linked launcher), and the symbol of
// the payload's size (u64), which only that route needs.
extern const char* const kInputsSymbols[kInputsFieldCount];
constexpr char kPayloadSizeSymbol[] = "veldro_payload_size";

constexpr size_t kInputsHeaderBytes = 16 + 16 * kInputsFieldCount;
constexpr size_t kInputsPayloadAlignment = 16;

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

// Lays out a section holding fields of the given sizes (strings with their terminators): the
// header, then each field in order at its boundary. Fills fields and returns the section's size.
uint64_t layout_inputs_section(const uint64_t sizes[kInputsFieldCount],
                               InputsSpan fields[kInputsFieldCount]);

// Writes the header for fields at header (kInputsHeaderBytes bytes).
void write_inputs_header(unsigned char* header, const InputsSpan fields[kInputsFieldCount]);
