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
  VolumeChecker* volumes = nullptr;  // while the writing pass follows the set
  bool reached_volume = false;       // the copy went on past the first cabinet
  std::string faulty_volume;         // the volume that stopped it
  // Where the walk is in the set: the cabinet whose table it walks (0: the
  // first), whether that table's folder 0 goes on with the last folder of
  // the cabinet before, and the key of that folder (FolderKey).
  uint16_t first_cabinet_index = 0;
  bool seen_cabinet = false;
  uint16_t cabinet = 0;
  bool continues_from_previous = false;
  uint32_t previous_last_key = 0;
  bool table_continues = false;  // a file of this table runs on into the next cabinet
  uint32_t last_key = 0;         // then: the key of the folder it is in
  bool walk_open = false;        // between a table's two kEnumerate notifications
  uint32_t tables_walked = 0;    // by a pass
  // Files stored in parts: part count and (from the counting pass) the
  // joined size, by entry name without the part suffix.
  std::map<std::string, uint32_t> part_counts;
  std::map<std::string, int64_t> joined_sizes;
  const std::map<std::string, int64_t>* joined_totals = &joined_sizes;  // a pass: the count's
  // The part being written: its joined file and number (0: not a part).
  std::string current_joined;
  uint32_t current_part = 0;
  fdi::Handle joined_handle = -1;  // the joined file, open between its parts

  // Folder by folder (cab_extract_folders.h). Counting: the plan, usable
  // when the selected entries of each pass follow each other, and the
  // tables' extents (by cabinet) for passes that walk on through them.
  std::vector<FolderPass> plan;
  std::vector<PassRange> ranges;  // the passes', in order
  bool plan_usable = true;
  int64_t plan_last_index = -1;  // the last selected entry's number in the table
  // Folder keys (FolderKey) grow along the walk: the highest so far, and
  // the first of the last pass (its folders are those from it on).
  uint32_t highest_key = 0;
  uint32_t last_pass_key = 0;
  int64_t compressed_bytes = 0;  // selected bytes in compressed folders
  std::string planned_joined;  // the file in parts the last planned entry is part of
  uint32_t planned_part = 0;
  // Writing: only this pass's entries, each table's walk started at the
  // pass's first one there; stop ends the pass. The first skip_files
  // selected files were written before: passed over.
  const FolderPass* pass = nullptr;
  const PassRange* pass_ranges = nullptr;  // its first range, then pass->rangeCount - 1 more
  const std::atomic<bool>* stop = nullptr;
  uint32_t skip_files = 0;
  std::string skipped_joined;  // a file in parts being passed over
  uint32_t files_done = 0;     // files the pass completed
  bool in_file = false;        // the last file reported started is not complete
  bool start_reported = false; // the first file written was reported started before
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

// A folder's key: the cabinet it begins in and its number there. Folder 0
// of a table that goes on with the last folder of the cabinet before is
// that folder.
uint32_t FolderKey(const Extraction& x, uint16_t cabinet_folder) {
  if (cabinet_folder == 0 && x.continues_from_previous) return x.previous_last_key;
  return uint32_t{x.cabinet} << 16 | cabinet_folder;
}

// A file of this table runs on into the next cabinet, in the given folder.
void NoteContinuation(Extraction& x, uint16_t cabinet_folder) {
  x.table_continues = true;
  x.last_key = FolderKey(x, cabinet_folder);
}

