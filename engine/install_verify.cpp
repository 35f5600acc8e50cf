#include "engine/install_verify.h"

namespace {

struct RefusalText {
  VerifyRefusal refusal;
  const char* text;  // the manifest's path follows where it ends in ": "
};
const RefusalText kRefusalTexts[] = {
    {VerifyRefusal::kNone, ""},
    {VerifyRefusal::kNoFileHashes, "This installer has no file hashes: it cannot check an installed game."},
    {VerifyRefusal::kNoInstallLog, "This game keeps no install log, so its install left no manifest to check against."},
    {VerifyRefusal::kManifestMissing, "The install manifest is missing: "},
    {VerifyRefusal::kManifestDamaged, "The install manifest is damaged or edited: "},
    {VerifyRefusal::kOtherInstaller, "The game was installed by another installer than this one: "},
    {VerifyRefusal::kFolderGone, "The game's folder no longer exists: "},
};

std::string TrimSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/') ? path.substr(0, path.size() - 1) : path;
}

}  // namespace

std::string VerifyRefusalText(VerifyRefusal refusal, const std::string& manifest_path) {
  for (const RefusalText& r : kRefusalTexts) {
    if (r.refusal != refusal) continue;
    const std::string text = r.text;
    return text.size() > 2 && text.compare(text.size() - 2, 2, ": ") == 0 ? text + manifest_path : text;
  }
  return "unknown refusal";
}

ManifestCheck LoadInstallManifest(const std::string& installer_id, const std::string& log_path,
                                  const std::string& install_folder, InstalledFiles& files) {
  ManifestCheck check;
  if (installer_id.empty()) {
    check.refusal = VerifyRefusal::kNoFileHashes;
    return check;
  }
  if (log_path.empty()) {
    check.refusal = VerifyRefusal::kNoInstallLog;
    return check;
  }
  check.manifestPath = ManifestPathFor(log_path);
  std::string text;
  if (!files.ReadText(check.manifestPath, &text)) {
    const std::string folder = TrimSeparator(install_folder);
    check.refusal = !folder.empty() && !files.FolderExists(folder) ? VerifyRefusal::kFolderGone
                                                                    : VerifyRefusal::kManifestMissing;
    return check;
  }
  check.error = ParseManifest(text, &check.manifest);
  if (check.error != ManifestError::kNone)
    check.refusal = VerifyRefusal::kManifestDamaged;
  else if (check.manifest.installerId != installer_id)
    check.refusal = VerifyRefusal::kOtherInstaller;
  else if (!files.FolderExists(check.manifest.root))
    check.refusal = VerifyRefusal::kFolderGone;
  return check;
}

VerifyReport VerifyInstall(const InstallManifest& manifest, InstalledFiles& files) {
  VerifyReport report;
  for (const ManifestFile& f : manifest.files) {
    uint64_t size = 0;
    base::Sha256Digest sha256{};
    if (!files.Exists(f.path))
      report.missing.push_back(f.path);
    else if (!files.Measure(f.path, &size, &sha256) || size != f.size || sha256 != f.sha256)
      report.changed.push_back(f.path);
  }
  return report;
}

std::string FormatVerifyReport(const ManifestCheck& check, const VerifyReport& report) {
  std::string text = "zelverify 1\n";
  if (check.refusal != VerifyRefusal::kNone) {
    text += "result refused\nmessage " + VerifyRefusalText(check.refusal, check.manifestPath);
    if (check.refusal == VerifyRefusal::kManifestDamaged) text += std::string(" (") + ManifestErrorText(check.error) + ")";
    return text + "\n";
  }
  text += std::string("result ") + (report.clean() ? "clean" : "differences") + "\n";
  text += "installer " + check.manifest.installerId + "\n";
  text += "root " + check.manifest.root + "\n";
  text += std::string("state ") + (check.manifest.state == ManifestState::kComplete ? "complete" : "incomplete") + "\n";
  for (const std::string& path : report.missing) text += "missing " + path + "\n";
  for (const std::string& path : report.changed) text += "changed " + path + "\n";
  return text;
}
