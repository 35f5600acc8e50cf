// Extraction folder by folder, several folders at once. The cabinet's
// folders are independent streams, so decoding them on several threads is
// where a large install gains from more processors, a game shipped as a set
// of volumes above all; what the caller sees must not change with it. So
// each folder is written by a pass of its own whose reports are held back,
// and the caller's thread hands them on in the order of the cabinet: the
// same files, progress values, created-files list and failure as one pass
// over the whole cabinet would give. Files a later folder wrote before an
// earlier one failed were never reported: they are removed again.
//
// Used by cab_extract.cpp only; the counting pass there makes the plan.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cabinet/cab_extract.h"
#include "cabinet/volume_check.h"

// Where one pass walks in one cabinet of the set: the walk of the cabinet's
// file table starts at an entry and takes entryCount entries, of which the
// pass writes the selected ones in its folders.
struct PassRange {
  uint16_t cabinet = 0;      // 0: the first cabinet, k: the set's volume k
  uint16_t firstFolder = 0;  // the pass's folders among the cabinet's
  uint16_t lastFolder = 0;   // (firstFolder > lastFolder: none, only walked through)
  uint32_t firstPosition = 0;
  uint32_t firstIndex = 0;   // that entry's number in the table
  uint32_t entryCount = 0;
};

// What must be decoded in one go: a folder's selected entries, and with it
// a folder it runs on into in the next cabinets, or the folders holding the
// further parts of a file: rangeCount ranges of the plan's, in walk order.
struct FolderPass {
  uint32_t firstRange = 0;
  uint32_t rangeCount = 0;
  int64_t bytesBefore = 0;  // selected bytes of the passes before it
};

// What the passes of one extraction share.
struct PassShared {
  const std::vector<PassRange>* ranges = nullptr;  // every pass's, in order
  int64_t totalBytes = 0;
  const std::map<std::string, int64_t>* joinedSizes = nullptr;  // the parts' total, by joined name
  VolumeChecker* volumes = nullptr;            // a set's checks, while its volumes are read
  uint16_t firstCabinetIndex = 0;              // the first cabinet's number in its set
};

// What a pass did: its result, the files it completed and, stopped by a
// faulty volume, which one.
struct PassOutcome {
  ExtractionResult result;
  uint32_t filesDone = 0;
  bool inFile = false;  // it stopped inside a file it had reported started
  std::string volume;
};

// How many folders an extraction decodes at once: the request's
// decodeThreads, or the processor count when it is 0.
unsigned FolderThreads(const ExtractionRequest& request);

// Where a pass takes up again after a faulty volume stopped it.
struct PassResume {
  uint32_t files = 0;          // files it wrote before: passed over
  bool startReported = false;  // the next one was reported started
  std::string volume;          // checked first, the player asked while it is faulty
};

// Writes the selected entries of one pass, reporting as one pass over the
// whole cabinet would (percentages of shared.totalBytes, counted on from
// pass.bytesBefore). Ends early, failed, once stop is set. A volume is asked
// for again (RetryVolume) only through `progress`.
PassOutcome ExtractFolderPass(const ExtractionRequest& request, ExtractionProgress& progress, const FolderPass& pass,
                              const PassShared& shared, const std::atomic<bool>& stop, const PassResume& resume);

// The writing pass over the plan's passes, up to `threads` at once;
// counted is the counting pass's result (totals), returned with the
// failure, if any. A pass stopped by a faulty volume is taken up by the
// caller's thread when its turn comes: the player is asked as by one pass,
// and after Retry the rest of it is written there. False (and nothing done)
// when no thread could be started: the caller then writes in one pass.
bool ExtractFoldersAtOnce(const ExtractionRequest& request, ExtractionProgress& progress,
                          const std::vector<FolderPass>& plan, const PassShared& shared, unsigned threads,
                          ExtractionResult* counted);
