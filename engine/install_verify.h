// Checking an installed game against the manifest its install left
// (engine/install_manifest.h): which files are missing and which changed.
// -verify reports them; -repair puts them back. Before any comparison the
// manifest must be one this installer wrote for a folder that still exists:
// anything else is refused with its reason, and nothing is changed.
//
// Pure over a small file-reading interface: the stub passes the Windows
// file system, tests their own files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "engine/install_manifest.h"

class InstalledFiles {
 public:
  virtual ~InstalledFiles() = default;
  virtual bool FolderExists(const std::string& path) = 0;
  // The whole file; false when it is absent or cannot be read.
  virtual bool ReadText(const std::string& path, std::string* text) = 0;
  // False only when nothing is at path.
  virtual bool Exists(const std::string& path) = 0;
  // Size and SHA-256 of the whole file; false when it is not a file that
  // can be read.
  virtual bool Measure(const std::string& path, uint64_t* size, base::Sha256Digest* sha256) = 0;
};

// Windows: the file system as it is.
InstalledFiles& SystemInstalledFiles();

// Why a manifest cannot be checked against.
enum class VerifyRefusal {
  kNone,
  kNoFileHashes,     // the installer was built without the file-hash record
  kNoInstallLog,     // the configuration keeps no install log: no manifest is written
  kManifestMissing,  // no manifest beside the install log
  kManifestDamaged,  // the manifest does not parse (ManifestError says how)
  kOtherInstaller,   // the manifest names another installer id
  kFolderGone,       // the install folder no longer exists
};
// The message shown and written to the report, with the manifest's path.
std::string VerifyRefusalText(VerifyRefusal refusal, const std::string& manifest_path);

struct ManifestCheck {
  VerifyRefusal refusal = VerifyRefusal::kNone;
  ManifestError error = ManifestError::kNone;  // for kManifestDamaged
  std::string manifestPath;
  InstallManifest manifest;
};

// Reads and checks the manifest for an install of this installer.
// installer_id: the running installer's (empty without the record);
// log_path: the expanded install log path (empty without one);
// install_folder: where the configuration would install, for the case of a
// manifest that is gone together with its folder.
ManifestCheck LoadInstallManifest(const std::string& installer_id, const std::string& log_path,
                                  const std::string& install_folder, InstalledFiles& files);

struct VerifyReport {
  std::vector<std::string> missing;  // absent, manifest order
  std::vector<std::string> changed;  // size or SHA-256 differs, or unreadable
  bool clean() const { return missing.empty() && changed.empty(); }
};

// Files that are not named in the manifest are not looked at.
VerifyReport VerifyInstall(const InstallManifest& manifest, InstalledFiles& files);

// The report of a check as -verify writes it (UTF-8, LF):
//   zelverify 1
//   result clean|differences|refused
//   message <why, for a refusal>
//   installer <id>  root <folder>  state <state>   (one a line, when a manifest was read)
//   missing <path> ... then changed <path> ...
std::string FormatVerifyReport(const ManifestCheck& check, const VerifyReport& report);
