// Which DLL a main DLL that failed to load was missing: its import table read from the file,
// each imported name looked for where the child's load looks. Relies on kernel32 only.
#pragma once

// The first DLL that dll_path imports and that is neither a file in dll_path's folder nor one
// in TargetDir nor a DLL the system loads from System32; null when every import is found (a
// dependency further down is missing, or the file is no DLL) or the file cannot be read as an
// image. The name is ASCII as the import table holds it, in static storage.
const wchar_t* find_missing_import(const wchar_t* dll_path);
