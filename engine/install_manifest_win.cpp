// Writing the manifest: a temporary file beside it, flushed, then moved over
// the old one in one step.
#include <windows.h>

#include "engine/install_manifest.h"

ManifestWriteError WriteManifestFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ManifestWriteError::kCannotCreate;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (!ok) {
    DeleteFileA(temporary.c_str());
    return ManifestWriteError::kCannotWrite;
  }
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temporary.c_str());
    return ManifestWriteError::kCannotReplace;
  }
  return ManifestWriteError::kNone;
}
