#include "engine/install_verify.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// Files and folders in memory, as the check reads them.
class MemoryFiles : public InstalledFiles {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  bool FolderExists(const std::string& path) override { return folders.count(path) > 0; }
  bool ReadText(const std::string& path, std::string* text) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    *text = it->second;
    return true;
  }
  bool Exists(const std::string& path) override { return files.count(path) || folders.count(path); }
  bool Measure(const std::string& path, uint64_t* size, base::Sha256Digest* sha256) override {
    auto it = files.find(path);
    if (it == files.end()) return false;  // a folder where a file was
    *size = it->second.size();
    *sha256 = base::Sha256Of(it->second.data(), it->second.size());
    return true;
  }
};

const std::string kId(64, 'c');
const char kRoot[] = "C:\\Game";
const char kLog[] = "C:\\Game\\install.log";

// The installed game: three files and the manifest that names them.
MemoryFiles Installed() {
  MemoryFiles disk;
  disk.folders = {kRoot};
  InstallManifest m;
  m.installerId = kId;
  m.state = ManifestState::kComplete;
  m.root = kRoot;
  for (const char* name : {"a.pak", "b.pak", "c.pak", "d.pak"}) {
    const std::string path = std::string(kRoot) + "\\" + name, data = std::string("data of ") + name;
    disk.files[path] = data;
    m.files.push_back({base::Sha256Of(data.data(), data.size()), data.size(), path});
  }
  disk.files[ManifestPathFor(kLog)] = FormatManifest(m);
  return disk;
}

TEST(InstallVerify, NamesMissingAndChangedFilesOnly) {
  MemoryFiles disk = Installed();
  disk.files.erase("C:\\Game\\a.pak");
  disk.files["C:\\Game\\b.pak"] = "data of b.pax";  // same size, other bytes
  disk.files["C:\\Game\\c.pak"] += "!";
  disk.files.erase("C:\\Game\\d.pak");
  disk.folders.insert("C:\\Game\\d.pak");  // a folder in its place
  disk.files["C:\\Game\\extra.txt"] = "not named";
  const ManifestCheck check = LoadInstallManifest(kId, kLog, kRoot, disk);
  ASSERT_EQ(check.refusal, VerifyRefusal::kNone);
  const VerifyReport report = VerifyInstall(check.manifest, disk);
  EXPECT_EQ(report.missing, std::vector<std::string>{"C:\\Game\\a.pak"});
  EXPECT_EQ(report.changed, (std::vector<std::string>{"C:\\Game\\b.pak", "C:\\Game\\c.pak", "C:\\Game\\d.pak"}));
  EXPECT_EQ(FormatVerifyReport(check, report),
            "zelverify 1\nresult differences\ninstaller " + kId +
                "\nroot C:\\Game\nstate complete\nmissing C:\\Game\\a.pak\nchanged C:\\Game\\b.pak\n"
                "changed C:\\Game\\c.pak\nchanged C:\\Game\\d.pak\n");
  MemoryFiles clean = Installed();
  EXPECT_TRUE(VerifyInstall(check.manifest, clean).clean());
}

TEST(InstallVerify, EachRefusalIsNamed) {
  const std::string manifest = ManifestPathFor(kLog);
  struct Case {
    const char* what;
    std::string id, log;
    void (*change)(MemoryFiles*);
    VerifyRefusal refusal;
  } cases[] = {
      {"no hashes", "", kLog, [](MemoryFiles*) {}, VerifyRefusal::kNoFileHashes},
      {"no log", kId, "", [](MemoryFiles*) {}, VerifyRefusal::kNoInstallLog},
      {"manifest deleted", kId, kLog, [](MemoryFiles* d) { d->files.erase(ManifestPathFor(kLog)); },
       VerifyRefusal::kManifestMissing},
      {"folder deleted", kId, kLog, [](MemoryFiles* d) { *d = MemoryFiles(); }, VerifyRefusal::kFolderGone},
      {"manifest edited", kId, kLog, [](MemoryFiles* d) { d->files[ManifestPathFor(kLog)][20] ^= 1; },
       VerifyRefusal::kManifestDamaged},
      {"another installer", std::string(64, 'd'), kLog, [](MemoryFiles*) {}, VerifyRefusal::kOtherInstaller},
      {"root gone, log kept elsewhere", kId, kLog, [](MemoryFiles* d) { d->folders.clear(); },
       VerifyRefusal::kFolderGone},
  };
  for (const Case& c : cases) {
    MemoryFiles disk = Installed();
    c.change(&disk);
    const ManifestCheck check = LoadInstallManifest(c.id, c.log, kRoot, disk);
    EXPECT_EQ(check.refusal, c.refusal) << c.what;
    const std::string report = FormatVerifyReport(check, VerifyReport());
    EXPECT_EQ(report.find("zelverify 1\nresult refused\nmessage "), 0u) << c.what << report;
  }
  EXPECT_EQ(VerifyRefusalText(VerifyRefusal::kOtherInstaller, "C:\\m.txt"),
            "The game was installed by another installer than this one: C:\\m.txt");
}

}  // namespace
