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

struct ExtractionRequest {
  std::string cabinetPath;    // the file that holds the cabinet
  int64_t cabinetOffset = 0;  // where the cabinet starts inside that file
  std::string prefix;         // only entries under it, written without it
  std::string destination;    // ends in a path separator
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
