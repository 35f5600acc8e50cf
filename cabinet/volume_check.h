// The volumes of a set (the cabinets beside the installer) are files the
// player downloads and copies: any of them may be missing, cut short, renamed
// or replaced. The installer's own payload names each one with its size and
// SHA-256, so a signature over the installer covers them all; a volume is
// checked against that before the extraction reads a byte from it, so that
// no file from a wrong volume is ever reported installed.
//
// Hashing costs one more read of every volume. VolumeChecker hides it: while
// the extraction reads one volume, a thread of its own checks the next one,
// so on two cores the check runs beside the writes instead of before them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/sha256.h"

struct VolumeExpectation {
  std::string name;  // file name beside the installer, no path
  int64_t size = 0;
  base::Sha256Digest sha256{};
};

enum class VolumeFault {
  kNone,
  kNotListed,      // the cabinet names a next volume the installer does not list
  kMissing,        // no such file, or it cannot be opened
  kWrongSize,      // cut short, grown, or another volume of another size
  kWrongContents,  // the right size, other bytes (damaged, or another volume)
  kStopped,        // the check was stopped before it ended (the extraction is over)
};

// "missing", "of the wrong size", ...: completes "Setup volume 'X-2.cab' is ".
const char* VolumeFaultText(VolumeFault fault);

// Opens the file at path and compares its size and SHA-256 with the
// expectation. stop (optional) ends a check in progress with kStopped.
VolumeFault CheckVolumeFile(const std::string& path, const VolumeExpectation& expected,
                            const std::atomic<bool>* stop = nullptr);

// Checks the volumes of one extraction, one ahead of their use.
class VolumeChecker {
 public:
  // folder ends in a path separator (or is empty); volumes in set order.
  VolumeChecker(const std::string& folder, const std::vector<VolumeExpectation>& volumes);
  ~VolumeChecker();
  VolumeChecker(const VolumeChecker&) = delete;
  VolumeChecker& operator=(const VolumeChecker&) = delete;

  // Starts checking the first volume in the background.
  void Start();
  // The verdict for the named volume (waiting for the background check when
  // it is this one), then starts checking the volume after it. Asking again
  // for the same volume (a retry) checks it again.
  VolumeFault Check(const std::string& name);

 private:
  struct Ahead;
  void StartAhead(size_t index);
  // Waits for the background check; its result when it checked index.
  bool TakeAhead(size_t index, VolumeFault* fault);

  std::string folder_;
  std::vector<VolumeExpectation> volumes_;
  std::unique_ptr<Ahead> ahead_;
};
