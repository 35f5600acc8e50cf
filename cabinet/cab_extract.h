// Extraction of one folder of the payload cabinet ("cfg\" or "files\") into
// a destination folder, reading the cabinet in place inside the installer's
// file. The caller says what to extract (an ExtractionRequest) and where the
// progress goes (an ExtractionProgress); the installer's driver passes its
// run-wide values, mkinstaller its own.
//
// Every value of an extraction lives in the call, and its result is
// returned: two extractions (each with its own progress sink) may run at
// the same time on two threads.
#pragma once

#include <cstdint>
#include <functional>
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
  // Which entries under the prefix to extract, by their name under it (a
  // file stored as parts by its joined name); empty: every entry. An entry
  // it refuses is neither written nor reported, and its bytes are not
  // counted in totalBytes or the progress; a folder of the cabinet none of
  // whose entries is selected is never decoded. The safety checks of the
  // names still cover every entry under the prefix.
  std::function<bool(const std::string& relative_name)> select;
  // How many folders of the cabinet are decoded at once (0: one per
  // processor). Whatever the number, the files are written and reported as
  // by one thread: only the time differs.
  unsigned decodeThreads = 0;
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
  // A file was created at this path (the uninstaller later deletes it). The
  // only list of the created files: the caller keeps them as they come, so
  // that a failed or abandoned extraction still names every file it left.
  virtual void FileCreated(const std::string& path) {}
  // A volume of the set is missing or damaged (before anything was read
  // from it): true to check it again (the user put it in place), false to
  // stop the extraction.
  virtual bool RetryVolume(const std::string& volume_name) { return false; }
};

// Why an extraction failed.
enum class ExtractionFailure {
  kNone,
  kEngineUnavailable,  // the cabinet engine could not be created
  // The cabinet names an entry that must never be written (outside the
  // destination, a device, too long, or the same file as another entry).
  // Nothing under the prefix was written then, and trying again cannot
  // help: the installer itself is broken.
  kEntryRefused,
  kCannotCreateFile,   // an output file could not be created
  kCannotWriteFile,    // an output file could not be completed
  kCabinet,            // the cabinet could not be read or decoded
  // A volume of the set was missing or damaged and not put right (Cancel,
  // or a silent run). Nothing was read from it; what was written before it
  // is complete and was reported.
  kVolume,
};

struct ExtractionResult {
  ExtractionFailure failure = ExtractionFailure::kNone;
  // Why it failed, with the cabinet engine's detail where it has one; empty
  // after a success.
  std::string error;
  // Sum of the sizes of the selected entries under the prefix.
  int64_t totalBytes = 0;
  // Bytes the whole cabinet needs on disk (every entry, whatever its
  // prefix, rounded up per entry).
  int64_t requiredSpace = 0;
  // Passes decoded at once (cab_extract_folders.h); 0: one pass.
  size_t parallelPasses = 0;

  bool ok() const { return failure == ExtractionFailure::kNone; }
  bool entryRefused() const { return failure == ExtractionFailure::kEntryRefused; }
  bool volumeFailed() const { return failure == ExtractionFailure::kVolume; }
};

// Counting pass, then extraction pass. Files written before a failure stay
// on disk and were reported as created.
ExtractionResult ExtractCabinet(const ExtractionRequest& request, ExtractionProgress& progress);

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