// Counting: the selected entry (a file, or a part of one) in the plan of
// passes; bytes_before: the selected bytes before it.
void AddToPlan(Extraction& x, const fdi::Notification* n, uint32_t part, int64_t bytes_before) {
  x.plan_last_index = n->entryIndex;
  const uint32_t key = FolderKey(x, n->cabinetFolder);
  const bool seen = !x.plan.empty() && key <= x.highest_key;
  if (part > 1 || seen) {
    // More of the last pass: a file's next part, or more of a folder in it.
    if (x.plan.empty() || (seen && key < x.last_pass_key)) {
      x.plan_usable = false;  // the entries of a folder do not follow each other
      return;
    }
  } else {
    // A pass never begins inside a folder begun in an earlier cabinet.
    if (key >> 16 != x.cabinet) {
      x.plan_usable = false;
      return;
    }
    x.plan.emplace_back();
    x.plan.back().bytesBefore = bytes_before;
    x.last_pass_key = key;
  }
  if (key > x.highest_key) x.highest_key = key;
  FolderPass& p = x.plan.back();
  const uint16_t folder = n->cabinetFolder;
  if (p.rangeCount > 0 && x.ranges.back().cabinet == x.cabinet) {
    PassRange& r = x.ranges.back();
    r.firstFolder = std::min(r.firstFolder, folder);
    r.lastFolder = std::max(r.lastFolder, folder);
    r.entryCount = n->entryIndex - r.firstIndex + 1;
    return;
  }
  if (p.rangeCount++ == 0) p.firstRange = static_cast<uint32_t>(x.ranges.size());
  x.ranges.push_back(PassRange{x.cabinet, folder, folder, n->entryPosition, n->entryIndex, 1});
}

// The range of the pass in the cabinet being walked, or null.
const PassRange* RangeHere(const Extraction& x) {
  for (uint32_t i = 0; i < x.pass->rangeCount; ++i)
    if (x.pass_ranges[i].cabinet == x.cabinet) return &x.pass_ranges[i];
  return nullptr;
}

bool PassWrites(const Extraction& x, uint16_t cabinet_folder) {
  const PassRange* r = RangeHere(x);
  return r && cabinet_folder >= r->firstFolder && cabinet_folder <= r->lastFolder;
}

