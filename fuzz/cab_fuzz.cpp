// libFuzzer target: a whole cabinet through the engine (header, reserved
// areas, neighbour names, folder and file tables, data blocks, checksums,
// every decoder), every entry extracted to a sink that only counts, and every
// entry name put through the extraction's path check.
#include <cstdlib>
#include <cstring>
#include <map>

#include "cabinet/cab_extract.h"
#include "cabinet/fdi.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;
std::map<intptr_t, int64_t> g_positions;  // open cabinet handles
intptr_t g_next = 10;
const intptr_t kSink = 3;

void* Alloc(uint32_t size) { return std::malloc(size ? size : 1); }
void Free(void* p) { std::free(p); }
fdi::Handle Open(void*, const char*, int, int) {
  g_positions[g_next] = 0;
  return g_next++;
}
uint32_t Read(void*, fdi::Handle h, void* buffer, uint32_t count) {
  int64_t& pos = g_positions.at(h);
  if (pos >= static_cast<int64_t>(g_size)) return 0;
  uint32_t n = static_cast<uint32_t>(std::min<int64_t>(count, static_cast<int64_t>(g_size) - pos));
  std::memcpy(buffer, g_data + pos, n);
  pos += n;
  return n;
}
uint32_t Write(void*, fdi::Handle h, const void*, uint32_t count) {
  if (h != kSink) std::abort();  // the engine may only write to the sink
  return count;
}
int Close(void*, fdi::Handle h) {
  if (h == kSink) return 0;
  if (g_positions.erase(h) != 1) std::abort();  // closed twice or never opened
  return 0;
}
int64_t Seek(void*, fdi::Handle h, int64_t distance, int origin) {
  int64_t& pos = g_positions.at(h);
  int64_t p = origin == fdi::kSeekStart ? distance : pos + distance;
  if (p < 0) return -1;
  pos = p;
  return p;
}
intptr_t Notify(fdi::NotificationType type, fdi::Notification* n) {
  if (type == fdi::kCopyFile) {
    IsSafeEntryPath(n->name1);
    return kSink;
  }
  return type == fdi::kCloseFileInfo ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  fdi::ErrorRecord error;
  fdi::Context* ctx = fdi::FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, fdi::kCpu80386, &error);
  fdi::FDICopy(ctx, "fuzz.cab", "", 0, Notify, nullptr, nullptr);
  fdi::FDIDestroy(ctx);
  if (!g_positions.empty()) std::abort();  // a cabinet handle was left open
  return 0;
}
