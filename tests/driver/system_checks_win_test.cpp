// The machine checks against the running system (Wine in the test runs).
#include <windows.h>

#include <gtest/gtest.h>

#include "base/string_utils.h"
#include "driver/directx_version.h"
#include "driver/system_checks.h"
#include "support/test_support.h"

namespace {

std::string SystemFolder() {
  char buffer[MAX_PATH + 1] = {};
  GetSystemDirectoryA(buffer, sizeof buffer);
  return buffer;
}

TEST(SystemChecks, AdministratorAnswerMatchesTheToken) {
  // Wine runs every process with an elevated token (and with write access to
  // HKLM\SOFTWARE on the older systems), so the answer is yes on both paths.
  EXPECT_TRUE(IsAdministrator());
}

TEST(SystemChecks, FreeSpaceOfTheSystemDrive) {
  EXPECT_GT(GetFreeDiskSpace("C:\\"), 0);
}

TEST(SystemChecks, FreeSpaceOfAMissingDriveIsMinusOne) {
  DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char c = 'Q'; c <= 'Y' && !letter; ++c)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  ASSERT_NE(letter, 0) << "every drive letter from Q to Y is in use";
  EXPECT_EQ(GetFreeDiskSpace(std::string(1, letter) + ":\\"), -1);
  EXPECT_EQ(GetFreeDiskSpace(""), GetFreeDiskSpace(""));  // the current drive: just must not crash
}

TEST(SystemChecks, DirectXFromTheDiagnosticsProvider) {
  DirectXVersion version;
  if (!DirectXFromDiagnostics(&version)) GTEST_SKIP() << "the diagnostics provider cannot be created here";
  EXPECT_GE(PackDirectXVersion(version), kMinimumDirectXVersion);
  EXPECT_EQ(GetDirectXVersion(), PackDirectXVersion(version));
}

TEST(SystemChecks, DirectXFromTheSystemLibraries) {
  // The system folder of any supported Windows holds ddraw.dll of a version
  // far above 4.4.0.68.
  EXPECT_GE(PackDirectXVersion(DirectXFromLibrariesIn(SystemFolder())), kMinimumDirectXVersion);
}

TEST(SystemChecks, DirectXOfAFolderWithoutLibrariesIsZero) {
  testsupport::ScratchDir dir;
  EXPECT_EQ(PackDirectXVersion(DirectXFromLibrariesIn(dir.path())), 0u);
  EXPECT_EQ(PackDirectXVersion(DirectXFromLibrariesIn("")), 0u);
  // A file of the table without version information matches no row.
  ASSERT_TRUE(testsupport::WriteWholeFile(dir.file("ddraw.dll"), "not a library"));
  EXPECT_EQ(PackDirectXVersion(DirectXFromLibrariesIn(dir.path())), 0u);
}

TEST(SystemChecks, DirectXOfACopiedLibraryFollowsItsVersion) {
  testsupport::ScratchDir dir;
  std::string source = SystemFolder() + "\\ddraw.dll";
  ASSERT_TRUE(CopyFileA(source.c_str(), dir.file("ddraw.dll").c_str(), FALSE));
  // Only ddraw.dll: the answer is one of its rows, never 8.1 or 9.0.
  uint32_t packed = PackDirectXVersion(DirectXFromLibrariesIn(dir.path()));
  EXPECT_GE(packed, kMinimumDirectXVersion);
  EXPECT_LE(packed, 0x80000u);
}

}  // namespace
