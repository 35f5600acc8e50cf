// Extraction of one folder of the payload cabinet ("cfg\" or "files\") into
// a destination folder, reading the cabinet in place inside the installer's
// file. The caller says what to extract (an ExtractionRequest) and where the
// progress goes (an ExtractionProgress); the installer's driver passes its
// run-wide values, mkinstaller its own.
//
// One extraction runs at a time; its results below stay readable after the
// call until the next one starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cabinet/volume_check.h"

// A file stored as parts "<name>.001" ... (cabinet/cab_parts.h), written
// as one file "<name>".
struct JoinedFile {
  std::string name;  // the entry name without the part suffix ("files\big.pak")
  uint32_t parts = 0;
};

struct ExtractionRequest {
  std::string cabinetPath;    // the file that holds the cabinet
  int64_t cabinetOffset = 0;  // where the cabinet starts inside that file
  std::string prefix;         // only entries under it, written without it
  std::string destination;    // ends in a path separator
  // An installer shipped as a set: the cabinets after the first, as files
  // beside cabinetPath. Each is checked (name, size, SHA-256) before any
  // byte is read from it; empty for a single cabinet.
  std::vector<VolumeExpectation> volumes;
  // False when every entry under the prefix lies in the first cabinet (the
  // configuration): the volumes are then only counted, never read.
  bool entriesInVolumes = true;
  std::vector<JoinedFile> joinedFiles;
};

// Where an extraction reports its progress, from the thread it runs on. The
// defaults ignore it.
class ExtractionProgress {
 public:
  virtual ~ExtractionProgress() = default;
  // Percent of the bytes under the prefix written so far.
  virtual void OverallPercent(int32_t percent) {}
  // Percent of the current file written so far.
  virtual void FilePercent(int32_t percent) {}
  // The next file, by its name under the prefix (as in the cabinet).
  virtual void FileStarted(const std::string& relative_name) {}
  // A file was created at this path (the uninstaller later deletes it).
  virtual void FileCreated(const std::string& path) {}
  // A volume of the set is missing or damaged (before anything was read
  // from it): true to check it again (the user put it in place), false to
  // stop the extraction.
  virtual bool RetryVolume(const std::string& volume_name) { return false; }
};

// Counting pass, then extraction pass. False on any failure; files written
// before it stay on disk and were reported as created.
bool ExtractCabinet(const ExtractionRequest& request, ExtractionProgress& progress);

// Bytes the whole cabinet needs on disk (every entry, whatever its prefix,
// rounded up per entry), from the last ExtractCabinet() call.
int64_t CabinetRequiredSpace();
// Sum of the sizes of the entries under the prefix, from the last call.
int64_t CabinetTotalBytes();
// Why the last call failed; empty after a success.
const std::string& CabinetExtractionError();
// Whether the last call failed because the cabinet names an entry that must
// never be written (outside the destination, a device, too long, or the same
// file as another entry). Nothing under the prefix was written then, and
// trying again cannot help: the installer itself is broken.
bool CabinetEntryRefused();
// Whether the last call stopped at a volume of the set that was missing or
// damaged and not put right (Cancel, or a silent run). Nothing was read from
// it; what was written before it is complete and was reported.
bool CabinetVolumeFailed();

// done as a percentage of total, 0 to 100, in 64-bit integers: right for
// installs of any size (a byte count times 100 overflows 32 bits past 42 MB).
int32_t ProgressPercent(int64_t done, int64_t total);

// The disk space one entry of the given size is counted for: its size
// rounded up to the next 32768-byte unit, a whole extra unit when it is
// already a multiple.
int64_t RequiredSpaceForEntry(int64_t size);

// True when an entry name (without its prefix) names a file inside the
// destination: relative, no drive or stream colon, no control character, no
// empty, "." or ".." component, no device name such as "CON" or "com1.txt".
bool IsSafeEntryPath(const std::string& relative_name);

// Output paths of this length or more are refused (the Windows path limit,
// 260 characters with the terminating zero).
constexpr size_t kMaxOutputPath = 260;
