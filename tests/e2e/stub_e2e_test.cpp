// The built stub as a file (PE32 GUI, resources, imports) and its first
// observable behaviour under Wine: finding its payload, exit codes and the
// temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include <unistd.h>

#include "e2e/wine_harness.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t LE16(const Bytes& b, size_t at) { return at + 2 <= b.size() ? b[at] | (b[at + 1] << 8) : 0; }
uint32_t LE32(const Bytes& b, size_t at) {
  return at + 4 <= b.size() ? b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24) : 0;
}

// A minimal PE reader: headers, sections, imports and resources.
struct PeImage {
  Bytes file;
  uint32_t pe = 0;
  struct Section {
    uint32_t rva, size, raw;
  };
  std::vector<Section> sections;

  bool Load(const std::string& path) {
    if (!testsupport::ReadWholeFile(path, &file) || file.size() < 0x40) return false;
    pe = LE32(file, 0x3C);
    if (LE32(file, pe) != 0x00004550) return false;
    uint32_t count = LE16(file, pe + 6);
    uint32_t optional_size = LE16(file, pe + 20);
    uint32_t table = pe + 24 + optional_size;
    for (uint32_t i = 0; i < count; ++i) {
      size_t s = table + 40 * i;
      sections.push_back({LE32(file, s + 12), std::max(LE32(file, s + 8), LE32(file, s + 16)), LE32(file, s + 20)});
    }
    return true;
  }
  uint32_t Machine() const { return LE16(file, pe + 4); }
  uint32_t Magic() const { return LE16(file, pe + 24); }
  uint32_t Subsystem() const { return LE16(file, pe + 24 + 68); }
  uint32_t DirectoryRva(int index) const { return LE32(file, pe + 24 + 96 + 8 * index); }
  size_t Offset(uint32_t rva) const {
    for (const Section& s : sections)
      if (rva >= s.rva && rva < s.rva + s.size) return rva - s.rva + s.raw;
    return 0;
  }
  std::string CString(size_t at) const {
    std::string s;
    while (at < file.size() && file[at]) s += static_cast<char>(file[at++]);
    return s;
  }

  std::vector<std::string> Imports() const {
    std::vector<std::string> dlls;
    size_t at = Offset(DirectoryRva(1));
    for (; at && LE32(file, at + 12); at += 20) dlls.push_back(CString(Offset(LE32(file, at + 12))));
    return dlls;
  }

  // type id -> resource id -> data of the first language.
  std::map<uint32_t, std::map<uint32_t, Bytes>> Resources() const {
    std::map<uint32_t, std::map<uint32_t, Bytes>> out;
    size_t root = Offset(DirectoryRva(2));
    if (!root) return out;
    auto entries = [&](size_t dir) {
      std::vector<std::pair<uint32_t, uint32_t>> list;
      uint32_t n = LE16(file, dir + 12) + LE16(file, dir + 14);
      for (uint32_t i = 0; i < n; ++i) list.push_back({LE32(file, dir + 16 + 8 * i), LE32(file, dir + 20 + 8 * i)});
      return list;
    };
    for (auto [type, type_dir] : entries(root)) {
      if (!(type_dir & 0x80000000)) continue;
      for (auto [id, id_dir] : entries(root + (type_dir & 0x7FFFFFFF))) {
        if (!(id_dir & 0x80000000)) continue;
        auto langs = entries(root + (id_dir & 0x7FFFFFFF));
        if (langs.empty() || (langs[0].second & 0x80000000)) continue;
        size_t leaf = root + langs[0].second;
        size_t data = Offset(LE32(file, leaf));
        uint32_t size = LE32(file, leaf + 4);
        if (data && data + size <= file.size()) out[type][id] = Bytes(file.begin() + data, file.begin() + data + size);
      }
    }
    return out;
  }
};

std::string StubPath() { return e2e::BinDir() + "/InstallerStub.exe"; }

TEST(StubImage, IsA32BitGuiProgramWithOnlySystemImports) {
  PeImage image;
  ASSERT_TRUE(image.Load(StubPath())) << StubPath();
  EXPECT_EQ(image.Machine(), 0x14Cu);  // i386
  EXPECT_EQ(image.Magic(), 0x10Bu);    // PE32
  EXPECT_EQ(image.Subsystem(), 2u);    // Windows GUI
  const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll", "shell32.dll",
                                        "ole32.dll",    "oleaut32.dll", "comctl32.dll", "msvcrt.dll",  "version.dll",
                                        "comdlg32.dll", "shlwapi.dll",  "riched20.dll", "uuid.dll"};
  std::vector<std::string> imports = image.Imports();
  EXPECT_FALSE(imports.empty());
  for (std::string dll : imports) {
    std::transform(dll.begin(), dll.end(), dll.begin(), ::tolower);
    EXPECT_TRUE(system.count(dll)) << "unexpected import " << dll;
  }
}

