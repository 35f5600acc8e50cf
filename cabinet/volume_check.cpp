#include "cabinet/volume_check.h"

#include <cstdlib>
#include <utility>

#include "base/thread_primitives.h"
#include "cabinet/cab_file_io.h"

namespace {

constexpr uint32_t kHashPiece = 1024 * 1024;
// More threads than this only add memory: the disk is the limit then.
constexpr unsigned kMaxCheckThreads = 16;

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

// Where each volume's check stands. A thread takes the first waiting
// volume; the extraction takes a verdict (a fault once: a second Check of
// a faulty volume is a retry and checks again; a sound one as often as its
// passes ask).
enum class CheckState { kWaiting, kChecking, kChecked, kTaken };

struct Verdict {
  CheckState state = CheckState::kWaiting;
  VolumeFault fault = VolumeFault::kStopped;
};

struct VolumeChecker::Pool {
  explicit Pool(size_t volumes) : verdicts(volumes) {}
  VolumeChecker* checker = nullptr;
  base::Mutex mutex;
  // The extraction's threads sleep on it while the volume they ask for is
  // being checked; a thread that ends a check then releases it once for
  // each of them.
  base::Semaphore checked{0};
  int waiting = 0;  // guarded by the mutex, as are the verdicts
  std::vector<Verdict> verdicts;
  size_t next = 0;  // no volume before it waits
  std::atomic<bool> stop{false};
  base::Thread threads[kMaxCheckThreads];

  // Records a volume's verdict and wakes every thread waiting for one.
  void Settle(size_t index, VolumeFault fault, CheckState state) {
    int wake;
    {
      base::MutexLock lock(mutex);
      verdicts[index].fault = fault;
      verdicts[index].state = state;
      wake = waiting;
      waiting = 0;
    }
    while (wake-- > 0) checked.Release();
  }
  unsigned thread_count = 0;
};

VolumeChecker::VolumeChecker(const std::string& folder, const std::vector<VolumeExpectation>& volumes,
                             unsigned threads)
    : folder_(folder), volumes_(volumes), threads_(threads ? threads : base::ProcessorsForThreads()) {}

VolumeChecker::~VolumeChecker() {
  if (!pool_) return;
  pool_->stop = true;
  for (unsigned i = 0; i < pool_->thread_count; ++i) pool_->threads[i].Join();
}

void VolumeChecker::Start() {
  if (volumes_.empty() || pool_) return;
  std::unique_ptr<Pool> pool(new Pool(volumes_.size()));
  if (!pool->mutex.Valid() || !pool->checked.Valid()) return;  // each volume is checked when asked for
  pool->checker = this;
  size_t count = threads_ < kMaxCheckThreads ? threads_ : kMaxCheckThreads;
  const unsigned wanted = static_cast<unsigned>(count < volumes_.size() ? count : volumes_.size());
  pool_ = std::move(pool);
  // Only threads that run count: Check waits for them.
  unsigned started = 0;
  for (unsigned i = 0; i < wanted; ++i)
    if (pool_->threads[started].Start(CheckThread, pool_.get())) ++started;
  pool_->mutex.Lock();
  pool_->thread_count = started;
  pool_->mutex.Unlock();
}

void VolumeChecker::CheckThread(void* self) {
  Pool& p = *static_cast<Pool*>(self);
  const VolumeChecker& c = *p.checker;
  for (;;) {
    size_t index;
    {
      base::MutexLock lock(p.mutex);
      while (p.next < p.verdicts.size() && p.verdicts[p.next].state != CheckState::kWaiting) ++p.next;
      if (p.next == p.verdicts.size() || p.stop) return;
      index = p.next++;
      p.verdicts[index].state = CheckState::kChecking;
    }
    p.Settle(index, CheckVolumeFile(c.folder_ + c.volumes_[index].name, c.volumes_[index], &p.stop),
             CheckState::kChecked);
  }
}

VolumeFault VolumeChecker::Check(const std::string& name) {
  size_t index = 0;
  while (index < volumes_.size() && volumes_[index].name != name) ++index;
  if (index == volumes_.size()) return VolumeFault::kNotListed;
  if (!pool_) return CheckVolumeFile(folder_ + name, volumes_[index]);
  Pool& p = *pool_;
  p.mutex.Lock();
  for (;;) {
    Verdict& v = p.verdicts[index];
    // A volume the threads have not reached yet is waited for too: they take
    // the volumes in set order, and a pass that hashed a later volume
    // itself would hold back the earlier ones the install needs first.
    if (v.state == CheckState::kChecking || (v.state == CheckState::kWaiting && p.thread_count > 0)) {
      ++p.waiting;
      p.mutex.Unlock();
      p.checked.Acquire();
      p.mutex.Lock();
      continue;
    }
    // A sound volume stays sound for every pass that reads from it; a
    // fault is told once, and asking again checks again.
    if ((v.state == CheckState::kChecked && v.fault != VolumeFault::kStopped) ||
        (v.state == CheckState::kTaken && v.fault == VolumeFault::kNone)) {
      v.state = CheckState::kTaken;
      const VolumeFault fault = v.fault;
      p.mutex.Unlock();
      return fault;
    }
    v.state = CheckState::kChecking;  // checked here and now; other askers wait for it
    p.mutex.Unlock();
    break;
  }
  const VolumeFault fault = CheckVolumeFile(folder_ + name, volumes_[index]);
  p.Settle(index, fault, CheckState::kTaken);
  return fault;
}
