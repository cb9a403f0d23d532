// Private target directory creation (see private_dir.h).
#include "fs/private_dir.h"

#include <windows.h>

#include "base/late_bound.h"
#include "base/report.h"

// The security functions come from advapi32, which only the parent loads.
#define ADVAPI32(function) LATE_BOUND(L"advapi32.dll", function)

namespace {

union TokenUserBuffer {
  TOKEN_USER user;
  unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

TokenUserBuffer User;
unsigned char SystemSid[SECURITY_MAX_SID_SIZE];
alignas(8) unsigned char AclBytes[sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
SECURITY_DESCRIPTOR Descriptor;
bool DescriptorBuilt;

bool read_token_user() {
  HANDLE token = nullptr;
  if (!ADVAPI32(OpenProcessToken)(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  BOOL ok = ADVAPI32(GetTokenInformation)(token, TokenUser, &User, sizeof User, &size);
  CloseHandle(token);
  return ok != FALSE;
}

}  // namespace

const void* private_directory_descriptor() {
  if (DescriptorBuilt) return &Descriptor;
  ACL* acl = reinterpret_cast<ACL*>(AclBytes);
  DWORD system_size = sizeof SystemSid;
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  // Without these there is no private DACL to give: a broken invariant, never a reason to fall
  // back to the parent folder's (possibly shared) rights.
  if (!read_token_user() ||
      !ADVAPI32(CreateWellKnownSid)(WinLocalSystemSid, nullptr, SystemSid, &system_size) ||
      !ADVAPI32(InitializeAcl)(acl, sizeof AclBytes, ACL_REVISION) ||
      !ADVAPI32(AddAccessAllowedAceEx)(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS,
                                       User.user.User.Sid) ||
      !ADVAPI32(AddAccessAllowedAceEx)(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, SystemSid) ||
      !ADVAPI32(InitializeSecurityDescriptor)(&Descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !ADVAPI32(SetSecurityDescriptorDacl)(&Descriptor, TRUE, acl, FALSE) ||
      !ADVAPI32(SetSecurityDescriptorControl)(&Descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    die_on_broken_invariant();
  }
  DescriptorBuilt = true;
  return &Descriptor;
}

unsigned long create_private_directory(const wchar_t* path) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes,
                                    const_cast<void*>(private_directory_descriptor()), FALSE};
  if (CreateDirectoryW(path, &attributes)) return 0;
  return GetLastError();
}
