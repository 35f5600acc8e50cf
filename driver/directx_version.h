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

// Whether the machine has at least `minimum` (packed) for the run's check,
// asked the cheap way first: the file versions of the system libraries
// (a few version resources) and, only when they fall short, the
// diagnostics provider, which loads Direct3D, DirectSound and DirectShow to
// answer (a third of a second under Wine). The decision is the one of
// GetDirectXVersion(): the provider comes with DirectX 9, so whenever it
// answers it reports 9.0 or more, and whenever the libraries show 3.0 the
// provider, if present, would have said at least as much.
bool DirectXAtLeast(uint32_t minimum, const std::function<DirectXVersion()>& from_libraries,
                    const std::function<bool(DirectXVersion*)>& from_diagnostics);

// ---- Windows side ----

// The diagnostics method: the DirectX diagnostics provider's system
// information. False unless the major, minor and letter were all read.
bool DirectXFromDiagnostics(DirectXVersion* version);
// The file-version method on the libraries of the given folder (the system
// folder in the installer).
DirectXVersion DirectXFromLibrariesIn(const std::string& folder);
