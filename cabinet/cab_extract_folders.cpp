#include "cabinet/cab_extract_folders.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "base/thread_primitives.h"

namespace {

// More threads than this gain nothing on a disk and only add memory.
constexpr unsigned kMaxFolderThreads = 16;

// What a folder's pass told its progress, held until the caller's thread
// hands it on.
struct Report {
  enum Kind { kOverall, kFile, kStarted, kCreated } kind;
  int32_t percent;
  std::string text;
};

struct FolderJob {
  const FolderPass* pass = nullptr;
  std::vector<Report> reports;  // not yet handed on; guarded by the mutex
  bool finished = false;
  PassOutcome outcome;
};

// The run-wide values of one extraction's folder threads.
struct Folders {
  Folders(const ExtractionRequest& r, const PassShared& s, unsigned threads)
      : request(r), shared(s), window(static_cast<int>(2 * threads)) {}
  const ExtractionRequest& request;
  const PassShared& shared;
  std::vector<FolderJob> jobs;
  base::Mutex mutex;
  // The caller's thread sleeps on wake while the folder it hands on has
  // nothing new; a thread releases it once when it adds something then.
  base::Semaphore wake{0};
  bool caller_waiting = false;
  // A thread takes a token before it starts a folder and the caller's
  // thread gives it back once that folder is handed on: no thread runs
  // more than twice the thread count of folders ahead of the reports.
  base::Semaphore window;
  size_t next_job = 0;
  std::atomic<bool> stop{false};

  // Under the mutex: wakes the caller's thread if it waits.
  bool TakeWaiter() {
    const bool waiting = caller_waiting;
    caller_waiting = false;
    return waiting;
  }
};

// Holds a folder pass's reports for the caller's thread. A percentage equal
// to the last one of its kind is not held (a pass reports both after every
// write, and each report held wakes the caller's thread), and consecutive
// percentages of one kind keep only the latest: what is held grows with the
// files, not with the bytes.
class HeldProgress : public ExtractionProgress {
 public:
  HeldProgress(Folders& f, FolderJob& job) : f_(f), job_(job) {}
  void OverallPercent(int32_t percent) override {
    if (percent == overall_) return;
    overall_ = percent;
    Add(Report::kOverall, percent, std::string());
  }
  void FilePercent(int32_t percent) override {
    if (percent == file_) return;
    file_ = percent;
    Add(Report::kFile, percent, std::string());
  }
  void FileStarted(const std::string& name) override {
    file_ = -1;
    Add(Report::kStarted, 0, name);
  }
  void FileCreated(const std::string& path) override { Add(Report::kCreated, 0, path); }

