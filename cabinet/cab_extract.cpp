#include "cabinet/cab_extract.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "cabinet/cab_extract_folders.h"
#include "cabinet/cab_file_io.h"
#include "cabinet/cab_format.h"
#include "cabinet/cab_parts.h"
#include "cabinet/fdi.h"
#include "cabinet/volume_check.h"
#include "base/string_utils.h"

namespace {

constexpr int64_t kSpaceUnit = 32768;

// The values of one extraction, for its callbacks (their context).
struct Extraction {
  Extraction(const ExtractionRequest& r, ExtractionProgress& p, ExtractionResult& out)
      : request(r), progress(p), result(out) {}
  const ExtractionRequest& request;
  ExtractionProgress& progress;
  ExtractionResult& result;
  bool counting = false;
  int64_t overall_written = 0;
  int64_t current_size = 0;
  int64_t current_written = 0;
  // Handles on the installer's file, where the cabinet starts at
  // request.cabinetOffset (the volumes beside it start at 0).
  std::set<fdi::Handle> embedded;
  std::string current_output;
  bool current_open = false;          // current_output is created but not yet complete
  std::set<std::string> folded_names; // entry names under the prefix, lower-cased
  // Folders made (or found) by this extraction: each is created once, not
  // once per file in it.
  std::set<std::string> made_folders;

  // An installer shipped as a set.
  std::unique_ptr<VolumeChecker> volumes;  // while the writing pass follows the set
  bool reached_volume = false;             // the copy went on past the first cabinet
  // Files stored in parts: part count and (from the counting pass) the
  // joined size, by entry name without the part suffix.
  std::map<std::string, uint32_t> part_counts;
  std::map<std::string, int64_t> joined_sizes;
  // The part being written: its joined file and number (0: not a part).
  std::string current_joined;
  uint32_t current_part = 0;
  fdi::Handle joined_handle = -1;  // the joined file, open between its parts

  // Folder by folder (cab_extract_folders.h). Counting: the plan, usable
  // when each folder's selected entries follow each other in one cabinet
  // and none is a part.
  std::vector<FolderPass> plan;
  bool plan_usable = true;
  int64_t plan_last_index = -1;  // the last selected entry's number in the table
  // Writing: only this folder's entries, the walk started at its first
  // one; stop ends the pass.
  const FolderPass* pass = nullptr;
  const std::atomic<bool>* stop = nullptr;
  // Writing in one pass: the walk ends after the last selected entry.
  int64_t walk_entries = -1;

