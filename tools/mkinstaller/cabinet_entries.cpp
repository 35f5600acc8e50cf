#include "tools/mkinstaller/cabinet_entries.h"

#include <cstdio>
#include <new>

#include "cabinet/cab_file_io.h"
#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"

namespace {

void* Alloc(uint32_t size) { return ::operator new(size ? size : 1, std::nothrow); }
void Free(void* block) { ::operator delete(block); }

intptr_t Collect(fdi::NotificationType type, fdi::Notification* n) {
  if (type != fdi::kCopyFile) return 0;
  auto* entries = static_cast<std::vector<CabinetEntry>*>(n->user);
  entries->push_back({n->name1, n->size, n->date, n->time, n->attribs});
  return 0;  // listed, not extracted
}

}  // namespace

bool ReadCabinetEntries(const std::string& cabinet, std::vector<CabinetEntry>* entries, std::string* error) {
  entries->clear();
  fdi::ErrorRecord record;
  fdi::Context* context = fdi::FDICreate(Alloc, Free, cab::io::EngineOpen, cab::io::EngineRead,
                                         cab::io::EngineWrite, cab::io::EngineClose, cab::io::EngineSeek, fdi::kCpu80386, &record);
  if (!context) {
    *error = "cannot create the cabinet engine";
    return false;
  }
  bool ok = fdi::FDICopy(context, cabinet.c_str(), "", 0, Collect, nullptr, entries);
  fdi::FDIDestroy(context);
  if (!ok) *error = std::string("cannot list the cabinet: ") + fdi::ErrorText(record.code);
  return ok;
}

std::string DosDateTimeText(uint16_t date, uint16_t time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980u, (date >> 5) & 15u,
                date & 31u, time >> 11, (time >> 5) & 63u, (time & 31u) * 2);
  return text;
}

std::string AttributeLetters(uint16_t a) {
  return {(a & cab::kAttribReadOnly) ? 'r' : '-', (a & cab::kAttribHidden) ? 'h' : '-',
          (a & cab::kAttribSystem) ? 's' : '-', (a & cab::kAttribArchive) ? 'a' : '-',
          (a & cab::kAttribExecute) ? 'x' : '-'};
}
