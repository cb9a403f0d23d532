// Directory tree removal through verified handles (see tree_removal.h).
//
// Why handles and a name check: a path names whatever stands there when it is opened, and a
// link met on the way is followed. Windows does not follow a final link opened with
// FILE_FLAG_OPEN_REPARSE_POINT, but Wine does (it opens the Unix symlink's target, and reports
// a link to a file as a plain file), and deleting through such a handle deletes the target.
// The system's resolved name of the handle tells the two apart: for the entry itself it is the
// folder's resolved name and the entry's name. That name is the handle's object name, asked
// for with a buffer of our own: GetFinalPathNameByHandleW, which Wine builds on the same
// query, fails there past MAX_PATH.
#include "supervise/tree_removal.h"

#include <windows.h>
#include <winternl.h>

#include <wchar.h>

#include "base/late_bound.h"
#include "base/wide.h"
#include "fs/self_path.h"

namespace {

// Room for the longest nameable path plus one listed name, so that appending a name from a
// listing never overflows; entries whose path reaches kLongPathUnits are left alone.
constexpr size_t kWalkPathUnits = kLongPathUnits + MAX_PATH;

// FileDispositionInfoEx, which the headers declare only for newer targets.
const FILE_INFO_BY_HANDLE_CLASS kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Set once the system has refused a POSIX-semantics delete (before Windows 10 1709, some file
// systems, Wine 8); later deletes go straight to the classic disposition. A benign race: both
// threads that may remove at once would set it alike.
volatile bool PosixDeleteUnavailable;

struct NameInfo {
  OBJECT_NAME_INFORMATION info;
  wchar_t room[kLongPathUnits];
};

// One attempt's state, on the caller's stack: the console handler and the main thread may be
// removing at the same time.
struct Walk {
  wchar_t path_storage[kWalkPathUnits];
  WideBuffer path;                    // the entry at hand, in extended-length form ("\\?\C:\...")
  size_t root_length;                 // units of path that name the root
  wchar_t root_name[kWalkPathUnits];  // the root's resolved name, without trailing backslash
  size_t root_name_length;
  NameInfo name;                          // scratch for resolved_name
  decltype(&NtQueryObject) query_object;  // from ntdll, which every process has loaded
  WIN32_FIND_DATAW found;                 // scratch for the listings
  bool retry_may_help;
};

void cut(WideBuffer* buffer, size_t length) {
  buffer->length = length;
  buffer->text[length] = L'\0';
}

bool is_dot_entry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The handle's object name as the system resolved it ("\Device\HarddiskVolume2\Users\...",
// "\??\C:\users\..." under Wine), terminated, with no trailing backslash. Null when it cannot
// be had.
const wchar_t* resolved_name(Walk* walk, HANDLE handle, size_t* length) {
  ULONG returned = 0;
  if (!NT_SUCCESS(walk->query_object(handle, ObjectNameInformation, &walk->name, sizeof walk->name,
                                     &returned))) {
    return nullptr;
  }
  wchar_t* text = walk->name.info.Name.Buffer;
  size_t units = walk->name.info.Name.Length / sizeof(wchar_t);
  if (text == nullptr || units >= kLongPathUnits) return nullptr;
  while (units > 0 && text[units - 1] == L'\\') --units;
  text[units] = L'\0';
  *length = units;
  return text;
}

bool same_name(const wchar_t* a, const wchar_t* b, size_t length) {
  return length == 0 || CompareStringOrdinal(a, static_cast<int>(length), b,
                                             static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// True when the handle's resolved name is the root's followed by the path below the root.
bool is_entry_itself(Walk* walk, HANDLE handle) {
  size_t length = 0;
  const wchar_t* name = resolved_name(walk, handle, &length);
  if (name == nullptr) return false;
  const wchar_t* below = walk->path.text + walk->root_length;
  size_t below_length = walk->path.length - walk->root_length;
  return length == walk->root_name_length + below_length &&
         same_name(name, walk->root_name, walk->root_name_length) &&
         same_name(name + walk->root_name_length, below, below_length);
}

bool handle_attributes(HANDLE handle, DWORD* attributes) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
  *attributes = tag.FileAttributes;
  return true;
}

// Marks the handle's entry for deletion: POSIX semantics where offered (the name goes at once,
// even while another process holds the file with FILE_SHARE_DELETE), else the classic
// disposition, after clearing a read-only attribute that refuses it.
bool delete_through(HANDLE handle, DWORD attributes) {
  if (!PosixDeleteUnavailable) {
    FILE_DISPOSITION_INFO_EX posix = {FILE_DISPOSITION_FLAG_DELETE |
                                      FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                                      FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE};
    if (SetFileInformationByHandle(handle, kDispositionInfoEx, &posix, sizeof posix)) return true;
    DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
        error != ERROR_INVALID_FUNCTION) {
      return false;
    }
    PosixDeleteUnavailable = true;
  }
  FILE_DISPOSITION_INFO classic = {TRUE};
  if (SetFileInformationByHandle(handle, FileDispositionInfo, &classic, sizeof classic))
    return true;
  if (GetLastError() != ERROR_ACCESS_DENIED || !(attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  FILE_BASIC_INFO basic = {};  // zero times: left as they are
  basic.FileAttributes =
      attributes & kKeptAttributes ? attributes & kKeptAttributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) &&
         SetFileInformationByHandle(handle, FileDispositionInfo, &classic, sizeof classic);
}

bool remove_entry(Walk* walk, DWORD listed_attributes);

// Removes what the folder at walk->path holds. Returns true when something below stays for good.
bool remove_children(Walk* walk) {
  size_t length = walk->path.length;
  buffer_append(&walk->path, L"\\*");
  HANDLE search = FindFirstFileExW(walk->path.text, FindExInfoBasic, &walk->found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  cut(&walk->path, length);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) walk->retry_may_help = true;
    return false;
  }
  bool stays = false;
  do {
    if (is_dot_entry(walk->found.cFileName)) continue;
    // What the recursion needs of the listing is copied out before it reuses walk->found.
    DWORD listed_attributes = walk->found.dwFileAttributes;
    buffer_append_char(&walk->path, L'\\');
    buffer_append(&walk->path, walk->found.cFileName);
    if (remove_entry(walk, listed_attributes)) stays = true;
    cut(&walk->path, length);
  } while (FindNextFileW(search, &walk->found));
  FindClose(search);
  return stays;
}

// Opens the entry at walk->path for deletion and returns the handle when it is the entry
// itself, else INVALID_HANDLE_VALUE (with *stays set when the entry is there but is not
// itself: it must be left for good). A link listed as one must be a link on the handle too;
// anything else must bear its own resolved name.
HANDLE open_itself(Walk* walk, DWORD listed_attributes, bool* stays) {
  HANDLE handle = CreateFileW(walk->path.text,
                              DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                              kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    // Held open without FILE_SHARE_DELETE, or busy: a later attempt may get it.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) walk->retry_may_help = true;
    return INVALID_HANDLE_VALUE;
  }
  DWORD attributes = 0;
  bool itself =
      (listed_attributes & FILE_ATTRIBUTE_REPARSE_POINT)
          ? handle_attributes(handle, &attributes) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
          : is_entry_itself(walk, handle);
  if (itself) return handle;
  CloseHandle(handle);
  *stays = true;
  return INVALID_HANDLE_VALUE;
}

// Removes the entry at walk->path, which its folder's listing showed with listed_attributes.
// Returns true when it (or something below it) stays for good: it failed the check, or its
// path is too long to name.
bool remove_entry(Walk* walk, DWORD listed_attributes) {
  if (walk->path.length >= kLongPathUnits) return true;
  bool stays = false;
  // A folder is emptied before it is opened: the listing cannot share the folder with a
  // handle that may delete it. Entering it on the listing's word is safe, since every entry
  // below passes its own check, and nothing listed as a link is ever entered.
  if ((listed_attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(listed_attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    stays = remove_children(walk);
  }
  if (stays) return true;  // a folder that keeps something cannot go
  HANDLE handle = open_itself(walk, listed_attributes, &stays);
  if (handle == INVALID_HANDLE_VALUE) return stays;
  if (!delete_through(handle, listed_attributes)) walk->retry_may_help = true;
  CloseHandle(handle);  // the entry goes with the last handle on it
  return false;
}

// Writes the extended-length form of path into walk->path, without trailing backslashes.
void start_path(Walk* walk, const wchar_t* path) {
  walk->path = wide_buffer(walk->path_storage, kWalkPathUnits);
  append_extended_length_form(&walk->path, path);
  size_t length = walk->path.length;
  while (length > 4 && walk->path.text[length - 1] == L'\\') --length;
  cut(&walk->path, length);
  walk->root_length = length;
}

// The root's expected resolved name: its parent folder's resolved name, a backslash and the
// root's name as its parent lists it (the long form, whatever form the path gave). False when
// the parent cannot be opened.
bool learn_root_name(Walk* walk, const wchar_t* listed_name) {
  wchar_t* last_backslash = wcsrchr(walk->path.text, L'\\');
  if (last_backslash == nullptr || last_backslash < walk->path.text + 4) return false;
  // The parent keeps its trailing backslash: "\\?\C:" alone would name the volume, not its root.
  wchar_t kept = last_backslash[1];
  last_backslash[1] = L'\0';
  HANDLE parent = CreateFileW(walk->path.text, FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  last_backslash[1] = kept;
  if (parent == INVALID_HANDLE_VALUE) return false;
  size_t length = 0;
  const wchar_t* name = resolved_name(walk, parent, &length);
  CloseHandle(parent);
  if (name == nullptr) return false;
  WideBuffer root = wide_buffer(walk->root_name, kWalkPathUnits);
  buffer_append(&root, name);
  buffer_append_char(&root, L'\\');
  buffer_append(&root, listed_name);
  walk->root_name_length = root.length;
  return true;
}

}  // namespace

bool remove_tree(const wchar_t* path) {
  Walk walk;
  walk.retry_may_help = false;
  walk.query_object = LATE_BOUND(L"ntdll.dll", NtQueryObject);
  start_path(&walk, path);
  // The root's entry in its parent's listing, as every other entry is met.
  HANDLE search = FindFirstFileExW(walk.path.text, FindExInfoBasic, &walk.found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
  }
  FindClose(search);
  if (!learn_root_name(&walk, walk.found.cFileName)) return true;
  remove_entry(&walk, walk.found.dwFileAttributes);
  return walk.retry_may_help;
}