TEST(StubImage, DoesNotHoldThePayloadSignature) {
  // Else an installer whose payload has no signature would end at the stub's.
  Bytes stub;
  ASSERT_TRUE(testsupport::ReadWholeFile(StubPath(), &stub));
  const std::string signature = "!zelkoninstallersig!";
  EXPECT_EQ(std::search(stub.begin(), stub.end(), signature.begin(), signature.end()), stub.end());
}

TEST(StubImage, CarriesIconGroupFiveAndTheManifest) {
  PeImage image;
  ASSERT_TRUE(image.Load(StubPath()));
  auto resources = image.Resources();
  ASSERT_TRUE(resources[14].count(5)) << "icon group 5";
  const Bytes& group = resources[14][5];
  std::set<std::pair<int, int>> sizes_and_depths;
  for (uint32_t i = 0; i < LE16(group, 4); ++i) {
    size_t e = 6 + 14 * i;
    int size = group[e] ? group[e] : 256;
    sizes_and_depths.insert({size, static_cast<int>(LE16(group, e + 6))});
  }
  for (int size : {16, 32, 48})
    for (int depth : {4, 8, 32}) EXPECT_TRUE(sizes_and_depths.count({size, depth})) << size << "px " << depth << "bpp";

  ASSERT_TRUE(resources[24].count(1)) << "manifest";
  std::string manifest(resources[24][1].begin(), resources[24][1].end());
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos) << "Vista";
  EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos) << "Windows 7";
  EXPECT_TRUE(resources[16].count(1)) << "version resource";
}

// Payload cases on the real stub. A readable chain gets past the payload and
// ends at the configuration (this cabinet holds none): the run is aborted, 10.
class StubPayload : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::ReadWholeFile(StubPath(), &stub_));
    dir_ = fs::temp_directory_path() / ("stub-e2e-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // An empty but well-formed cabinet: header only, no folders, no files.
  static Bytes EmptyCabinet() {
    Bytes cab = {'M', 'S', 'C', 'F', 0, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 36, 0, 0, 0,
                 0, 0, 0, 0, 3, 1, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 0, 0};
    return cab;
  }
  Bytes Finished(const std::vector<e2e::Record>& extra, bool signature = true, const Bytes& tail = {}) const {
    std::vector<e2e::Record> records;
    records.push_back({2, stub_});
    for (const auto& r : extra) records.push_back(r);
    records.push_back({1, EmptyCabinet()});
    return e2e::AssembleInstaller({}, records, signature, tail);
  }
  int RunInstaller(const std::string& name, const Bytes& file, const std::vector<std::string>& args = {"-silent"}) {
    std::string path = (dir_ / name).string();
    EXPECT_TRUE(testsupport::WriteWholeFile(path, file.data(), file.size()));
    std::vector<std::string> argv = {path};
    argv.insert(argv.end(), args.begin(), args.end());
    e2e::WineResult r = e2e::RunWine(e2e::kWin7, argv, 120);
    EXPECT_FALSE(r.timedOut) << name;
    return r.exitCode;
  }

  Bytes stub_;
  fs::path dir_;
};

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST_F(StubPayload, ExitCodesFollowThePayload) {
  std::string decoy = "XXXXYYYY!zelkoninstallersig!ZZZZ";
  struct Case {
    const char* name;
    Bytes file;
    int exit_code;
  } cases[] = {
      {"finished installer", Finished({}), 10},
      {"certificate table after the signature", Finished({}, true, Bytes(4096, 0x30)), 10},
      {"the later of two signatures", Finished({{0, Text(decoy)}}), 10},
      {"no signature, chain to the end", Finished({}, false), 10},
      {"two attached texts", Finished({{0, Text("<Defines/>")}, {0, Text("<Defines/>")}}), 10},
      {"signed without signature", Finished({}, false, Bytes(64, 0)), 5},
      {"unknown record type", Finished({{9, Text("abc")}}), 5},
      {"stub without payload", stub_, 5},
      {"truncated installer", Bytes(Finished({}).begin(), Finished({}).end() - 30), 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunInstaller("setup.exe", c.file), c.exit_code) << c.name;
    EXPECT_TRUE(e2e::LeftoverTemporaryFolders(e2e::kWin7).empty()) << c.name;
  }
}

TEST_F(StubPayload, LengthBeyondItsEndFails) {
  // A length field larger than everything in front of it.
  Bytes file = Finished({});
  size_t length_at = file.size() - 20 - 8;
  file[length_at + 3] = 0x7F;
  EXPECT_EQ(RunInstaller("setup.exe", file), 5);
}

TEST_F(StubPayload, StubSuffixReadsThePartnerFile) {
  // Game_Stub.exe without Game.exe cannot open its payload: 4.
  EXPECT_EQ(RunInstaller("Game_Stub.exe", stub_), 4);
  EXPECT_TRUE(e2e::LeftoverTemporaryFolders(e2e::kWin7).empty());
  // With Game.exe beside it, the payload of Game.exe is read.
  Bytes installer = Finished({});
  ASSERT_TRUE(testsupport::WriteWholeFile((dir_ / "Game.exe").string(), installer.data(), installer.size()));
  EXPECT_EQ(RunInstaller("Game_Stub.exe", stub_), 10);
}

}  // namespace
