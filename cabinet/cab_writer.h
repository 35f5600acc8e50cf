// Writer of Microsoft Cabinet files: the counterpart of the reader, used by
// the authoring tool to make an installer's payload.
//
// Files are added to folders (each folder one compressed stream: stored,
// MSZIP or LZX with a 2^15..2^21-byte window), then the whole cabinet is
// written in one pass. File data is read from its source in chunks while it is
// written, so payloads far larger than memory are fine; the output stream
// must be seekable because the folder table, written first, is completed at
// the end. The same inputs and options always give the same bytes.
//
// Folders are compressed several at once (one compressor per folder, each
// folder's blocks queued until the folders before it are written), so a
// payload cut into bounded folders (SetFolderSize) packs on every core and
// can be decoded on every core. The bytes do not depend on the thread count.
//
// A payload too large for one file is written as a set (WriteSet): cabinets
// of a bounded size chained by their previous/next names, a folder running on
// from one cabinet into the next. A file larger than the part size is stored
// as consecutive entries "<name>.001", "<name>.002", ..., joined again by
// whoever extracts the set; every 32-bit field of the format stays in range
// because a folder never holds more than kMaxFolderBytes.
#pragma once
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "base/sha256.h"
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
  // Threads the LZX compressor uses (0: what the writer's threads leave to
  // each folder); the cabinet is the same whatever the number.
  unsigned lzx_threads = 0;
};

// DOS date and time fields as a cabinet stores them (local time, 2-second
// resolution); out-of-range values give 0.
uint16_t DosDate(int year, int month, int day);
uint16_t DosTime(int hour, int minute, int second);

// How a set of cabinets is cut and where its cabinets go. Cabinet 0 is the
// first of the set; its data is cut at the same rules as the others but with
// a budget of its own (it shares a file with the program in front of it).
struct CabSetLayout {
  uint64_t first_cabinet_bytes = 0xFFFFFFFFull;  // largest size of cabinet 0
  uint64_t cabinet_bytes = 0xFFFFFFFFull;        // largest size of each later one
  // This many leading files must lie whole in cabinet 0 (the configuration
  // the installer reads before it looks for other cabinets).
  size_t first_cabinet_files = 0;
  uint16_t set_id = 0;      // written only when the set has more than one cabinet
  size_t max_cabinets = 65536;  // iCabinet is 16 bits
  // The name the cabinets' previous/next fields give cabinet i, and the path
  // it is written to.
  std::function<std::string(size_t index)> name;
  std::function<std::string(size_t index)> path;
  // Where cabinet 0 goes instead of path(0): written at the stream's
  // position, behind the program in front of it; the caller closes it.
  std::ostream* first_cabinet_stream = nullptr;
  // Holds the data blocks of the cabinet being filled until its header is
  // known, when a folder is compressed (a set of stored folders is planned
  // first and each cabinet written in one pass); removed at the end.
  std::string scratch_path;
};

// A cabinet of a set as written.
struct CabSetCabinet {
  std::string path;  // empty for the one written to first_cabinet_stream
  uint64_t size = 0;
  base::Sha256Digest sha256{};  // all zero for the one written to first_cabinet_stream
};

// A file stored as parts, as the installer's payload names it.
struct CabJoinedFile {
  std::string name;
  uint32_t parts = 0;
};

enum class CabSetError {
  kNone,
  kFirstCabinetTooSmall,  // the leading files do not fit cabinet 0
  kBlockTooLarge,         // one data block with its entries does not fit an empty cabinet
  kTooManyCabinets,       // more than max_cabinets
  kWriteFailed,           // a file could not be written or read (error() says which)
};

class CabWriter {
 public:
  // Largest uncompressed size of one folder: the folder's block count is a
  // 16-bit field. A file that would take a folder past it starts a new one.
  static constexpr uint64_t kMaxFolderBytes = 65535ull * 32768;

