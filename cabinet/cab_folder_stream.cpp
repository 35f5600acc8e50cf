#include "cabinet/cab_folder_stream.h"

#include <algorithm>
#include <cstring>

#include "cabinet/cab_checksum.h"
#include "cabinet/cab_format.h"

namespace cab {

constexpr size_t kFrame = kMaxBlockUncompressed;

bool CabFolderStream::Begin() {
  frame_.resize(kFrame);
  if (options_.compression == CabCompression::kMszip) deflate_.Reset();
  if (options_.compression == CabCompression::kLzx) {
    LzxEncoderOptions lo;
    lo.window_bits = options_.lzx_window_bits;
    lo.level = options_.lzx_level;
    lo.e8_translation = options_.lzx_e8_translation;
    lo.threads = options_.lzx_threads;
    // Translation stops at 1 GB into the folder; a larger size adds nothing.
    lo.e8_translation_size = options_.lzx_e8_translation_size != 0
                                 ? options_.lzx_e8_translation_size
                                 : static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(folder_bytes_, 1u << 30)));
    if (!lzx_.Start(lo, [this](const uint8_t* data, size_t size, uint32_t uncompressed) {
          return WriteBlock(data, size, uncompressed);
        })) {
      error_ = lzx_.error();
      return false;
    }
  }
  return true;
}

bool CabFolderStream::Add(const uint8_t* data, size_t size) {
  while (size > 0) {
    size_t take = std::min(size, kFrame - fill_);
    std::memcpy(frame_.data() + fill_, data, take);
    fill_ += take;
    data += take;
    size -= take;
    if (fill_ == kFrame && !CompressFrame()) return false;
  }
  return true;
}

bool CabFolderStream::End() {
  if (fill_ > 0 && !CompressFrame()) return false;
  if (options_.compression == CabCompression::kLzx && !lzx_.Finish()) {
    if (error_.empty()) error_ = lzx_.error();
    return false;
  }
  return true;
}

bool CabFolderStream::CompressFrame() {
  const size_t size = fill_;
  fill_ = 0;
  switch (options_.compression) {
    case CabCompression::kStored:
      return WriteBlock(frame_.data(), size, static_cast<uint32_t>(size));
    case CabCompression::kMszip:
      packed_.assign({'C', 'K'});
      deflate_.CompressBlock(frame_.data(), size, &packed_);
      return WriteBlock(packed_.data(), packed_.size(), static_cast<uint32_t>(size));
    case CabCompression::kLzx:
      if (!lzx_.AddFrame(frame_.data(), size)) {
        if (error_.empty()) error_ = lzx_.error();
        return false;
      }
      return true;
  }
  return false;
}

bool CabFolderStream::WriteBlock(const uint8_t* data, size_t size, uint32_t uncompressed) {
  if (size > 0xFFFF) {
    error_ = "a compressed data block is larger than 65535 bytes";
    return false;
  }
  if (blocks_ == 0xFFFF) {
    error_ = "a folder holds more than 65535 data blocks";
    return false;
  }
  uint8_t header[kDataHeaderSize];
  StoreField(header, cfdata::kCompressedSize, static_cast<uint32_t>(size));
  StoreField(header, cfdata::kUncompressedSize, uncompressed);
  StoreField(header, cfdata::kChecksum,
             DataBlockChecksum(data, static_cast<uint16_t>(size), static_cast<uint16_t>(uncompressed)));
  if (!sink_(header, data, size, uncompressed)) {
    if (error_.empty()) error_ = "the cabinet could not be written";
    return false;
  }
  ++blocks_;
  return true;
}

}  // namespace cab
