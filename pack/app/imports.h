// The checks of an application's files before they are packed: the main DLL must be a 64-bit
// PE DLL exporting run_code; the DLLs that the packed DLLs import must be in the payload or on
// the target system, so that a run failing with "couldn't load" (error 126) shows up at pack
// time. Relies on image/pe_reader.h, payload/ and base/. Portable.
#pragma once

#include <string>
#include <vector>

#include "pack/payload/payload_writer.h"

namespace veldro {

// Throws PackError "main file '<path>' ..." when the file is not a 64-bit (x86-64) PE DLL or
// has no export named run_code.
void check_main_dll(const std::string& path);

struct MissingImport {
  std::u16string importer;  // the packed DLL's payload name
  std::string dll;          // as its import table spells it
};

// Reads the import table of every packed file that is a PE DLL and returns, in payload order,
// each imported DLL that no entry of the payload is named after (in any folder, case
// ignored), that is no system DLL and that is not listed in `also_present`.
std::vector<MissingImport> missing_imports(const std::vector<PackFile>& files,
                                           const std::vector<std::string>& also_present);

// True for the DLLs that 64-bit Windows 10 has in System32 (case ignored),
// including the API set names (api-ms-win-*, ext-ms-*). The C++ runtimes that installers
// bring along (msvcp140.dll, vcruntime140.dll, MinGW's libstdc++-6.dll) are not among them.
bool is_system_dll(const std::string& name);

}  // namespace veldro