  // Files larger than this are stored as parts; 1 to kMaxFolderBytes.
  // Set before adding files.
  void SetPartSize(uint64_t part_size) { part_size_ = part_size; }
  // A file that would take a folder holding files past this many bytes
  // starts a new folder with the same options, so a larger file has a folder
  // of its own; 1 to kMaxFolderBytes (the default: folders as large as the
  // format allows). Applies to the files added after it.
  void SetFolderSize(uint64_t folder_size) { folder_size_ = folder_size; }
  // Threads that compress (0: one per processor): folders at once, and
  // what is left over for the LZX compressor inside each folder.
  void SetThreads(unsigned threads) { threads_ = threads; }
  // Blocks a folder compressed ahead of the one being written may queue;
  // the memory of queued blocks stays under (folders at once) x this x 32 KB.
  static constexpr size_t kQueuedBlocksPerFolder = 1024;

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

  // Writes the cabinets of a set. Only what the set needs is cut: a payload
  // that fits cabinet 0 gives exactly the bytes Write gives. On failure the
  // cabinets written so far are removed.
  bool WriteSet(const CabSetLayout& layout, std::vector<CabSetCabinet>* cabinets);
  CabSetError set_error() const { return set_error_; }

  // Files stored as parts, in entry order.
  const std::vector<CabJoinedFile>& joined_files() const { return joined_; }
  // Bytes of all files added.
  uint64_t total_bytes() const;

  size_t file_count() const { return files_.size(); }
  const std::string& error() const { return error_; }
  // Compressor statistics of the last Write, summed over the LZX folders.
  const LzxEncoderStats& lzx_stats() const { return lzx_stats_; }

 private:
  struct Entry {
    std::string name;
    std::string source_path;   // empty when the data is held in memory
    std::vector<uint8_t> data;
    uint64_t size = 0;
    uint64_t source_offset = 0;  // where a part starts in its source file
    uint64_t source_size = 0;    // the whole source file's size
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
  class SetCutter;
  class FolderPipeline;
  using BlockSink = std::function<bool(const uint8_t* header, const uint8_t* data, size_t size, uint32_t uncompressed)>;
  // What the writing side does around the compressed folders, always on the
  // calling thread and in folder order: begin(i) before folder i's first
  // block, block for each of its blocks, end(i) after its last. False
  // stops the writing (the hook keeps its reason in error_).
  struct FolderHooks {
    std::function<bool(size_t index)> begin;
    BlockSink block;
    std::function<bool(size_t index)> end;
  };

  bool AddEntry(Entry entry);
  bool AddParts(const Entry& whole);
  bool Fail(const std::string& message);
  // Compresses a folder's files with `lzx_threads` LZX threads (unless its
  // options name a count); every block
  // goes to sink. Touches nothing of the writer but the folder's block count,
  // so that several folders can be compressed at once.
  bool CompressFolder(Folder& folder, unsigned lzx_threads, const BlockSink& sink, std::string* error,
                      LzxEncoderStats* stats) const;
  // Compresses the folders, several at once when threads allow, and hands
  // their blocks to the hooks in folder order (cab_writer_folders.cpp).
  bool WriteFolders(const std::vector<Folder*>& folders, const FolderHooks& hooks);
  // The folders that hold files, their files renumbered.
  std::vector<Folder*> UsedFolders();

  std::vector<Entry> files_;
  std::vector<Folder> folders_;
  bool folder_open_ = false;
  uint16_t set_id_ = 0;
  std::function<void(uint64_t, uint64_t)> progress_;
  std::string error_;
  CabSetError set_error_ = CabSetError::kNone;
  LzxEncoderStats lzx_stats_;
  uint64_t part_size_ = kMaxFolderBytes;
  uint64_t folder_size_ = kMaxFolderBytes;
  unsigned threads_ = 0;
  std::vector<CabJoinedFile> joined_;
};

}  // namespace cab
