// The volumes of a set (the cabinets beside the installer) are files the
// player downloads and copies: any of them may be missing, cut short, renamed
// or replaced. The installer's own payload names each one with its size and
// SHA-256, so a signature over the installer covers them all; a volume is
// checked against that before the extraction reads a byte from it, so that
// no file from a wrong volume is ever reported installed.
//
// Hashing costs one more read of every volume, and SHA-256 is slower than a
// disk: hashing one volume after the other on one thread made a set install
// at the hash's speed. VolumeChecker checks several volumes at once, one per
// thread (up to the processor count), in set order from the start of the
// extraction, so that the check runs beside the writes and on every core;
// the extraction still waits for a volume's verdict before it reads from it.
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

// Checks the volumes of one extraction ahead of their use. Memory: one
// 1 MB piece per thread.
class VolumeChecker {
 public:
  // folder ends in a path separator (or is empty); volumes in set order;
  // threads: how many volumes are checked at once (0: one per processor).
  VolumeChecker(const std::string& folder, const std::vector<VolumeExpectation>& volumes, unsigned threads = 0);
  ~VolumeChecker();  // stops the checks still running
  VolumeChecker(const VolumeChecker&) = delete;
  VolumeChecker& operator=(const VolumeChecker&) = delete;

  // Starts checking the volumes in the background, the first ones first.
  void Start();
  // The verdict for the named volume: the background check's (waiting for
  // it while it runs, or until the threads reach it), or a check made now
  // when no thread could be started. Several
  // threads may ask at once (the passes of a set decoded at once): a sound
  // volume is sound for all of them, and asking again for a faulty one (a
  // retry) checks it again.
  VolumeFault Check(const std::string& name);

 private:
  struct Pool;
  static void CheckThread(void* self);

  std::string folder_;
  std::vector<VolumeExpectation> volumes_;
  unsigned threads_;
  std::unique_ptr<Pool> pool_;
};