  void Fail(ExtractionFailure failure, const std::string& error) {
    result.failure = failure;
    result.error = error;
  }
};

void* AllocCallback(uint32_t size) { return std::malloc(size ? size : 1); }
void FreeCallback(void* block) { std::free(block); }

fdi::Handle OpenCallback(void* context, const char* path, int flags, int permission) {
  Extraction& x = *static_cast<Extraction*>(context);
  const bool create = (flags & fdi::kOpenCreate) != 0;
  if (create) {
    // Every folder on the way to the file, from the first separator on;
    // existing ones and drive names simply fail to be created again.
    const std::string p = path;
    const std::string folder = GetDirectory(p);
    if (!folder.empty() && x.made_folders.insert(folder).second) MakeDirectories(folder);
    cab::io::MakeReplaceable(p);
    flags |= fdi::kOpenTruncate;
  }
  fdi::Handle h = cab::io::Open(path, flags, permission);
  if (!create && h != -1 && x.request.cabinetOffset != 0 && x.request.cabinetPath == path) {
    // The cabinet lies inside the installer's file: the engine sees it as a
    // file of its own that starts at position 0.
    x.embedded.insert(h);
    cab::io::Seek(h, x.request.cabinetOffset, fdi::kSeekStart);
  }
  return h;
}

uint32_t ReadCallback(void*, fdi::Handle h, void* buffer, uint32_t count) { return cab::io::Read(h, buffer, count); }

uint32_t WriteCallback(void* context, fdi::Handle h, const void* buffer, uint32_t count) {
  Extraction& x = *static_cast<Extraction*>(context);
  if (x.stop && *x.stop) return 0xFFFFFFFFu;
  uint32_t n = cab::io::Write(h, buffer, count);
  if (n == 0xFFFFFFFFu) return n;
  x.overall_written += n;
  const int64_t total = x.result.totalBytes;
  if (total > 0) x.progress.OverallPercent(ProgressPercent(x.overall_written, total));
  x.current_written += n;
  if (x.current_size > 0) x.progress.FilePercent(ProgressPercent(x.current_written, x.current_size));
  return n;
}

int CloseCallback(void* context, fdi::Handle h) {
  Extraction& x = *static_cast<Extraction*>(context);
  x.embedded.erase(h);
  // The engine closes an output itself when writing it failed.
  if (h == x.joined_handle) x.joined_handle = -1;
  return cab::io::Close(h);
}

int64_t SeekCallback(void* context, fdi::Handle h, int64_t distance, int origin) {
  const Extraction& x = *static_cast<const Extraction*>(context);
  if (!x.embedded.count(h)) return cab::io::Seek(h, distance, origin);
  const int64_t offset = x.request.cabinetOffset;
  int64_t position = origin == fdi::kSeekStart ? cab::io::Seek(h, distance + offset, fdi::kSeekStart)
                                               : cab::io::Seek(h, distance, origin);
  return position < 0 ? -1 : position - offset;
}

// The destination-relative path of an entry in the platform's form.
std::string NativeRelativePath(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if (c == '\\' || c == '/') c = kPathSeparator;
  return out;
}

// Whether name is part `*part` of a file the request joins (its name in
// *joined); false for any other entry.
bool IsPart(const Extraction& x, const std::string& name, std::string* joined, uint32_t* part) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 4 > name.size()) return false;
  const auto it = x.part_counts.find(name.substr(0, dot));
  if (it == x.part_counts.end()) return false;
  uint32_t number = 0;
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000000u) return false;
    number = number * 10 + static_cast<uint32_t>(name[i] - '0');
  }
  if (number == 0 || number > it->second || cab::PartEntryName(it->first, number, it->second) != name) return false;
  *joined = it->first;
  *part = number;
  return true;
}

// Whether the request selects an entry (its full name, prefix included).
bool IsSelected(const Extraction& x, const std::string& name) {
  return !x.request.select || x.request.select(name.substr(x.request.prefix.size()));
}

// Counting: the selected entry in the plan of folders.
void AddToPlan(Extraction& x, const fdi::Notification* n, uint32_t part) {
  x.plan_last_index = n->entryIndex;
  if (part != 0 || n->folderIndex >= cab::kFolderContinuedFromPrev) x.plan_usable = false;
  if (!x.plan.empty() && x.plan.back().folder == n->folderIndex) {
    x.plan.back().entryCount = n->entryIndex - x.plan.back().firstIndex + 1;
    return;
  }
  for (const FolderPass& p : x.plan)
    if (p.folder == n->folderIndex) x.plan_usable = false;  // its entries do not follow each other
  FolderPass p;
  p.folder = n->folderIndex;
  p.firstPosition = n->entryPosition;
  p.firstIndex = n->entryIndex;
  p.entryCount = 1;
  p.bytesBefore = x.result.totalBytes;
  x.plan.push_back(p);
}

