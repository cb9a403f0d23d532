// A private, fresh target directory: created with a DACL for the current user and SYSTEM
// only, and never taken over when something already stands at its name.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fs/private_dir.h"
#include "link_support.h"
#include "process_runner.h"

namespace {

std::wstring sid_text(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return L"?";
  std::wstring out = text;
  LocalFree(text);
  return out;
}

std::wstring current_user_sid() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  unsigned char buffer[256];
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  CloseHandle(token);
  return sid_text(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

struct AceView {
  std::wstring sid;
  BYTE flags;
  DWORD mask;
};

std::vector<AceView> aces_of(PACL dacl) {
  std::vector<AceView> aces;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    GetAce(dacl, i, reinterpret_cast<void**>(&ace));
    aces.push_back({sid_text(&ace->SidStart), ace->Header.AceFlags, ace->Mask});
  }
  return aces;
}

// The SIDs that path's DACL, read back from the file system, grants anything to.
std::vector<std::wstring> granted_sids(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<std::wstring> sids;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return sids;
  }
  for (const AceView& ace : aces_of(dacl)) sids.push_back(ace.sid);
  LocalFree(descriptor);
  std::sort(sids.begin(), sids.end());
  return sids;
}

TEST(PrivateTargetDirectory, TheDescriptorGrantsTheUserAndSystemOnlyProtectedAndInheritable) {
  auto* descriptor = static_cast<PSECURITY_DESCRIPTOR>(const_cast<void*>(private_directory_descriptor()));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = TRUE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_FALSE(defaulted);
  std::vector<AceView> aces = aces_of(dacl);
  ASSERT_EQ(aces.size(), 2u);
  EXPECT_EQ(aces[0].sid, current_user_sid());
  EXPECT_EQ(aces[1].sid, L"S-1-5-18");  // SYSTEM
  for (const AceView& ace : aces) {
    EXPECT_EQ(ace.mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(ace.flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  }
}

TEST(PrivateTargetDirectory, ReadBackGrantsNobodyButTheUserAndSystem) {
  // Wine 8 keeps no security descriptor of its own for a folder; it maps the DACL onto the
  // Unix mode and derives what it reports from that. What survives is who is granted access:
  // the user and SYSTEM, and not Everyone, which a folder made with default rights grants.
  std::wstring root = fresh_directory(L"dacl");
  std::wstring target = root + L"\\onefile_target", plain = root + L"\\plain";
  ASSERT_EQ(create_private_directory(target.c_str()), 0u);
  ASSERT_TRUE(CreateDirectoryW(plain.c_str(), nullptr));

  std::vector<std::wstring> expected = {current_user_sid(), L"S-1-5-18"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(granted_sids(target), expected);
  std::vector<std::wstring> plain_sids = granted_sids(plain);
  EXPECT_NE(std::find(plain_sids.begin(), plain_sids.end(), L"S-1-1-0"), plain_sids.end())
      << "a folder with default rights should grant Everyone, else this test shows nothing";
  remove_tree(root);
}

// A launcher with the fixed template {TEMP}\veldro_fixed_target, built below the packer's
// checks: whatever is planted at that name (a folder, a file, a link to a folder) is refused
// before anything is written.
TEST(PrivateTargetDirectory, ALauncherRefusesAPlantedTargetAndWritesNothingThrough) {
  std::wstring exe = test_bin_dir() + L"fixture_fixed_target.exe";
  std::wstring temp = fresh_directory(L"fixed");
  std::wstring target = temp + L"\\veldro_fixed_target";
  std::wstring outside = temp + L"\\outside";
  CreateDirectoryW(outside.c_str(), nullptr);
  write_file(outside + L"\\keep.txt", "keep");
  RunOptions options;
  options.set_env = {L"TMP=" + temp, L"TEMP=" + temp};
  auto expect_refused = [&](const char* planted) {
    RunResult r = run_program(exe, L"fixture_fixed_target.exe exit 5", options);
    EXPECT_EQ(r.exit_code, 2u) << planted;
    EXPECT_EQ(r.err, "Error, target directory already exists: '" + utf8(target) + "'.\r\n") << planted;
  };

  // Nothing planted: the run works and leaves nothing behind.
  RunResult clean = run_program(exe, L"fixture_fixed_target.exe exit 5", options);
  EXPECT_EQ(clean.exit_code, 5u) << clean.err;
  EXPECT_FALSE(path_exists(target));

  CreateDirectoryW(target.c_str(), nullptr);
  write_file(target + L"\\marker.txt", "mine");
  expect_refused("a folder");
  EXPECT_EQ(read_file(target + L"\\marker.txt"), "mine");
  EXPECT_FALSE(path_exists(target + L"\\app.dll"));
  remove_tree(target);

  write_file(target, "a file");
  expect_refused("a file");
  EXPECT_EQ(read_file(target), "a file");
  DeleteFileW(target.c_str());

  // A directory link: nothing lands in the folder it points to.
  ASSERT_TRUE(plant_unix_link(outside, target));
  expect_refused("a directory link");
  EXPECT_EQ(read_file(outside + L"\\keep.txt"), "keep");
  EXPECT_FALSE(path_exists(outside + L"\\app.dll"));
  remove_tree(temp);
}

}  // namespace