intptr_t CopyFile(Extraction& x, fdi::Notification* n) {
  if (x.stop && *x.stop) return -1;
  std::string name = n->name1 ? n->name1 : "";
  if (x.counting) x.result.requiredSpace += RequiredSpaceForEntry(n->size);
  if (n->folderIndex == cab::kFolderContinuedToNext) NoteContinuation(x, n->cabinetFolder);
  if (name.compare(0, x.request.prefix.size(), x.request.prefix) != 0) return 0;
  if (x.pass && !PassWrites(x, n->cabinetFolder)) return 0;

  std::string joined;
  uint32_t part = 0;
  bool selected;
  if (IsPart(x, name, &joined, &part)) {
    selected = IsSelected(x, joined);
    if (x.counting) {
      if (selected) {
        if (n->folderCompression != 0) x.compressed_bytes += n->size;
        if (part > 1) {
          // In the pass of the part before it, which must come just before.
          if (x.planned_joined != joined || x.planned_part + 1 != part) x.plan_usable = false;
          AddToPlan(x, n, part, x.result.totalBytes);
        }
        x.planned_joined = joined;
        x.planned_part = part;
        x.result.totalBytes += n->size;
        x.joined_sizes[joined] += n->size;
      }
      if (part > 1) return 0;  // the joined name is checked once, below
    } else if (part > 1) {
      if (!selected) return 0;
      if (joined == x.skipped_joined) {
        x.overall_written += n->size;
        return 0;
      }
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
    if (selected && part <= 1) AddToPlan(x, n, part, x.result.totalBytes - (part ? n->size : 0));
    if (selected && part == 0) {
      x.planned_joined.clear();
      x.result.totalBytes += n->size;
      if (n->folderCompression != 0) x.compressed_bytes += n->size;
    }
    return 0;
  }

  if (x.joined_handle != -1) {
    x.Fail(ExtractionFailure::kCabinet,
           "Cabinet entry '" + name + "' comes before the last part of '" + x.current_joined + "'");
    return -1;
  }
  if (!selected) return 0;
  if (x.skip_files > 0) {
    // Written before this pass was stopped: passed over.
    --x.skip_files;
    x.overall_written += n->size;
    if (part) x.skipped_joined = joined;
    return 0;
  }
  if (!x.start_reported) x.progress.FileStarted(relative);
  x.start_reported = false;
  x.in_file = true;
  const auto joined_total = x.joined_totals->find(joined);
  x.current_size = !part ? n->size : joined_total != x.joined_totals->end() ? joined_total->second : 0;
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
  ++x.files_done;
  x.in_file = false;
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
bool CheckVolume(Extraction& x, const std::string& name) {
  for (;;) {
    const VolumeFault fault = x.volumes->Check(name);
    if (fault == VolumeFault::kNone) return true;
    if (!x.progress.RetryVolume(name)) {
      x.faulty_volume = name;
      x.Fail(ExtractionFailure::kVolume, "Setup volume '" + name + "' is " + VolumeFaultText(fault));
      return false;
    }
  }
}

intptr_t NextCabinet(Extraction& x, fdi::Notification* n) {
  x.reached_volume = true;
  const std::string name = n->name1 ? n->name1 : "";
  if (!x.volumes) return 0;  // counting: only the file tables are read
  return CheckVolume(x, name) ? 0 : -1;
}

// A cabinet's table is about to be walked: where the walk is in the set.
void EnterCabinet(Extraction& x, const fdi::Notification* n) {
  if (!x.seen_cabinet) x.first_cabinet_index = n->cabinetIndex;
  x.seen_cabinet = true;
  x.cabinet = static_cast<uint16_t>(n->cabinetIndex - x.first_cabinet_index);
  x.continues_from_previous = x.table_continues;
  x.previous_last_key = x.last_key;
  x.table_continues = false;
  x.walk_open = false;
  // A cabinet that names a next one, outside a set: one pass.
  if (n->name1 && *n->name1 && x.request.volumes.empty()) x.plan_usable = false;
}

// The walk through a file table: one pass's range in it (and on into the
// next cabinet only for more of the pass), or (one pass) up to the last
// selected entry, so that no folder is decoded past it. Counting notes
// where each table lies.
intptr_t Enumerate(Extraction& x, fdi::Notification* n) {
  const bool opening = !x.walk_open;
  x.walk_open = true;
  // A volume that is not where the set's list put it ends the pass.
  if (x.pass && opening && x.cabinet != x.pass_ranges[0].cabinet + x.tables_walked++) return -1;
  if (x.pass) {
    const PassRange& last = x.pass_ranges[x.pass->rangeCount - 1];
    if (!opening) return last.cabinet > x.cabinet ? 0 : 1;
    // Before the pass's last cabinet the walk takes each table to its end,
    // and a table between in full: there the engine learns that the folder
    // goes on (the entries not the pass's are passed over).
    const PassRange* r = RangeHere(x);
    if (r) {
      n->size = r->firstPosition;
      n->folderIndex = static_cast<uint16_t>(r == &last ? r->entryCount : n->folderIndex - r->firstIndex);
    }
  } else if (opening && x.walk_entries >= 0 && x.walk_entries < n->folderIndex) {
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
      if (x.request.volumes.empty()) x.plan_usable = false;  // a cabinet of a set not asked for
      if (n->folderIndex == cab::kFolderContinuedPrevAndNext) NoteContinuation(x, 0);
      return 0;
    case fdi::kCabinetInfo:
      EnterCabinet(x, n);
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
  x.ranges.clear();
  x.plan_usable = true;
  x.plan_last_index = -1;
  x.highest_key = x.last_pass_key = 0;
  x.planned_joined.clear();
  x.compressed_bytes = 0;
}

// Before each walk from the first cabinet: no table seen yet.
void ResetWalk(Extraction& x) {
  x.seen_cabinet = false;
  x.table_continues = false;
  x.last_key = 0;
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

PassOutcome ExtractFolderPass(const ExtractionRequest& request, ExtractionProgress& progress, const FolderPass& pass,
                              const PassShared& shared, const std::atomic<bool>& stop, const PassResume& resume) {
  PassOutcome outcome;
  Extraction x(request, progress, outcome.result);
  x.pass = &pass;
  x.pass_ranges = shared.ranges->data() + pass.firstRange;
  x.stop = &stop;
  x.skip_files = resume.files;
  x.start_reported = resume.startReported;
  x.overall_written = pass.bytesBefore;
  x.volumes = shared.volumes;
  x.joined_totals = shared.joinedSizes;
  for (const JoinedFile& j : request.joinedFiles) x.part_counts[j.name] = j.parts;
  x.first_cabinet_index = shared.firstCabinetIndex;
  x.seen_cabinet = true;
  fdi::ErrorRecord error;
  fdi::Context* context = CreateEngine(x, &error);
  if (!context) return outcome;
  outcome.result.totalBytes = shared.totalBytes;
  std::string folder, name;
  SplitCabinetPath(request.cabinetPath, &folder, &name);
  // The volume that stopped the pass before, and a volume the pass begins
  // in: checked before anything is read, as the walk checks each one it
  // goes on into.
  bool ready = resume.volume.empty() || CheckVolume(x, resume.volume);
  const uint16_t first = x.pass_ranges[0].cabinet;
  if (first > 0) {
    name = request.volumes[first - 1].name;
    ready = ready && x.volumes && CheckVolume(x, name);
  }
  const int flags = request.volumes.empty() ? 0 : fdi::kCopyFollowSet;
  if (ready && !fdi::FDICopy(context, name.c_str(), folder.c_str(), flags, NotifyCallback, nullptr, &x))
    FailedCopy(x, error);
  fdi::FDIDestroy(context);
  outcome.filesDone = x.files_done;
  outcome.inFile = x.in_file;
  outcome.volume = x.faulty_volume;
  return outcome;
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
  bool counted_whole_set = false;
  std::unique_ptr<VolumeChecker> checker;
  for (bool counting : {true, false}) {
    x.counting = counting;
    const bool follow = counting ? count_set : set && request.entriesInVolumes;
    if (!counting && follow) {
      checker.reset(new VolumeChecker(folder, request.volumes));
      checker->Start();
      x.volumes = checker.get();
    }
    if (!counting) {
      // Passes decoded at once where the plan allows (for a set, a plan of
      // the whole set, written where its volumes are checked), else one
      // pass, which in one cabinet ends after the last selected entry.
      const unsigned threads = FolderThreads(request);
      // A set stored for the most part is written in one pass: a stored
      // folder's decoding is a copy, and under emulation passes at once
      // cost more processor time than they save (docs/performance.md).
      const bool worth_it = 2 * x.compressed_bytes >= result.totalBytes;
      if (threads > 1 && x.plan_usable && x.plan.size() > 1 &&
          (!set || (follow && counted_whole_set && worth_it))) {
        PassShared shared;
        shared.totalBytes = result.totalBytes;
        shared.joinedSizes = &x.joined_sizes;
        shared.ranges = &x.ranges;
        shared.volumes = x.volumes;
        shared.firstCabinetIndex = x.first_cabinet_index;
        fdi::FDIDestroy(context);
        if (ExtractFoldersAtOnce(request, progress, x.plan, shared, threads, &result)) {
          result.parallelPasses = x.plan.size();
          return result;
        }
        context = CreateEngine(x, &error);
        if (!context) return result;
      }
      if (!set) x.walk_entries = x.plan_last_index + 1;
    }
    x.reached_volume = false;
    ResetWalk(x);
    const int flags = follow ? fdi::kCopyFollowSet : 0;
    bool copied = fdi::FDICopy(context, name.c_str(), folder.c_str(), flags, NotifyCallback, nullptr, &x);
    if (counting) counted_whole_set = follow && copied;
    if (counting && !copied && x.reached_volume) {
      ResetCount(x);
      ResetWalk(x);
      copied = fdi::FDICopy(context, name.c_str(), folder.c_str(), 0, NotifyCallback, nullptr, &x);
    }
    if (copied && x.joined_handle != -1)
      x.Fail(ExtractionFailure::kCabinet, "The last part of '" + x.current_joined + "' is missing");
    if (!copied || x.joined_handle != -1) {
      FailedCopy(x, error);
      fdi::FDIDestroy(context);
      return result;
    }
  }
  fdi::FDIDestroy(context);
  return result;
}
