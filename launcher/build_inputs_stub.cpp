// The build inputs of a launcher built from a prebuilt stub: the ".veldro" section of its own
// mapped image, which `veldro-pack build` writes (layout in format/build_inputs.h). The stub as
// linked carries the section's header with every field absent, placed last in the image by
// cmake/stub_section.ld, so that the packer can replace it.
#include <windows.h>

#include <string.h>

#include "base/build_inputs.h"

namespace {

// The placeholder: magic, layout version 1, seven fields, all absent. Never read through this
// symbol: the packer moves the section, so it is found by name in the section table.
__attribute__((section(".veldro"), used))
const unsigned char kPlaceholder[kInputsHeaderBytes] = {'V', 'E', 'L', 'D', 'R', 'O', 'B', 'I',
                                                        1,   0,   0,   0,   7,   0,   0,   0};

const unsigned char* Section;
InputsSpan Fields[kInputsFieldCount];

// Finds and reads the section once (main thread only). A stub run as it was linked, or an
// image whose section is damaged, keeps every field absent.
void read_own_section() {
  static bool done;
  if (done) return;
  done = true;
  // The loader has checked the headers of the running image; only the section's content,
  // written by a tool, needs checking.
  const unsigned char* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* header = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++header) {
    if (memcmp(header->Name, kInputsSectionName, sizeof kInputsSectionName) != 0) continue;
    const unsigned char* bytes = base + header->VirtualAddress;
    DWORD size = header->Misc.VirtualSize ? header->Misc.VirtualSize : header->SizeOfRawData;
    InputsSpan fields[kInputsFieldCount];
    if (read_inputs_section(bytes, size, fields)) {
      Section = bytes;
      memcpy(Fields, fields, sizeof Fields);
    }
    return;
  }
}

}  // namespace

ByteRange attached_payload() {
  read_own_section();
  if (Fields[kInputsPayload].size == 0) return {nullptr, 0};
  return {Section + Fields[kInputsPayload].offset, Fields[kInputsPayload].size};
}

const wchar_t* build_input_string(InputsField field) {
  read_own_section();
  if (Fields[field].size == 0) return field == kInputsDirSpec ? L"{TEMP}" : L"";
  return reinterpret_cast<const wchar_t*>(Section + Fields[field].offset);
}
