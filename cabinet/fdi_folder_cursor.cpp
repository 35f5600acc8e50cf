// The folder cursor: a folder's data blocks read and decoded in order
// (continuing into the next cabinet where the folder does), and one file's
// bytes written from the decoded data.
#include "cabinet/fdi_copy_run.h"

#include <cstring>
#include <string>

#include "cabinet/cab_format.h"
#include "cabinet/cab_checksum.h"
#include "cabinet/decompressor.h"

namespace fdi {
namespace engine {

using cab::LoadField;
namespace cffolder = cab::cffolder;
namespace cfdata = cab::cfdata;

// Positions the cursor before the first data block of a folder and makes
// sure a decoder for its compression type is ready and reset.
bool CopyRun::StartFolder(unsigned index) {
  StopReadAhead();
  if (data_elsewhere_) {
    // The previous folder ran on into a following cabinet; this one's data
    // is in the first cabinet again.
    if (ctx_.data_handle != kNoHandle) ctx_.Close(ctx_.data_handle);
    ctx_.data_handle = ctx_.Open(cabinet_path_.c_str(), kOpenBinary | kOpenReadOnly, 0);
    if (ctx_.data_handle == kNoHandle) {
      ctx_.Fail(kErrorCabinetNotFound);
      return false;
    }
    data_header_ = header_;
    data_elsewhere_ = false;
  }
  uint8_t raw[cab::kFolderSize];
  const uint64_t offset = header_.folders_offset + uint64_t{index} * (cab::kFolderSize + header_.folder_reserve);
  if (offset > 0xFFFFFFFFu || !ReadAt(ctx_.header_handle, static_cast<uint32_t>(offset), raw, sizeof raw)) {
    ctx_.Fail(kErrorCorruptCabinet);
    return false;
  }
  folder_ = -1;
  const uint16_t type = LoadField(raw, cffolder::kCompression);
  const unsigned method = type & cab::kCompressMask;
  if (method > cab::kCompressLzx) {
    ctx_.Fail(kErrorBadCompressionType);
    return false;
  }
  if (method != cab::kCompressNone) {
    if (!ctx_.decoder || !ctx_.has_decoder_type || ctx_.decoder_type != type) {
      ctx_.decoder.reset();
      ctx_.has_decoder_type = false;
      bool out_of_memory = false;
      ctx_.decoder = cab::CreateDecompressor(type, &out_of_memory);
      if (!ctx_.decoder) {
        // No memory for the window, or an unsupported window size of a
        // known method.
        ctx_.Fail(out_of_memory ? kErrorAllocFail : kErrorDecompressorFailure);
        return false;
      }
      ctx_.decoder_type = type;
      ctx_.has_decoder_type = true;
    } else {
      ctx_.decoder->Reset();
    }
  }
  folder_ = static_cast<int>(index);
  data_folder_ = index;
  folder_type_ = type;
  next_block_offset_ = LoadField(raw, cffolder::kDataOffset);
  blocks_left_ = LoadField(raw, cffolder::kBlockCount);
  block_start_ = 0;
  block_size_ = 0;
  view_ = ctx_.output;
  StartReadAhead();
  return true;
}

// Moves the data handle to the cabinet that the current folder runs on
// into: the last folder of a cabinet with a next cabinet continues as the
// first folder of that one.
bool CopyRun::OpenNextCabinet() {
  if (!(data_header_.flags & cab::kFlagNextCabinet) || data_folder_ + 1 != data_header_.folder_count) {
    // The file table claims more data than the folder has.
    ctx_.Fail(kErrorCorruptCabinet);
    return false;
  }
  Notification n;
  n.name1 = data_header_.next_cabinet.c_str();
  n.name2 = data_header_.next_disk.c_str();
  n.name3 = folder_path_.c_str();
  n.setId = data_header_.set_id;
  n.cabinetIndex = static_cast<uint16_t>(data_header_.cabinet_index + 1);
  if (Notify(kNextCabinet, n) == -1) {
    ctx_.Fail(kErrorUserAbort);
    return false;
  }
  const std::string path = folder_path_ + data_header_.next_cabinet;
  if (ctx_.data_handle != kNoHandle) ctx_.Close(ctx_.data_handle);
  ctx_.data_handle = path.size() > kMaxCabinetPath ? kNoHandle
                                                  : ctx_.Open(path.c_str(), kOpenBinary | kOpenReadOnly, 0);
  data_elsewhere_ = true;
  if (ctx_.data_handle == kNoHandle) {
    ctx_.Fail(kErrorCabinetNotFound);
    return false;
  }
  CabinetHeader next;
  if (!ReadHeader(ctx_.data_handle, &next)) return false;
  if (next.set_id != data_header_.set_id || next.cabinet_index != data_header_.cabinet_index + 1) {
    ctx_.Fail(kErrorWrongCabinet);
    return false;
  }
  if (next.folder_reserve != data_header_.folder_reserve || next.data_reserve != data_header_.data_reserve) {
    ctx_.Fail(kErrorReserveMismatch);
    return false;
  }
  uint8_t raw[cab::kFolderSize];
  if (next.folder_count == 0 || !ReadAt(ctx_.data_handle, next.folders_offset, raw, sizeof raw)) {
    ctx_.Fail(kErrorCorruptCabinet);
    return false;
  }
  data_header_ = next;
  data_folder_ = 0;
  next_block_offset_ = LoadField(raw, cffolder::kDataOffset);
  blocks_left_ = LoadField(raw, cffolder::kBlockCount);
  return true;
}

// A block split between two cabinets comes as a part with no uncompressed
// size at the end of one and the rest at the start of the next; the parts
// are joined before decoding.
BlockResult CopyRun::DecodeNextBlock(uint8_t* output, uint32_t* size, bool may_span, RawWindow* raw,
                                     BlockFailure* failure) {
  const uint32_t first_block_offset = next_block_offset_;
  const uint32_t first_blocks_left = blocks_left_;
  uint32_t gathered = 0;
  uint16_t uncompressed = 0;
  for (;;) {
    if (blocks_left_ == 0) {
      if (!may_span) {
        next_block_offset_ = first_block_offset;
        blocks_left_ = first_blocks_left;
        return BlockResult::kOtherCabinet;
      }
      if (!OpenNextCabinet()) return BlockResult::kFailed;
      continue;
    }
    uint8_t head[cab::kDataHeaderSize];
    if (!ReadData(raw, next_block_offset_, head, sizeof head)) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
    const uint32_t checksum = LoadField(head, cfdata::kChecksum);
    const uint16_t compressed = LoadField(head, cfdata::kCompressedSize);
    uncompressed = LoadField(head, cfdata::kUncompressedSize);
    if (compressed > kInputBufferSize - gathered || uncompressed > kOutputBufferSize) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
    const uint64_t data_offset = uint64_t{next_block_offset_} + cab::kDataHeaderSize + data_header_.data_reserve;
    uint8_t* part = ctx_.input + gathered;
    if (data_offset + compressed > 0xFFFFFFFFu ||
        !ReadData(raw, static_cast<uint32_t>(data_offset), part, compressed)) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
    if (checksum != 0 && cab::DataBlockChecksum(part, compressed, uncompressed) != checksum) {
      failure->code = kErrorCorruptCabinet;
      failure->detail = "bad block checksum in folder " + std::to_string(folder_);
      return BlockResult::kFailed;
    }
    next_block_offset_ = static_cast<uint32_t>(data_offset + compressed);
    --blocks_left_;
    gathered += compressed;
    if (uncompressed != 0) break;
    // Only a cabinet's last block may be the first part of a split one.
    if (blocks_left_ != 0) {
      failure->code = kErrorCorruptCabinet;
      return BlockResult::kFailed;
    }
  }

  bool ok;
  const bool stored = (folder_type_ & cab::kCompressMask) == cab::kCompressNone;
  if (stored) {
    ok = gathered == uncompressed;
    if (ok) std::memcpy(output, ctx_.input, uncompressed);
  } else {
    ok = ctx_.decoder->DecodeBlock(ctx_.input, gathered, output, uncompressed);
  }
  if (!ok) {
    const std::string where = " in folder " + std::to_string(folder_);
    failure->code = kErrorDecompressorFailure;
    failure->detail = stored ? "stored block of the wrong size" + where
                             : std::string(ctx_.decoder->FormatName()) + ": " +
                                   cab::DecodeErrorText(ctx_.decoder->LastError()) + where;
    // The decoder's state is undefined now; the folder restarts if needed.
    failure->folder_lost = true;
    return BlockResult::kFailed;
  }
  *size = uncompressed;
  return BlockResult::kDecoded;
}

bool CopyRun::ReportBlockFailure(const BlockFailure& failure) {
  if (failure.code != kErrorNone) ctx_.Fail(failure.code, failure.detail);
  if (failure.folder_lost) folder_ = -1;
  if (failure.code == kErrorAllocFail) {
    ctx_.decoder.reset();
    ctx_.has_decoder_type = false;
  }
  return false;
}

bool CopyRun::WriteFile(const FileEntry& entry, Handle out) {
  const unsigned folder_index = entry.folder == cab::kFolderContinuedToNext
                                    ? static_cast<unsigned>(header_.folder_count - 1)
                                    : entry.folder;
  const uint64_t begin = entry.folder_offset;
  const uint64_t end = begin + entry.size;
  // A file that lies before the cursor needs the folder decoded again from
  // its first block.
  if (folder_ != static_cast<int>(folder_index) || begin < block_start_) {
    if (!StartFolder(folder_index)) return false;
  }
  uint64_t at = begin;
  while (at < end) {
    if (at >= block_start_ + block_size_) {
      if (!NextData()) return false;
      continue;
    }
    const uint32_t skip = static_cast<uint32_t>(at - block_start_);
    uint64_t available = block_size_ - skip;
    const uint32_t count = static_cast<uint32_t>(end - at < available ? end - at : available);
    if (ctx_.Write(out, view_ + skip, count) != count) {
      ctx_.Fail(kErrorTargetFile);
      return false;
    }
    at += count;
  }
  return true;
}

}  // namespace engine
}  // namespace fdi
