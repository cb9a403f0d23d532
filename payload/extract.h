// Entry extraction: walks the entry stream and writes every entry below TargetDir, creating
// folders through fs/directories.h. Relies on the open PayloadStream (payload/stream.h).
#pragma once

// Parent role: writes every entry and returns after the end marker. Child role: reads only the
// first entry's name, stores FirstEntryPath and returns. Either way FirstEntryPath is set from
// the first entry. Ends the process with exit code 2 on an unsafe or over-long name, a file
// that cannot be created or written, or (child role) a payload without any entry.
void extract_entries(bool child_role);
