// The manifest an install leaves beside its log: which installer put the
// game there, whether the install finished, and the size and SHA-256 of
// every product file at the path it was installed to. -verify compares the
// installed files with it; it is written from the installer's file-hash
// record, so the install itself hashes nothing.
//
// A UTF-8 text file with LF line ends:
//   zelmanifest 1
//   installer <installer id: 64 lowercase hex digits>
//   state incomplete|complete
//   root <install folder as installed>
//   file <sha256 hex> <size in decimal> <full path as installed>
//   ...                                 (cabinet order)
//   end <sha256 hex of every byte before this line>
// The last line makes any edit or damage a refusal rather than a wrong answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/sha256.h"

enum class ManifestState { kIncomplete, kComplete };

struct ManifestFile {
  base::Sha256Digest sha256{};
  uint64_t size = 0;
  std::string path;  // full, as installed: C:\Games\Example\data\a.pak
};

struct InstallManifest {
  std::string installerId;  // 64 lowercase hex digits
  ManifestState state = ManifestState::kIncomplete;
  std::string root;  // the install folder, without a trailing separator
  std::vector<ManifestFile> files;
};

enum class ManifestError {
  kNone,
  kBadHeader,       // the first line is not "zelmanifest N"
  kUnknownVersion,  // a version other than 1
  kBadLine,         // a line out of order, malformed, or with a CR or control character
  kBadHash,         // a hash that is not 64 lowercase hex digits
  kNoEnd,           // the text stops before its "end" line (cut short)
  kTrailingBytes,   // bytes after the "end" line
  kCheckMismatch,   // the "end" line's hash differs: damaged or edited
};
const char* ManifestErrorText(ManifestError error);

std::string FormatManifest(const InstallManifest& manifest);
ManifestError ParseManifest(const std::string& text, InstallManifest* manifest);

// Beside the install log: its extension (after the last separator) replaced
// by "_manifest.txt", appended when it has none ("install.log" gives
// "install_manifest.txt").
std::string ManifestPathFor(const std::string& log_path);

// The root and each file's full path from the installer's product entries
// ("files\data\a.pak" under "C:\Games\Example\" gives
// "C:\Games\Example\data\a.pak"); destination ends in a separator.
std::string InstalledPathOf(const std::string& destination, const std::string& entry_name);

enum class ManifestWriteError { kNone, kCannotCreate, kCannotWrite, kCannotReplace };
// Windows: writes the text whole to "<path>.tmp", then moves it over path,
// so that a reader finds the old manifest or the new one, never a part.
ManifestWriteError WriteManifestFile(const std::string& path, const std::string& text);
