// Which entry names may be written below the target directory. Portable; shared by the
// launcher (refuses at run time) and the packer (refuses at build time).
#pragma once

// True when name is a relative path that stays inside the folder it is joined to: no leading
// or doubled backslash, no drive or stream (':'), no '.' or '..' or other component ending in
// a dot or blank (Windows strips those), no reserved device name (CON, NUL, COM1, CONIN$, ...,
// also with an extension or blanks before it), and no character Windows forbids in file
// names (controls, < > : " / | ? *).
bool entry_name_is_safe(const wchar_t* name);