intptr_t CopyFile(Extraction& x, fdi::Notification* n) {
  if (x.stop && *x.stop) return -1;
  std::string name = n->name1 ? n->name1 : "";
  if (x.counting) x.result.requiredSpace += RequiredSpaceForEntry(n->size);
  if (name.compare(0, x.request.prefix.size(), x.request.prefix) != 0) return 0;
  if (x.pass && n->folderIndex != x.pass->folder) return 0;

  std::string joined;
  uint32_t part = 0;
  bool selected;
  if (IsPart(x, name, &joined, &part)) {
    selected = IsSelected(x, joined);
    if (x.counting) {
      if (selected) {
        x.result.totalBytes += n->size;
        x.joined_sizes[joined] += n->size;
      }
      if (part > 1) return 0;  // the joined name is checked once, below
    } else if (part > 1) {
      if (!selected) return 0;
      // The parts come in order, each right after the one before it.
      if (x.current_joined != joined || x.current_part + 1 != part || x.joined_handle == -1) {
        x.Fail(ExtractionFailure::kCabinet,
               "Cabinet entry '" + name + "' is out of order: the parts of '" + joined + "' must follow each other");
        return -1;
      }
      x.current_part = part;
      return x.joined_handle;
    }
    name = joined;
  } else {
    selected = IsSelected(x, name);
  }

  const std::string relative = name.substr(x.request.prefix.size());
  if (!IsSafeEntryPath(relative)) {
    x.Fail(ExtractionFailure::kEntryRefused,
           "Refused cabinet entry '" + name + "': it would be written outside the destination");
    return -1;
  }
  const std::string output = x.request.destination + NativeRelativePath(relative);
  if (output.size() >= kMaxOutputPath) {
    x.Fail(ExtractionFailure::kEntryRefused,
           "Refused cabinet entry '" + name + "': output path too long '" + output + "'");
    return -1;
  }
  if (x.counting) {
    // Windows would write two names that differ only in case to one file:
    // the second would silently replace the first.
    std::string folded = relative;
    for (char& c : folded) c = c == '/' ? '\\' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
    if (!x.folded_names.insert(folded).second) {
      x.Fail(ExtractionFailure::kEntryRefused,
             "Refused cabinet entry '" + name + "': another entry has the same name");
      return -1;
    }
    if (selected && part <= 1) AddToPlan(x, n, part);
    if (part == 0 && selected) x.result.totalBytes += n->size;
    return 0;
  }

  if (x.joined_handle != -1) {
    x.Fail(ExtractionFailure::kCabinet,
           "Cabinet entry '" + name + "' comes before the last part of '" + x.current_joined + "'");
    return -1;
  }
  if (!selected) return 0;
  x.progress.FileStarted(relative);
  x.current_size = part ? x.joined_sizes[joined] : n->size;
  x.current_written = 0;
  x.current_output = output;
  x.current_joined = joined;
  x.current_part = part;
  fdi::Handle h = OpenCallback(&x, output.c_str(),
                               fdi::kOpenBinary | fdi::kOpenCreate | fdi::kOpenTruncate | fdi::kOpenWriteOnly |
                                   fdi::kOpenSequential,
                               fdi::kPermissionRead | fdi::kPermissionWrite);
  if (h == -1) {
    x.Fail(ExtractionFailure::kCannotCreateFile, "Unable to create '" + output + "'");
    return -1;
  }
  x.current_open = true;
  if (part) x.joined_handle = h;
  return h;
}

// A file whose data could not be written completely (disk full, damaged
// cabinet) is removed, so that no truncated file is left looking like an
// installed one. Only when it cannot be removed is it listed, so that the
// uninstaller still deletes it.
void DiscardIncompleteFile(Extraction& x) {
  if (!x.current_open) return;
  x.current_open = false;
  if (x.joined_handle != -1) {
    // Stopped between two parts: the engine holds no handle on it.
    cab::io::Close(x.joined_handle);
    x.joined_handle = -1;
  }
  if (std::remove(x.current_output.c_str()) != 0) x.progress.FileCreated(x.current_output);
}

intptr_t CloseFileInfo(Extraction& x, fdi::Notification* n) {
  if (x.current_part != 0) {
    // A part: the joined file stays open for the next one.
    if (x.current_part < x.part_counts[x.current_joined]) return 1;
    x.joined_handle = -1;
  }
  // Times through the open handle: opening the file again by name would
  // cost more than writing most files.
  cab::io::SetDosFileTime(n->handle, n->date, n->time);
  if (cab::io::Close(n->handle) != 0) {
    x.Fail(ExtractionFailure::kCannotWriteFile, "Unable to write '" + x.current_output + "'");
    return 0;
  }
  // Listed once complete: the uninstaller deletes what the list names, and
  // the install log must not name a file that is not all there.
  x.current_open = false;
  x.progress.FileCreated(x.current_output);
  // A file just created (or truncated) carries the archive attribute alone
  // and is writable: only other values need another call.
  const uint16_t attributes =
      n->attribs & (cab::kAttribReadOnly | cab::kAttribHidden | cab::kAttribSystem | cab::kAttribArchive);
  if (attributes != cab::kAttribArchive) cab::io::SetCabinetAttributes(x.current_output, attributes);
  return 1;
}

