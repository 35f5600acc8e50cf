#include "cabinet/volume_check.h"

#include <cstdlib>

#include "base/thread_primitives.h"
#include "cabinet/cab_file_io.h"

namespace {

constexpr uint32_t kHashPiece = 1024 * 1024;

struct FaultText {
  VolumeFault fault;
  const char* text;
};
constexpr FaultText kFaultTexts[] = {
    {VolumeFault::kNone, "in order"},
    {VolumeFault::kNotListed, "not part of this installer"},
    {VolumeFault::kMissing, "missing"},
    {VolumeFault::kWrongSize, "of the wrong size (cut short or another file)"},
    {VolumeFault::kWrongContents, "damaged or replaced (its contents differ)"},
    {VolumeFault::kStopped, "not checked to the end"},
};

}  // namespace

const char* VolumeFaultText(VolumeFault fault) {
  for (const FaultText& t : kFaultTexts)
    if (t.fault == fault) return t.text;
  return "unknown";
}

VolumeFault CheckVolumeFile(const std::string& path, const VolumeExpectation& expected,
                            const std::atomic<bool>* stop) {
  const fdi::Handle h = cab::io::Open(path.c_str(), fdi::kOpenBinary | fdi::kOpenReadOnly, 0);
  if (h == -1) return VolumeFault::kMissing;
  VolumeFault fault = VolumeFault::kNone;
  uint8_t* piece = static_cast<uint8_t*>(std::malloc(kHashPiece));
  if (cab::io::Seek(h, 0, 2) != expected.size || cab::io::Seek(h, 0, fdi::kSeekStart) != 0) {
    fault = VolumeFault::kWrongSize;
  } else if (!piece) {
    fault = VolumeFault::kStopped;
  } else {
    base::Sha256 hash;
    int64_t done = 0;
    while (done < expected.size) {
      if (stop && *stop) {
        fault = VolumeFault::kStopped;
        break;
      }
      const uint32_t got = cab::io::Read(h, piece, kHashPiece);
      if (got == 0xFFFFFFFFu || got == 0) break;
      hash.Update(piece, got);
      done += got;
    }
    if (fault == VolumeFault::kNone)
      fault = done != expected.size ? VolumeFault::kWrongSize
              : hash.Finish() != expected.sha256 ? VolumeFault::kWrongContents
                                                 : VolumeFault::kNone;
  }
  std::free(piece);
  cab::io::Close(h);
  return fault;
}

struct VolumeChecker::Ahead {
  base::Thread thread;
  std::atomic<bool> stop{false};
  std::string path;
  const VolumeExpectation* expected = nullptr;
  size_t index = 0;
  VolumeFault fault = VolumeFault::kStopped;
  static void Body(void* self) {
    Ahead& a = *static_cast<Ahead*>(self);
    a.fault = CheckVolumeFile(a.path, *a.expected, &a.stop);
  }
};

VolumeChecker::VolumeChecker(const std::string& folder, const std::vector<VolumeExpectation>& volumes)
    : folder_(folder), volumes_(volumes) {}

VolumeChecker::~VolumeChecker() {
  if (!ahead_) return;
  ahead_->stop = true;
  ahead_->thread.Join();
}

void VolumeChecker::Start() {
  if (!volumes_.empty()) StartAhead(0);
}

void VolumeChecker::StartAhead(size_t index) {
  ahead_.reset(new Ahead);
  ahead_->path = folder_ + volumes_[index].name;
  ahead_->expected = &volumes_[index];
  ahead_->index = index;
  // Without a thread the volume is checked when it is asked for.
  if (!ahead_->thread.Start(Ahead::Body, ahead_.get())) ahead_.reset();
}

bool VolumeChecker::TakeAhead(size_t index, VolumeFault* fault) {
  if (!ahead_) return false;
  ahead_->thread.Join();
  const bool hit = ahead_->index == index && ahead_->fault != VolumeFault::kStopped;
  *fault = ahead_->fault;
  ahead_.reset();
  return hit;
}

VolumeFault VolumeChecker::Check(const std::string& name) {
  size_t index = 0;
  while (index < volumes_.size() && volumes_[index].name != name) ++index;
  if (index == volumes_.size()) return VolumeFault::kNotListed;
  VolumeFault fault = VolumeFault::kNone;
  if (!TakeAhead(index, &fault)) fault = CheckVolumeFile(folder_ + name, volumes_[index]);
  if (fault == VolumeFault::kNone && index + 1 < volumes_.size()) StartAhead(index + 1);
  return fault;
}
