#include "driver/directx_version.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Files = std::map<std::string, FileVersion>;

DirectXVersion FromFiles(const Files& files) {
  return DirectXFromFileVersions([&](const std::string& name, FileVersion* v) {
    auto it = files.find(name);
    if (it == files.end()) return false;
    *v = it->second;
    return true;
  });
}

TEST(DirectXVersion, PacksMajorMinorAndLetter) {
  struct Case {
    DirectXVersion version;
    uint32_t packed;
  } cases[] = {
      {{9, 0, 'c'}, 0x90003}, {{9, 0, 'C'}, 0x90003}, {{3, 0, ' '}, 0x30000}, {{8, 1, 'b'}, 0x80102},
      {{7, 0, 'z'}, 0x7001A}, {{6, 1, '1'}, 0x60100}, {{0, 0, ' '}, 0},       {{2, 0, '\0'}, 0x20000},
  };
  for (const Case& c : cases) EXPECT_EQ(PackDirectXVersion(c.version), c.packed) << c.version.major;
}

TEST(DirectXVersion, FileTableKeepsTheLastMatchingRow) {
  struct Case {
    const char* what;
    Files files;
    uint32_t packed;
  } cases[] = {
      {"nothing", {}, 0},
      {"ddraw below every row", {{"ddraw.dll", {4, 2, 0, 94}}}, 0},
      {"ddraw 4.2.0.95", {{"ddraw.dll", {4, 2, 0, 95}}}, 0x10000},
      {"ddraw 4.3.0.1095", {{"ddraw.dll", {4, 3, 0, 1095}}}, 0x10000},
      {"ddraw 4.4.0.68 alone passes the threshold", {{"ddraw.dll", {4, 4, 0, 68}}}, 0x30000},
      {"d3drg8x gives the letter a", {{"ddraw.dll", {4, 4, 0, 68}}, {"d3drg8x.dll", {4, 4, 0, 70}}}, 0x30001},
      {"a later ddraw row overwrites 3.0a", {{"ddraw.dll", {4, 5, 0, 155}}, {"d3drg8x.dll", {4, 4, 0, 70}}}, 0x50000},
      {"dplayx 6.1a", {{"ddraw.dll", {4, 6, 0, 436}}, {"dplayx.dll", {4, 6, 3, 518}}}, 0x60101},
      {"dinput 7.0a", {{"ddraw.dll", {4, 7, 0, 700}}, {"dinput.dll", {4, 7, 0, 716}}}, 0x70001},
      {"ddraw 4.8 needs revision 400", {{"ddraw.dll", {4, 8, 0, 399}}}, 0x70000},
      {"ddraw 4.8.0.400", {{"ddraw.dll", {4, 8, 0, 400}}}, 0x80000},
      {"ddraw 5.x below its own minimum", {{"ddraw.dll", {5, 1, 2258, 399}}}, 0x70000},
      {"ddraw 5.1.2258.400", {{"ddraw.dll", {5, 1, 2258, 400}}}, 0x80000},
      {"ddraw 6.x matches no split row", {{"ddraw.dll", {6, 1, 7600, 16385}}}, 0x70000},
      {"d3d8 4.x 8.1a", {{"ddraw.dll", {4, 8, 0, 400}}, {"d3d8.dll", {4, 8, 1, 901}}}, 0x80101},
      {"d3d8 5.x 8.1", {{"ddraw.dll", {5, 1, 2600, 0}}, {"d3d8.dll", {5, 1, 2600, 881}}}, 0x80100},
      {"mpg2splt 8.1b", {{"mpg2splt.ax", {6, 3, 1, 885}}}, 0x80102},
      {"dpnet 5.x 8.2", {{"dpnet.dll", {5, 2, 3677, 134}}}, 0x80200},
      {"dpnet 6.x is not 8.2", {{"dpnet.dll", {6, 0, 0, 0}}}, 0},
      {"any d3d9 version is 9.0", {{"ddraw.dll", {4, 2, 0, 95}}, {"d3d9.dll", {0, 0, 0, 0}}}, 0x90000},
  };
  for (const Case& c : cases) EXPECT_EQ(PackDirectXVersion(FromFiles(c.files)), c.packed) << c.what;
}

// The run's check asks the provider only when the libraries fall short, and
// then goes by the provider's answer alone.
TEST(DirectXVersion, CheckAsksTheProviderOnlyWhenTheLibrariesFallShort) {
  struct Case {
    const char* what;
    DirectXVersion libraries;
    bool provider_answers;
    DirectXVersion provider;
    bool passes;
    bool provider_asked;
  } cases[] = {
      {"libraries 3.0", {3, 0, ' '}, true, {9, 0, 'c'}, true, false},
      {"libraries 9.0, no provider", {9, 0, ' '}, false, {}, true, false},
      {"libraries 2.0, provider 9.0c", {2, 0, ' '}, true, {9, 0, 'c'}, true, true},
      {"libraries 2.0, no provider", {2, 0, ' '}, false, {}, false, true},
      {"nothing, provider 2.0", {}, true, {2, 0, ' '}, false, true},
      {"nothing at all", {}, false, {}, false, true},
  };
  for (const Case& c : cases) {
    bool asked = false;
    const bool passes = DirectXAtLeast(
        0x30000, [&] { return c.libraries; },
        [&](DirectXVersion* v) {
          asked = true;
          *v = c.provider;
          return c.provider_answers;
        });
    EXPECT_EQ(passes, c.passes) << c.what;
    EXPECT_EQ(asked, c.provider_asked) << c.what;
  }
}

}  // namespace