// A volume of the set is about to be read: checked first, so that nothing
// from a missing or damaged volume is ever written. The user may put it
// right and try again; otherwise the extraction stops before it.
intptr_t NextCabinet(Extraction& x, fdi::Notification* n) {
  x.reached_volume = true;
  if (!x.volumes) return 0;  // counting: only the file tables are read
  const std::string name = n->name1 ? n->name1 : "";
  for (;;) {
    const VolumeFault fault = x.volumes->Check(name);
    if (fault == VolumeFault::kNone) return 0;
    if (!x.progress.RetryVolume(name)) {
      x.Fail(ExtractionFailure::kVolume, "Setup volume '" + name + "' is " + VolumeFaultText(fault));
      return -1;
    }
  }
}

// The walk through the file table: one folder's range, or (one pass) up to
// the last selected entry, so that no folder is decoded past it.
intptr_t Enumerate(Extraction& x, fdi::Notification* n) {
  if (x.pass) {
    n->size = x.pass->firstPosition;
    n->folderIndex = static_cast<uint16_t>(x.pass->entryCount);
  } else if (x.walk_entries >= 0 && x.walk_entries < n->folderIndex) {
    n->folderIndex = static_cast<uint16_t>(x.walk_entries);
  }
  return 0;
}

intptr_t NotifyCallback(fdi::NotificationType type, fdi::Notification* n) {
  Extraction& x = *static_cast<Extraction*>(n->user);
  switch (type) {
    case fdi::kEnumerate:
      return Enumerate(x, n);
    case fdi::kPartialFile:
      x.plan_usable = false;
      return 0;
    case fdi::kCabinetInfo:
      if (n->name1 && *n->name1) x.plan_usable = false;  // one of a set
      return 0;
    case fdi::kCopyFile:
      return CopyFile(x, n);
    case fdi::kCloseFileInfo:
      return CloseFileInfo(x, n);
    case fdi::kNextCabinet:
      return NextCabinet(x, n);
    default:
      return 0;
  }
}

// Forgets what a counting pass found.
void ResetCount(Extraction& x) {
  x.result = ExtractionResult();
  x.folded_names.clear();
  x.joined_sizes.clear();
  x.plan.clear();
  x.plan_usable = true;
  x.plan_last_index = -1;
}

// The cabinet's folder and name, as the engine takes them.
void SplitCabinetPath(const std::string& path, std::string* folder, std::string* name) {
  const size_t slash = path.find_last_of("\\/");
  *folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// A failed copy: the engine's reason unless the callbacks gave one, and no
// incomplete file left behind.
void FailedCopy(Extraction& x, const fdi::ErrorRecord& error) {
  if (x.result.ok()) {
    std::string reason = fdi::ErrorText(error.code);
    if (!error.detail.empty()) reason += ": " + error.detail;
    x.Fail(ExtractionFailure::kCabinet, "Cabinet '" + x.request.cabinetPath + "': " + reason);
  }
  x.counting = false;
  DiscardIncompleteFile(x);
}

fdi::Context* CreateEngine(Extraction& x, fdi::ErrorRecord* error) {
  fdi::Context* context = fdi::FDICreate(AllocCallback, FreeCallback, OpenCallback, ReadCallback, WriteCallback,
                                         CloseCallback, SeekCallback, fdi::kCpu80386, error);
  if (!context) x.Fail(ExtractionFailure::kEngineUnavailable, "Unable to create the cabinet engine");
  return context;
}

// Whether every volume is there with its listed size (not its contents:
// those are checked when the writing pass reaches it).
bool AllVolumesPresent(const std::string& folder, const std::vector<VolumeExpectation>& volumes) {
  for (const VolumeExpectation& v : volumes) {
    const fdi::Handle h = cab::io::Open((folder + v.name).c_str(), fdi::kOpenBinary | fdi::kOpenReadOnly, 0);
    if (h == -1) return false;
    const int64_t size = cab::io::Seek(h, 0, 2);
    cab::io::Close(h);
    if (size != v.size) return false;
  }
  return true;
}

// Windows opens a device, not a file, for these names in any folder and
// with any extension ("nul.txt", "COM1.log").
bool IsDeviceName(const std::string& part) {
  std::string base = Upper(part.substr(0, part.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* d : kDevices)
    if (base == d) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '0' && base[3] <= '9';
}

}  // namespace

int32_t ProgressPercent(int64_t done, int64_t total) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  constexpr int64_t kLimit = INT64_MAX / 100;
  const int64_t percent = done < kLimit ? done * 100 / total : done / (total / 100);
  return static_cast<int32_t>(percent > 99 ? 99 : percent);  // 100 only when done
}

