// The installed files as Windows shows them, for LoadInstallManifest and
// VerifyInstall.
#include <windows.h>

#include <vector>

#include "engine/install_verify.h"

namespace {

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

HANDLE OpenForReading(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

class WindowsInstalledFiles : public InstalledFiles {
 public:
  bool FolderExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool ReadText(const std::string& path, std::string* text) override {
    ScopedHandle file(OpenForReading(path));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    text->clear();
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) text->append(buffer, n);
    return true;
  }
  bool Exists(const std::string& path) override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool Measure(const std::string& path, uint64_t* size, base::Sha256Digest* sha256) override {
    ScopedHandle file(OpenForReading(path));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(1 << 20);
    base::Sha256 hash;
    *size = 0;
    for (;;) {
      DWORD n = 0;
      if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) return false;
      if (n == 0) break;
      hash.Update(buffer.data(), n);
      *size += n;
    }
    *sha256 = hash.Finish();
    return true;
  }
};

}  // namespace

InstalledFiles& SystemInstalledFiles() {
  static WindowsInstalledFiles files;
  return files;
}
