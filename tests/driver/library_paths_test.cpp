// Which names count as full paths, and where a configuration's library is
// loaded from: a full path as it is, any other name inside the folder the
// installer extracted it to, never along the search path.
#include <gtest/gtest.h>

#include "base/library_loading.h"
#include "base/private_folder.h"

TEST(LibraryPaths, OnlyFullPathsAreTakenAsTheyAre) {
  const struct {
    const char* folder;
    const char* name;
    const char* path;
  } cases[] = {
      {"C:\\Temp\\zelcfg1A", "setuplib.dll", "C:\\Temp\\zelcfg1A\\setuplib.dll"},
      {"C:\\Temp\\zelcfg1A\\", "sub\\lib.dll", "C:\\Temp\\zelcfg1A\\sub\\lib.dll"},
      {"C:\\Temp\\zelcfg1A", "D:\\Game\\lib.dll", "D:\\Game\\lib.dll"},
      {"C:\\Temp\\zelcfg1A", "d:/Game/lib.dll", "d:/Game/lib.dll"},
      {"C:\\Temp\\zelcfg1A", "\\\\server\\share\\lib.dll", "\\\\server\\share\\lib.dll"},
      {"C:\\Temp\\zelcfg1A", "C:lib.dll", "C:\\Temp\\zelcfg1A\\C:lib.dll"},  // drive-relative: not full
      {"C:\\Temp\\zelcfg1A", "\\lib.dll", "C:\\Temp\\zelcfg1A\\\\lib.dll"},  // root-relative: not full
      {"zelcfg1A", "setuplib.dll", ""},                                       // no full folder: nothing
      {"C:\\Temp\\zelcfg1A", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LibraryPathIn(c.folder, c.name), c.path) << c.folder << " + " << c.name;
}

TEST(PrivateFolder, NamesAndDescriptor) {
  EXPECT_EQ(PrivateFolderName("C:\\Temp\\", "zelcfg", 0xBEEF), "C:\\Temp\\zelcfgBEEF");
  EXPECT_EQ(PrivateFolderName("C:\\Temp", "zeluninst", 7), "C:\\Temp\\zeluninst7");
  EXPECT_EQ(PrivateFolderDescriptor("S-1-5-21-1-2-3-1000"),
            "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200A9;;;S-1-5-21-1-2-3-1000)");
}
