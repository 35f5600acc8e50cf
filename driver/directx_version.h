// The DirectX version of the machine, as a packed number. The Windows side
// asks the DirectX diagnostics provider first and falls back to the file
// versions of the DirectX system libraries; the decisions on those answers
// are portable and live here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// A version as the diagnostics provider or the file-version table reports it.
struct DirectXVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  char letter = ' ';  // 'a'..'z' (either case), anything else means none
};

// (major * 256 + minor) * 256 + letter position ('a' = 1 .. 'z' = 26, else 0).
uint32_t PackDirectXVersion(const DirectXVersion& version);

// A file version: major.minor.build.revision, 16 bits each.
struct FileVersion {
  uint16_t major = 0, minor = 0, build = 0, revision = 0;
};

// Reads the version resource of a system library by file name ("ddraw.dll");
// false when the file has no version information.
using FileVersionLookup = std::function<bool(const std::string& file, FileVersion* version)>;

// The file-version method: walks the table of DirectX libraries in order and
// keeps the DirectX version of the last row whose file is at least the row's
// minimum. 0.0 when no row matches.
DirectXVersion DirectXFromFileVersions(const FileVersionLookup& version_of);

// ---- Windows side ----

// The diagnostics method: the DirectX diagnostics provider's system
// information. False unless the major, minor and letter were all read.
bool DirectXFromDiagnostics(DirectXVersion* version);
// The file-version method on the libraries of the given folder (the system
// folder in the installer).
DirectXVersion DirectXFromLibrariesIn(const std::string& folder);
