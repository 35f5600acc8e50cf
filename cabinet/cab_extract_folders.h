// Extraction folder by folder, several folders at once. The cabinet's
// folders are independent streams, so decoding them on several threads is
// where a large install gains from more processors; what the caller sees
// must not change with it. So each folder is written by a pass of its own
// whose reports are held back, and the caller's thread hands them on in
// the order of the cabinet: the same files, progress values, created-files
// list and failure as one pass over the whole cabinet would give. Files a
// later folder wrote before an earlier one failed were never reported: they
// are removed again.
//
// Used by cab_extract.cpp only; the counting pass there makes the plan.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "cabinet/cab_extract.h"

// One folder of the cabinet with selected entries under the prefix, and
// where they lie in the file table.
struct FolderPass {
  uint16_t folder = 0;
  uint32_t firstPosition = 0;  // the folder's first selected entry in the table
  uint32_t firstIndex = 0;     // its number in the table
  uint32_t entryCount = 0;     // table entries from it to the folder's last selected one
  int64_t bytesBefore = 0;     // selected bytes of the folders before it
};

// How many folders an extraction decodes at once: the request's
// decodeThreads, or the processor count when it is 0.
unsigned FolderThreads(const ExtractionRequest& request);

// Writes the selected entries of one folder, reporting as one pass over the
// whole cabinet would (percentages of total_bytes, counted on from
// pass.bytesBefore). Ends early, failed, once stop is set.
ExtractionResult ExtractFolderPass(const ExtractionRequest& request, ExtractionProgress& progress,
                                   const FolderPass& pass, int64_t total_bytes, const std::atomic<bool>& stop);

// The writing pass over the plan's folders, up to `threads` at once;
// counted is the counting pass's result (totals), returned with the
// failure, if any. False (and nothing done) when no thread could be started:
// the caller then writes in one pass.
bool ExtractFoldersAtOnce(const ExtractionRequest& request, ExtractionProgress& progress,
                          const std::vector<FolderPass>& plan, unsigned threads, ExtractionResult* counted);
