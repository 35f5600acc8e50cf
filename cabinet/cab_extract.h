// Extraction of one folder of the payload cabinet ("cfg\" or "files\") into
// a destination folder, reading the cabinet in place inside the installer's
// file. Inputs come from the run-wide state (Run(): payloadPath, entryPrefix,
// destinationFolder, cabinetOffset); progress goes back there too
// (overallPercent, filePercent, currentFileName, extractedFiles).
//
// One extraction runs at a time; its values are run-wide and stay readable
// after the call until the next one starts.
#pragma once

#include <cstdint>
#include <string>

// Counting pass, then extraction pass. False on any failure; files written
// before it stay on disk and in the extracted-files list.
bool ExtractCabinet();

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
