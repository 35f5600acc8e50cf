#include "cabinet/cab_extract.h"

#include <cstdlib>
#include <set>

#include "cabinet/cab_file_io.h"
#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"
#include "base/string_utils.h"

namespace {

constexpr int64_t kSpaceUnit = 32768;

// The values of the extraction in progress (or the last one).
struct Extraction {
  ExtractionRequest request;
  ExtractionProgress* progress = nullptr;
  bool counting = false;
  int64_t required_space = 0;
  int64_t total_bytes = 0;
  int64_t overall_written = 0;
  int64_t current_size = 0;
  int64_t current_written = 0;
  int64_t recorded_file_length = 0;  // set once the cabinet was opened inside a larger file
  std::string current_output;
  std::string error;
  // Folders made (or found) by this extraction: each is created once, not
  // once per file in it.
  std::set<std::string> made_folders;
};

Extraction& State() {
  static Extraction state;
  return state;
}

void* AllocCallback(uint32_t size) { return std::malloc(size ? size : 1); }
void FreeCallback(void* block) { std::free(block); }

fdi::Handle OpenCallback(const char* path, int flags, int permission) {
  Extraction& x = State();
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
  if (!create && h != -1 && (x.request.cabinetOffset != 0 || x.recorded_file_length != 0)) {
    // The cabinet lies inside the installer's file: the engine sees it as a
    // file of its own that starts at position 0.
    x.recorded_file_length = cab::io::Seek(h, 0, 2);
    cab::io::Seek(h, x.request.cabinetOffset, fdi::kSeekStart);
  }
  return h;
}

uint32_t ReadCallback(fdi::Handle h, void* buffer, uint32_t count) { return cab::io::Read(h, buffer, count); }

uint32_t WriteCallback(fdi::Handle h, const void* buffer, uint32_t count) {
  Extraction& x = State();
  uint32_t n = cab::io::Write(h, buffer, count);
  if (n == 0xFFFFFFFFu) return n;
  x.overall_written += n;
  if (x.total_bytes > 0)
    x.progress->OverallPercent(static_cast<int32_t>(static_cast<double>(x.overall_written) * 100.0 / x.total_bytes));
  x.current_written += n;
  if (x.current_size > 0)
    x.progress->FilePercent(static_cast<int32_t>(static_cast<double>(x.current_written) * 100.0 / x.current_size));
  return n;
}

int CloseCallback(fdi::Handle h) { return cab::io::Close(h); }

int64_t SeekCallback(fdi::Handle h, int64_t distance, int origin) {
  Extraction& x = State();
  if (x.recorded_file_length == 0) return cab::io::Seek(h, distance, origin);
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

intptr_t CopyFile(fdi::Notification* n) {
  Extraction& x = State();
  const std::string name = n->name1 ? n->name1 : "";
  if (x.counting) x.required_space += RequiredSpaceForEntry(n->size);
  if (name.compare(0, x.request.prefix.size(), x.request.prefix) != 0) return 0;

  const std::string relative = name.substr(x.request.prefix.size());
  if (!IsSafeEntryPath(relative)) {
    x.error = "Refused cabinet entry '" + name + "': it would be written outside the destination";
    return -1;
  }
  const std::string output = x.request.destination + NativeRelativePath(relative);
  if (output.size() >= kMaxOutputPath) {
    x.error = "Refused cabinet entry '" + name + "': output path too long '" + output + "'";
    return -1;
  }
  if (x.counting) {
    x.total_bytes += n->size;
    return 0;
  }

  x.progress->FileStarted(relative);
  x.current_size = n->size;
  x.current_written = 0;
  x.current_output = output;
  fdi::Handle h = OpenCallback(output.c_str(),
                               fdi::kOpenBinary | fdi::kOpenCreate | fdi::kOpenTruncate | fdi::kOpenWriteOnly |
                                   fdi::kOpenSequential,
                               fdi::kPermissionRead | fdi::kPermissionWrite);
  if (h == -1) {
    x.error = "Unable to create '" + output + "'";
    return -1;
  }
  // Only files that were really created are listed: the uninstaller deletes
  // what the list names.
  x.progress->FileCreated(output);
  return h;
}

intptr_t CloseFileInfo(fdi::Notification* n) {
  Extraction& x = State();
  // Times through the open handle: opening the file again by name would
  // cost more than writing most files.
  cab::io::SetDosFileTime(n->handle, n->date, n->time);
  if (CloseCallback(n->handle) != 0) {
    x.error = "Unable to write '" + x.current_output + "'";
    return 0;
  }
  // A file just created (or truncated) carries the archive attribute alone
  // and is writable: only other values need another call.
  const uint16_t attributes =
      n->attribs & (cab::kAttribReadOnly | cab::kAttribHidden | cab::kAttribSystem | cab::kAttribArchive);
  if (attributes != cab::kAttribArchive) cab::io::SetCabinetAttributes(x.current_output, attributes);
  return 1;
}

intptr_t NotifyCallback(fdi::NotificationType type, fdi::Notification* n) {
  switch (type) {
    case fdi::kCopyFile:
      return CopyFile(n);
    case fdi::kCloseFileInfo:
      return CloseFileInfo(n);
    default:
      return 0;
  }
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

bool ExtractCabinet(const ExtractionRequest& request, ExtractionProgress& progress) {
  Extraction& x = State();
  x.request = request;
  x.progress = &progress;
  x.required_space = 0;
  x.total_bytes = 0;
  x.overall_written = 0;
  x.current_size = 0;
  x.current_written = 0;
  x.error.clear();
  x.made_folders.clear();

  fdi::ErrorRecord error;
  fdi::Context* context = fdi::FDICreate(AllocCallback, FreeCallback, OpenCallback, ReadCallback, WriteCallback,
                                         CloseCallback, SeekCallback, fdi::kCpu80386, &error);
  if (!context) {
    x.error = "Unable to create the cabinet engine";
    return false;
  }

  std::string folder, name;
  const size_t slash = request.cabinetPath.rfind('\\');
  if (slash == std::string::npos) {
    name = request.cabinetPath;
  } else {
    folder = request.cabinetPath.substr(0, slash + 1);
    name = request.cabinetPath.substr(slash + 1);
  }

  for (bool counting : {true, false}) {
    x.counting = counting;
    if (!fdi::FDICopy(context, name.c_str(), folder.c_str(), 0, NotifyCallback, nullptr, nullptr)) {
      std::string reason = fdi::ErrorText(error.code);
      if (!error.detail.empty()) reason += ": " + error.detail;
      x.error = x.error.empty() ? "Cabinet '" + request.cabinetPath + "': " + reason : x.error;
      x.counting = false;
      fdi::FDIDestroy(context);
      return false;
    }
  }
  x.counting = false;
  return fdi::FDIDestroy(context);
}

int64_t CabinetRequiredSpace() { return State().required_space; }
int64_t CabinetTotalBytes() { return State().total_bytes; }
const std::string& CabinetExtractionError() { return State().error; }
