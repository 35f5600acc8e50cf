// The writer's cabinets read by the system's own cabinet library (FDI in
// cabinet.dll, loaded at run time), in memory, in the same process that made
// them: every method, every LZX window and level, empty files, dates, times
// and attributes.
#include <windows.h>
#include <fdi.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "tests/cabinet/cab_writer_test_data.h"

namespace {

using writertest::Added;

using FdiCreateFn = HFDI(DIAMONDAPI*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE, PFNSEEK, int, PERF);
using FdiCopyFn = BOOL(DIAMONDAPI*)(HFDI, char*, char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
using FdiDestroyFn = BOOL(DIAMONDAPI*)(HFDI);

// The library reads the cabinet and writes the files through these
// callbacks; everything stays in memory.
struct Extracted {
  std::vector<uint8_t> data;
  USHORT date = 0, time = 0, attribs = 0;
  bool closed = false;
};
struct MemoryIo {
  const std::vector<uint8_t>* cabinet = nullptr;
  std::map<INT_PTR, long> cabinet_handles;       // handle -> position
  std::map<INT_PTR, std::string> output_handles;  // handle -> entry name
  std::map<std::string, Extracted> files;
  INT_PTR next = 1000;
};
MemoryIo* g_io = nullptr;

void* DIAMONDAPI Alloc(ULONG size) { return ::operator new(size ? size : 1); }
void DIAMONDAPI Free(void* p) { ::operator delete(p); }
INT_PTR DIAMONDAPI Open(char* path, int, int) {
  if (std::strcmp(path, "memory.cab") != 0) return -1;
  INT_PTR h = g_io->next++;
  g_io->cabinet_handles[h] = 0;
  return h;
}
UINT DIAMONDAPI Read(INT_PTR h, void* buffer, UINT count) {
  auto it = g_io->cabinet_handles.find(h);
  if (it == g_io->cabinet_handles.end()) return static_cast<UINT>(-1);
  long size = static_cast<long>(g_io->cabinet->size());
  if (it->second >= size) return 0;
  UINT n = static_cast<UINT>(std::min<long>(count, size - it->second));
  std::memcpy(buffer, g_io->cabinet->data() + it->second, n);
  it->second += n;
  return n;
}
UINT DIAMONDAPI Write(INT_PTR h, void* buffer, UINT count) {
  auto it = g_io->output_handles.find(h);
  if (it == g_io->output_handles.end()) return static_cast<UINT>(-1);
  auto& data = g_io->files[it->second].data;
  data.insert(data.end(), static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + count);
  return count;
}
int DIAMONDAPI Close(INT_PTR h) {
  if (g_io->cabinet_handles.erase(h) == 1 || g_io->output_handles.erase(h) == 1) return 0;
  return -1;
}
long DIAMONDAPI Seek(INT_PTR h, long distance, int origin) {
  auto it = g_io->cabinet_handles.find(h);
  if (it == g_io->cabinet_handles.end()) return -1;
  long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? it->second : static_cast<long>(g_io->cabinet->size());
  it->second = base + distance;
  return it->second;
}
INT_PTR DIAMONDAPI Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION n) {
  if (type == fdintCOPY_FILE) {
    INT_PTR h = g_io->next++;
    g_io->output_handles[h] = n->psz1;
    g_io->files[n->psz1];
    return h;
  }
  if (type == fdintCLOSE_FILE_INFO) {
    Extracted& e = g_io->files[n->psz1];
    e.date = n->date;
    e.time = n->time;
    e.attribs = n->attribs;
    e.closed = true;
    return Close(n->hf) == 0 ? TRUE : FALSE;
  }
  return 0;
}

class SystemFdi : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("cabinet.dll");
    ASSERT_NE(module_, nullptr) << "cabinet.dll is not available";
    create_ = reinterpret_cast<FdiCreateFn>(reinterpret_cast<void*>(GetProcAddress(module_, "FDICreate")));
    copy_ = reinterpret_cast<FdiCopyFn>(reinterpret_cast<void*>(GetProcAddress(module_, "FDICopy")));
    destroy_ = reinterpret_cast<FdiDestroyFn>(reinterpret_cast<void*>(GetProcAddress(module_, "FDIDestroy")));
    ASSERT_TRUE(create_ && copy_ && destroy_);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  void ExpectSystemReads(const std::vector<Added>& added, cab::CabWriter& w) {
    std::vector<uint8_t> cabinet;
    ASSERT_TRUE(writertest::WriteToBytes(w, &cabinet)) << w.error();
    MemoryIo io;
    io.cabinet = &cabinet;
    g_io = &io;
    ERF erf = {};
    HFDI fdi = create_(Alloc, Free, Open, Read, Write, Close, Seek, cpu80386, &erf);
    ASSERT_NE(fdi, nullptr);
    char name[] = "memory.cab", path[] = "";
    BOOL ok = copy_(fdi, name, path, 0, Notify, nullptr, nullptr);
    destroy_(fdi);
    g_io = nullptr;
    ASSERT_TRUE(ok) << "FDICopy failed with error " << erf.erfOper;
    EXPECT_TRUE(io.cabinet_handles.empty());
    ASSERT_EQ(io.files.size(), added.size());
    for (const Added& a : added) {
      SCOPED_TRACE(a.name);
      auto it = io.files.find(a.name);
      ASSERT_NE(it, io.files.end());
      EXPECT_TRUE(it->second.closed);
      EXPECT_EQ(it->second.data.size(), a.data.size());
      EXPECT_TRUE(it->second.data == a.data);
      EXPECT_EQ(it->second.date, a.date);
      EXPECT_EQ(it->second.time, a.time);
      EXPECT_EQ(it->second.attribs, a.attributes);
    }
  }

  HMODULE module_ = nullptr;
  FdiCreateFn create_ = nullptr;
  FdiCopyFn copy_ = nullptr;
  FdiDestroyFn destroy_ = nullptr;
};

TEST_F(SystemFdi, ReadsEveryFolderKind) {
  cab::CabWriter w;
  std::vector<Added> added = writertest::FillManyFolders(w);
  ExpectSystemReads(added, w);
}

TEST_F(SystemFdi, ReadsEveryLzxLevel) {
  cab::CabWriter w;
  std::vector<Added> added = writertest::FillLevels(w);
  ExpectSystemReads(added, w);
  EXPECT_GT(w.lzx_stats().uncompressed_blocks, 0u);
}

}  // namespace
