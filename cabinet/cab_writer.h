// Writer of Microsoft Cabinet files: the counterpart of the reader, used by
// the authoring tool to make an installer's payload.
//
// Files are added to folders (each folder one compressed stream: stored,
// MSZIP or LZX with a 2^15..2^21-byte window), then the whole cabinet is
// written in one pass. File data is read from its source in chunks while it is
// written, so payloads far larger than memory are fine; the output stream
// must be seekable because the folder table, written first, is completed at
// the end. The same inputs and options always give the same bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cabinet/lzx_encoder.h"

namespace cab {

enum class CabCompression { kStored, kMszip, kLzx };

struct CabFolderOptions {
  CabCompression compression = CabCompression::kLzx;
  unsigned lzx_window_bits = 21;  // 15..21
  int lzx_level = LzxEncoderOptions::kDefaultLevel;
  bool lzx_e8_translation = true;
  // The E8 translation size in the LZX header; 0 takes the folder's size, so
  // that calls anywhere in the folder's executables become absolute targets.
  uint32_t lzx_e8_translation_size = 0;
  // Threads the LZX compressor uses (0: one per processor); the cabinet is
  // the same whatever the number.
  unsigned lzx_threads = 0;
};

// DOS date and time fields as a cabinet stores them (local time, 2-second
// resolution); out-of-range values give 0.
uint16_t DosDate(int year, int month, int day);
uint16_t DosTime(int hour, int minute, int second);

class CabWriter {
 public:
  // Largest uncompressed size of one folder: the folder's block count is a
  // 16-bit field. A file that would take a folder past it starts a new one.
  static constexpr uint64_t kMaxFolderBytes = 65535ull * 32768;

  CabWriter();
  ~CabWriter();
  CabWriter(const CabWriter&) = delete;
  CabWriter& operator=(const CabWriter&) = delete;

  // Files added from now on go to a new folder with these options. Without
  // this call the first file starts a folder with the default options.
  bool StartFolder(const CabFolderOptions& options);

  // Adds a file read from `source_path` when the cabinet is written. `name` is
  // the entry name in the cabinet: a relative path with backslashes, at most
  // 255 bytes. `attributes` are the cabinet attribute bits.
  bool AddFile(const std::string& name, const std::string& source_path, uint16_t date,
               uint16_t time, uint16_t attributes);
  // Adds a file whose bytes are given.
  bool AddFileData(const std::string& name, std::vector<uint8_t> data, uint16_t date,
                   uint16_t time, uint16_t attributes);

  // The set ID of the header (0 by default).
  void SetSetId(uint16_t set_id) { set_id_ = set_id; }
  // Called after each data block with the uncompressed bytes written so far
  // and the total.
  void SetProgress(std::function<void(uint64_t done, uint64_t total)> progress) {
    progress_ = std::move(progress);
  }

  // Writes the cabinet to a new file (replacing it) or to a seekable stream.
  bool WriteToFile(const std::string& path);
  bool Write(std::ostream& out);

  size_t file_count() const { return files_.size(); }
  const std::string& error() const { return error_; }
  // Compressor statistics of the last Write, summed over the LZX folders.
  const LzxEncoderStats& lzx_stats() const { return lzx_stats_; }

 private:
  struct Entry {
    std::string name;
    std::string source_path;   // empty when the data is held in memory
    std::vector<uint8_t> data;
    uint64_t size = 0;         // known once the cabinet is being written
    uint16_t date = 0, time = 0, attributes = 0;
    uint16_t folder = 0;
  };
  struct Folder {
    CabFolderOptions options;
    std::vector<size_t> files;  // indexes into files_
    uint64_t bytes = 0;
    uint32_t data_offset = 0;   // filled while writing
    uint16_t blocks = 0;
  };
  class FolderStream;

  bool AddEntry(Entry entry);
  bool Fail(const std::string& message);
  bool WriteFolder(std::ostream& out, Folder& folder, uint64_t* written, uint64_t total);

  std::vector<Entry> files_;
  std::vector<Folder> folders_;
  bool folder_open_ = false;
  uint16_t set_id_ = 0;
  std::function<void(uint64_t, uint64_t)> progress_;
  std::string error_;
  LzxEncoderStats lzx_stats_;
};

}  // namespace cab
