// Decompression throughput of the cabinet engine, for bench/cab_decode.sh,
// which runs it beside cabextract and 7z on the same cabinets.
//
//   cab_decode_bench test CABINET [REPEAT]    decode every entry, write nothing
//   cab_decode_bench extract CABINET DIR [THREADS]
//                                             the installer's extraction path,
//                                             THREADS folders at once (0: one
//                                             per processor, the default)
//   cab_decode_bench make-lzx OUT.cab WINDOW_BITS FILE...
//                                             pack files into one LZX folder
//   cab_decode_bench make-lzx-folders OUT.cab WINDOW_BITS FOLDER_MB FILE...
//                                             a new LZX folder whenever the
//                                             current one holds FOLDER_MB
//
// test and extract print "<seconds> <uncompressed bytes>" for the best run.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cabinet/cab_extract.h"
#include "cabinet/cab_file_io.h"
#include "cabinet/cab_writer.h"
#include "cabinet/fdi.h"

namespace {

int64_t g_bytes = 0;

void* Alloc(uint32_t size) { return std::malloc(size ? size : 1); }
void Free(void* p) { std::free(p); }
// Output goes nowhere: only the decoding is timed.
uint32_t DiscardWrite(void*, fdi::Handle, const void*, uint32_t count) {
  g_bytes += count;
  return count;
}
intptr_t DecodeAll(fdi::NotificationType type, fdi::Notification*) {
  if (type == fdi::kCopyFile) return 1;        // any handle other than 0 and -1
  if (type == fdi::kCloseFileInfo) return 1;
  return 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Test(const char* cabinet, int repeat) {
  double best = 1e30;
  for (int i = 0; i < repeat; ++i) {
    fdi::ErrorRecord error;
    fdi::Context* ctx = fdi::FDICreate(Alloc, Free, cab::io::EngineOpen, cab::io::EngineRead, DiscardWrite,
                                       cab::io::EngineClose, cab::io::EngineSeek, fdi::kCpu80386, &error);
    g_bytes = 0;
    auto start = std::chrono::steady_clock::now();
    bool ok = ctx && fdi::FDICopy(ctx, cabinet, "", 0, DecodeAll, nullptr, nullptr);
    double t = Seconds(start);
    if (ctx) fdi::FDIDestroy(ctx);
    if (!ok) {
      std::fprintf(stderr, "cab_decode_bench: %s: %s\n", cabinet, fdi::ErrorText(error.code));
      return 1;
    }
    if (t < best) best = t;
  }
  std::printf("%.6f %" PRId64 "\n", best, g_bytes);
  return 0;
}

int Extract(const char* cabinet, const std::string& dir, unsigned threads) {
  ExtractionRequest request;
  request.cabinetPath = cabinet;
  request.destination = dir + "/";
  request.decodeThreads = threads;
  ExtractionProgress ignored;
  auto start = std::chrono::steady_clock::now();
  const ExtractionResult result = ExtractCabinet(request, ignored);
  if (!result.ok()) {
    std::fprintf(stderr, "cab_decode_bench: %s\n", result.error.c_str());
    return 1;
  }
  std::printf("%.6f %" PRId64 "\n", Seconds(start), result.totalBytes);
  return 0;
}

// folder_bytes 0: one folder.
int MakeLzx(const char* out, unsigned bits, int64_t folder_bytes, int count, char** files) {
  cab::CabWriter writer;
  cab::CabFolderOptions options;
  options.compression = cab::CabCompression::kLzx;
  options.lzx_window_bits = bits;
  writer.StartFolder(options);
  int64_t in_folder = 0;
  for (int i = 0; i < count; ++i) {
    if (folder_bytes > 0 && in_folder >= folder_bytes) {
      writer.StartFolder(options);
      in_folder = 0;
    }
    const fdi::Handle h = cab::io::Open(files[i], fdi::kOpenBinary | fdi::kOpenReadOnly, 0);
    if (h != -1) {
      in_folder += cab::io::Seek(h, 0, 2);
      cab::io::Close(h);
    }
    std::string name = files[i];
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (!writer.AddFile(name, files[i], cab::DosDate(2024, 1, 1), cab::DosTime(0, 0, 0), 0x20)) {
      std::fprintf(stderr, "cab_decode_bench: %s\n", writer.error().c_str());
      return 1;
    }
  }
  if (!writer.WriteToFile(out)) {
    std::fprintf(stderr, "cab_decode_bench: %s\n", writer.error().c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "test") == 0)
    return Test(argv[2], argc >= 4 ? std::atoi(argv[3]) : 3);
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "extract") == 0)
    return Extract(argv[2], argv[3], argc == 5 ? static_cast<unsigned>(std::atoi(argv[4])) : 0);
  if (argc >= 5 && std::strcmp(argv[1], "make-lzx") == 0)
    return MakeLzx(argv[2], static_cast<unsigned>(std::atoi(argv[3])), 0, argc - 4, argv + 4);
  if (argc >= 6 && std::strcmp(argv[1], "make-lzx-folders") == 0)
    return MakeLzx(argv[2], static_cast<unsigned>(std::atoi(argv[3])), int64_t{std::atoi(argv[4])} << 20, argc - 5,
                   argv + 5);
  std::fprintf(stderr,
               "usage: cab_decode_bench test CABINET [REPEAT]\n"
               "       cab_decode_bench extract CABINET DIR [THREADS]\n"
               "       cab_decode_bench make-lzx OUT.cab WINDOW_BITS FILE...\n"
               "       cab_decode_bench make-lzx-folders OUT.cab WINDOW_BITS FOLDER_MB FILE...\n");
  return 2;
}
