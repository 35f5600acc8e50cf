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
  // A file was created at this path (the uninstaller later deletes it). The
  // only list of the created files: the caller keeps them as they come, so
  // that a failed or abandoned extraction still names every file it left.
  virtual void FileCreated(const std::string& path) {}
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
};

struct ExtractionResult {
  ExtractionFailure failure = ExtractionFailure::kNone;
  // Why it failed, with the cabinet engine's detail where it has one; empty
  // after a success.
  std::string error;
  // Sum of the sizes of the entries under the prefix.
  int64_t totalBytes = 0;
  // Bytes the whole cabinet needs on disk (every entry, whatever its
  // prefix, rounded up per entry).
  int64_t requiredSpace = 0;

  bool ok() const { return failure == ExtractionFailure::kNone; }
  bool entryRefused() const { return failure == ExtractionFailure::kEntryRefused; }
};

// Counting pass, then extraction pass. Files written before a failure stay
// on disk and were reported as created.
ExtractionResult ExtractCabinet(const ExtractionRequest& request, ExtractionProgress& progress);

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