 private:
  void Add(Report::Kind kind, int32_t percent, const std::string& text) {
    bool wake;
    {
      base::MutexLock lock(f_.mutex);
      std::vector<Report>& held = job_.reports;
      if (kind <= Report::kFile && !held.empty() && held.back().kind == kind)
        held.back().percent = percent;
      else
        held.push_back(Report{kind, percent, text});
      wake = f_.TakeWaiter();
    }
    if (wake) f_.wake.Release();
  }
  Folders& f_;
  FolderJob& job_;
  int32_t overall_ = -1, file_ = -1;  // the last held of each kind
};

void FolderThread(void* argument) {
  Folders& f = *static_cast<Folders*>(argument);
  for (;;) {
    f.window.Acquire();
    if (f.stop) return;
    FolderJob* job;
    {
      base::MutexLock lock(f.mutex);
      if (f.next_job == f.jobs.size()) return;
      job = &f.jobs[f.next_job++];
    }
    HeldProgress held(f, *job);
    PassOutcome outcome = ExtractFolderPass(f.request, held, *job->pass, f.shared, f.stop, PassResume());
    bool wake;
    {
      base::MutexLock lock(f.mutex);
      job->outcome = std::move(outcome);
      job->finished = true;
      wake = f.TakeWaiter();
    }
    if (wake) f.wake.Release();
  }
}

void HandOn(const Report& r, ExtractionProgress& progress) {
  switch (r.kind) {
    case Report::kOverall: progress.OverallPercent(r.percent); break;
    case Report::kFile: progress.FilePercent(r.percent); break;
    case Report::kStarted: progress.FileStarted(r.text); break;
    case Report::kCreated: progress.FileCreated(r.text); break;
  }
}

// Hands on one folder's reports as they come, until its pass has ended;
// false when it failed.
bool HandOnFolder(Folders& f, FolderJob& job, ExtractionProgress& progress) {
  std::vector<Report> batch;
  for (;;) {
    bool finished;
    batch.clear();
    {
      base::MutexLock lock(f.mutex);
      batch.swap(job.reports);
      finished = job.finished;
      if (batch.empty() && !finished) f.caller_waiting = true;
    }
    for (const Report& r : batch) HandOn(r, progress);
    if (batch.empty()) {
      if (finished) return job.outcome.result.ok();
      f.wake.Acquire();
    }
  }
}

// A pass stopped by a faulty volume, on the caller's thread once everything
// before it is handed on: the volume is checked again (the player asked as
// one pass would have asked), and after Retry the rest of the pass is
// written here. False when the volume stayed faulty or the rest failed.
bool TakeUpAfterVolume(Folders& f, FolderJob& job, ExtractionProgress& progress) {
  PassResume resume;
  resume.files = job.outcome.filesDone;
  resume.startReported = job.outcome.inFile;
  resume.volume = job.outcome.volume;
  job.outcome = ExtractFolderPass(f.request, progress, *job.pass, f.shared, f.stop, resume);
  return job.outcome.result.ok();
}

}  // namespace

unsigned FolderThreads(const ExtractionRequest& request) {
  const unsigned n = request.decodeThreads ? request.decodeThreads : base::ProcessorsForThreads();
  return n < kMaxFolderThreads ? n : kMaxFolderThreads;
}

bool ExtractFoldersAtOnce(const ExtractionRequest& request, ExtractionProgress& progress,
                          const std::vector<FolderPass>& plan, const PassShared& shared, unsigned threads,
                          ExtractionResult* counted) {
  Folders f(request, shared, threads);
  if (!f.mutex.Valid() || !f.wake.Valid() || !f.window.Valid()) return false;
  f.jobs.resize(plan.size());
  for (size_t i = 0; i < plan.size(); ++i) f.jobs[i].pass = &plan[i];
  std::unique_ptr<base::Thread[]> workers(new base::Thread[threads]);
  unsigned started = 0;
  for (unsigned i = 0; i < threads; ++i)
    if (workers[i].Start(FolderThread, &f)) ++started;
  if (started == 0) return false;

  size_t failed = f.jobs.size();
  for (size_t k = 0; k < f.jobs.size(); ++k) {
    FolderJob& job = f.jobs[k];
    if (!HandOnFolder(f, job, progress) &&
        !(job.outcome.result.volumeFailed() && shared.volumes && TakeUpAfterVolume(f, job, progress))) {
      failed = k;
      break;
    }
    f.window.Release();
  }
  f.stop = true;
  for (unsigned i = 0; i < threads; ++i) f.window.Release();
  for (unsigned i = 0; i < threads; ++i) workers[i].Join();
  if (failed == f.jobs.size()) return true;

  counted->failure = f.jobs[failed].outcome.result.failure;
  counted->error = f.jobs[failed].outcome.result.error;
  // What the folders after the failed one wrote was never reported, and a
  // single pass would not have written it: removed, or (when it cannot be)
  // reported, so that the uninstaller still deletes it.
  for (size_t k = failed + 1; k < f.jobs.size(); ++k)
    for (const Report& r : f.jobs[k].reports)
      if (r.kind == Report::kCreated && std::remove(r.text.c_str()) != 0) progress.FileCreated(r.text);
  return true;
}
