// Helpers shared by the unit tests of every subsystem: where the shared test
// data lies, scratch folders, whole-file reads and writes.
#pragma once
#include <string>
#include <vector>
#include <cstdint>

namespace testsupport {

// The folder with the sample cabinets and other shared inputs, in the form the
// running target can open (on Windows under Wine: a Z: drive path). Empty when
// the folder is not there; tests then skip with a message.
std::string SharedTestData();

// The project's source folder and the folder where the built programs land,
// also in the running target's form.
std::string SourceDir();
std::string BinDir();

// A new empty folder for one test, removed by the destructor.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + separator + name
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// `s` in single quotes for a POSIX shell, its own quotes escaped.
std::string ShellQuote(const std::string& s);

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out);
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
bool WriteWholeFile(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// Lower-case hex MD5 of a buffer, for comparing with published checksums.
std::string Md5Hex(const void* data, size_t size);

}  // namespace testsupport

#define SKIP_WITHOUT_SHARED_TESTDATA()                                       \
  do {                                                                       \
    if (testsupport::SharedTestData().empty())                               \
      GTEST_SKIP() << "shared test data (../shared/testdata) is not present"; \
  } while (0)
