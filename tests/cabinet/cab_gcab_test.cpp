// Cabinets made by another tool (gcab, stored and MSZIP) from a generated
// tree extract to exactly what cabextract gives. The cabinets and the
// manifest of cabextract's output are made by make_cab_fixtures.sh before
// the suite runs (a ctest fixture), so that the Windows build reads the very
// same files under Wine.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "cabinet/cab_extract.h"
#include "base/string_utils.h"
#include "driver/run_handlers.h"
#include "driver/run_state.h"
#include "support/test_support.h"
#include "tests/cabinet/cab_extract_test_support.h"

namespace {

struct ManifestEntry {
  std::string md5;
  size_t size = 0;
  std::string name;
};

std::string FixtureDir() {
#ifdef CAB_FIXTURE_DIR
  std::string dir = CAB_FIXTURE_DIR;
#ifdef _WIN32
  dir = "Z:" + dir;
  for (char& c : dir)
    if (c == '/') c = '\\';
#endif
  return dir;
#else
  return std::string();
#endif
}

TEST(CabGcab, ExtractsLikeCabextract) {
  const std::string dir = FixtureDir();
  std::ifstream manifest(dir + kPathSeparator + "MANIFEST.txt");
  if (dir.empty() || !manifest.good()) GTEST_SKIP() << "no gcab fixtures (run through ctest)";

  std::map<std::string, std::vector<ManifestEntry>> by_cabinet;
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string cabinet;
    ManifestEntry e;
    if (fields >> cabinet >> e.md5 >> e.size >> e.name) by_cabinet[cabinet].push_back(e);
  }
  ASSERT_EQ(by_cabinet.size(), 2u);

  for (const auto& cab : by_cabinet) {
    SCOPED_TRACE(cab.first);
    testsupport::ScratchDir out;
    RunState& run = ::Run();
    run.payloadPath = dir + kPathSeparator + cab.first;
    run.entryPrefix = "";
    run.destinationFolder = out.path() + kPathSeparator;
    run.cabinetOffset = 0;
    run.extractedFiles.clear();
    ASSERT_TRUE(ExtractRunCabinet()) << CabinetExtractionError();
    EXPECT_EQ(cabtest::ListFiles(out.path()).size(), cab.second.size());
    for (const ManifestEntry& e : cab.second) {
      std::string name = e.name;
      for (char& c : name)
        if (c == '\\') c = kPathSeparator;
      std::vector<uint8_t> data;
      ASSERT_TRUE(testsupport::ReadWholeFile(out.file(name), &data)) << e.name;
      EXPECT_EQ(data.size(), e.size) << e.name;
      EXPECT_EQ(testsupport::Md5Hex(data.data(), data.size()), e.md5) << e.name;
    }
  }
}

}  // namespace
