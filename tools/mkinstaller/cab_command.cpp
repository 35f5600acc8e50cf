// "mkinstaller cab": lists a cabinet, or extracts it through the installer's
// own extraction path (the same callbacks, checks and progress values).
//
//   mkinstaller cab list FILE.cab
//   mkinstaller cab extract FILE.cab DIR [--prefix PREFIX]
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cabinet/cab_extract.h"
#include "cabinet/cab_file_io.h"
#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"
#include "tools/mkinstaller/subcommand.h"

namespace {

const char kUsage[] =
    "usage: mkinstaller cab list FILE.cab\n"
    "       mkinstaller cab extract FILE.cab DIR [--prefix PREFIX]\n"
    "\n"
    "list     prints size, date, time, attributes and name of every entry\n"
    "extract  writes the entries whose names begin with PREFIX (default: all)\n"
    "         under DIR, without the prefix, as the installer does\n";

int Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "mkinstaller cab: %s\n", problem);
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

void* Alloc(uint32_t size) { return ::operator new(size ? size : 1, std::nothrow); }
void Free(void* block) { ::operator delete(block); }

intptr_t ListNotify(fdi::NotificationType type, fdi::Notification* n) {
  if (type != fdi::kCopyFile) return 0;
  const unsigned date = n->date, time = n->time, a = n->attribs;
  char attributes[6] = {
      (a & cab::kAttribReadOnly) ? 'r' : '-', (a & cab::kAttribHidden) ? 'h' : '-',
      (a & cab::kAttribSystem) ? 's' : '-',   (a & cab::kAttribArchive) ? 'a' : '-',
      (a & cab::kAttribExecute) ? 'x' : '-',  '\0'};
  std::printf("%12" PRId64 " %04u-%02u-%02u %02u:%02u:%02u %s %s\n", n->size, (date >> 9) + 1980, (date >> 5) & 15,
              date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2, attributes, n->name1);
  return 0;  // listed, not extracted
}

int List(const std::string& cabinet) {
  fdi::ErrorRecord error;
  fdi::Context* context = fdi::FDICreate(Alloc, Free, cab::io::EngineOpen, cab::io::EngineRead,
                                         cab::io::EngineWrite, cab::io::EngineClose, cab::io::EngineSeek, fdi::kCpu80386, &error);
  if (!context) {
    std::fprintf(stderr, "mkinstaller cab: cannot create the cabinet engine\n");
    return kExitFailure;
  }
  bool ok = fdi::FDICopy(context, cabinet.c_str(), "", 0, ListNotify, nullptr, nullptr);
  fdi::FDIDestroy(context);
  if (!ok) {
    std::string reason = fdi::ErrorText(error.code);
    if (!error.detail.empty()) reason += ": " + error.detail;
    std::fprintf(stderr, "mkinstaller cab: cannot list '%s': %s\n", cabinet.c_str(), reason.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int Extract(const std::string& cabinet, std::string destination, const std::string& prefix) {
  int64_t length = -1;
  fdi::Handle h = cab::io::Open(cabinet.c_str(), fdi::kOpenBinary | fdi::kOpenReadOnly, 0);
  if (h != -1) {
    length = cab::io::Seek(h, 0, 2);
    cab::io::Close(h);
  }
  if (length < 0) {
    std::fprintf(stderr, "mkinstaller cab: cannot open '%s'\n", cabinet.c_str());
    return kExitFailure;
  }
  if (destination.empty()) destination = ".";
  if (destination.back() != '/' && destination.back() != '\\') destination += '/';

  // Counts the files written; the percentages are of no use here.
  struct FileCounter : ExtractionProgress {
    size_t files = 0;
    void FileCreated(const std::string&) override { ++files; }
  } counter;
  ExtractionRequest request;
  request.cabinetPath = cabinet;
  request.prefix = prefix;
  request.destination = destination;
  const ExtractionResult result = ExtractCabinet(request, counter);
  if (!result.ok()) {
    std::fprintf(stderr, "mkinstaller cab: extraction failed: %s\n", result.error.c_str());
    return kExitFailure;
  }
  std::printf("%zu files, %" PRId64 " bytes extracted to %s\n", counter.files, result.totalBytes,
              destination.c_str());
  return kExitOk;
}

}  // namespace

int CabCommand(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc < 2) return Usage("missing action");
  const std::string action = argv[1];
  if (action == "list") {
    if (argc != 3) return Usage("list takes one cabinet");
    return List(argv[2]);
  }
  if (action == "extract") {
    std::string prefix;
    std::string positional[2];
    int count = 0;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--prefix") == 0) {
        if (i + 1 >= argc) return Usage("--prefix needs a value");
        prefix = argv[++i];
      } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
        return Usage((std::string("unknown option '") + argv[i] + "'").c_str());
      } else {
        if (count == 2) return Usage("too many arguments");
        positional[count++] = argv[i];
      }
    }
    if (count != 2) return Usage("extract takes a cabinet and a destination folder");
    return Extract(positional[0], positional[1], prefix);
  }
  return Usage(("unknown action '" + action + "'").c_str());
}

int ExtractCabinetEntries(const std::string& cabinet, const std::string& destination) {
  return Extract(cabinet, destination, std::string());
}
