// Removal of a directory tree through handles that are checked to be the entries themselves,
// so that no link planted in the tree (or put in place of it) leads the removal outside.
// Relies on kernel32 and ntdll (bound at first use); reports nothing.
#pragma once

// Capacity of the removal's path buffers: the longest path Windows can name, in UTF-16
// units, terminator included.
constexpr unsigned kLongPathUnits = 32768;

// Deletes the directory at path (absolute, in any form; long paths work) and everything
// below it, deepest first. Each entry is opened without following a final link and deleted
// through that handle only when the handle is the entry itself: a link as the listing showed
// it, or an entry whose resolved name is its folder's resolved name plus its own name. An
// entry that fails the check is left in place and never entered; a link is removed as a link
// where the system allows it. Returns true when another attempt could remove more (an entry
// that could not be opened or deleted, such as a file held open by another process), false
// when nothing is left or only what no attempt can remove safely (links that cannot be taken
// by themselves, paths too long to name).
bool remove_tree(const wchar_t* path);