int64_t RequiredSpaceForEntry(int64_t size) { return (size + kSpaceUnit) / kSpaceUnit * kSpaceUnit; }

bool IsSafeEntryPath(const std::string& relative_name) {
  if (relative_name.empty()) return false;
  size_t start = 0;
  for (;;) {
    size_t end = relative_name.find_first_of("\\/", start);
    const std::string part = relative_name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty()) return false;  // leading, doubled or trailing separator
    bool only_dots_and_spaces = true;
    for (char c : part) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || c == ':') return false;
      if (c != '.' && c != ' ') only_dots_and_spaces = false;
    }
    // ".", ".." and what Windows trims down to them ("...", ". .").
    if (only_dots_and_spaces || IsDeviceName(part)) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

ExtractionResult ExtractFolderPass(const ExtractionRequest& request, ExtractionProgress& progress,
                                   const FolderPass& pass, int64_t total_bytes, const std::atomic<bool>& stop) {
  ExtractionResult result;
  Extraction x(request, progress, result);
  x.pass = &pass;
  x.stop = &stop;
  x.overall_written = pass.bytesBefore;
  fdi::ErrorRecord error;
  fdi::Context* context = CreateEngine(x, &error);
  if (!context) return result;
  result.totalBytes = total_bytes;
  std::string folder, name;
  SplitCabinetPath(request.cabinetPath, &folder, &name);
  if (!fdi::FDICopy(context, name.c_str(), folder.c_str(), 0, NotifyCallback, nullptr, &x)) FailedCopy(x, error);
  fdi::FDIDestroy(context);
  return result;
}

ExtractionResult ExtractCabinet(const ExtractionRequest& request, ExtractionProgress& progress) {
  ExtractionResult result;
  Extraction x(request, progress, result);

  fdi::ErrorRecord error;
  fdi::Context* context = CreateEngine(x, &error);
  if (!context) return result;
  std::string folder, name;
  SplitCabinetPath(request.cabinetPath, &folder, &name);

  for (const JoinedFile& j : request.joinedFiles) x.part_counts[j.name] = j.parts;
  // A set is counted whole when its volumes are all there and readable
  // (their contents are checked later, before the writing pass reads from
  // them); otherwise the count stops at the first cabinet and the writing
  // pass meets the faulty volume and asks for it.
  const bool set = !request.volumes.empty();
  const bool count_set = set && AllVolumesPresent(folder, request.volumes);
  for (bool counting : {true, false}) {
    x.counting = counting;
    const bool follow = counting ? count_set : set && request.entriesInVolumes;
    if (!counting && follow) {
      x.volumes.reset(new VolumeChecker(folder, request.volumes));
      x.volumes->Start();
    }
    if (!counting && !set) {
      // One cabinet: folders decoded at once where the plan allows, else
      // one pass that ends after the last selected entry.
      const unsigned threads = FolderThreads(request);
      if (threads > 1 && x.plan_usable && x.plan.size() > 1) {
        fdi::FDIDestroy(context);
        if (ExtractFoldersAtOnce(request, progress, x.plan, threads, &result)) return result;
        context = CreateEngine(x, &error);
        if (!context) return result;
      }
      x.walk_entries = x.plan_last_index + 1;
    }
    x.reached_volume = false;
    const int flags = follow ? fdi::kCopyFollowSet : 0;
    bool copied = fdi::FDICopy(context, name.c_str(), folder.c_str(), flags, NotifyCallback, nullptr, &x);
    if (counting && !copied && x.reached_volume) {
      ResetCount(x);
      copied = fdi::FDICopy(context, name.c_str(), folder.c_str(), 0, NotifyCallback, nullptr, &x);
    }
    if (copied && x.joined_handle != -1)
      x.Fail(ExtractionFailure::kCabinet, "The last part of '" + x.current_joined + "' is missing");
    if (!copied || x.joined_handle != -1) {
      FailedCopy(x, error);
      x.volumes.reset();
      fdi::FDIDestroy(context);
      return result;
    }
  }
  x.volumes.reset();
  fdi::FDIDestroy(context);
  return result;
}
