// The layout of the Microsoft Cabinet format, written once for the reader
// (fdi_*), the writer (cab_writer) and the tests' cabinet builder: each
// record's fields with their offsets and sizes, the flags and the special
// values. All multi-byte fields are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

#include "cabinet/byte_order.h"

namespace cab {

constexpr uint8_t kSignature[4] = {'M', 'S', 'C', 'F'};
constexpr uint16_t kVersion = 0x0103;  // minor 3, major 1

// Where a field lies in its record: byte offset and size (1, 2 or 4).
struct Field {
  uint8_t offset;
  uint8_t size;
};
constexpr size_t End(Field f) { return size_t{f.offset} + f.size; }

// CFHEADER, the fixed part at the start of a cabinet.
namespace cfheader {
constexpr Field kSignature{0, 4};
constexpr Field kCabinetSize{8, 4};  // bytes of the whole cabinet
constexpr Field kFilesOffset{16, 4};  // first CFFILE
constexpr Field kVersion{24, 2};      // minor byte, then major byte
constexpr Field kFolderCount{26, 2};
constexpr Field kFileCount{28, 2};
constexpr Field kFlags{30, 2};
constexpr Field kSetId{32, 2};
constexpr Field kCabinetIndex{34, 2};
constexpr size_t kSize = End(kCabinetIndex);
// With kFlagReservePresent these follow the fixed part, then the header's
// reserved area; then with kFlagPrevCabinet the previous cabinet's and
// disk's names, with kFlagNextCabinet the next ones (each zero-terminated).
constexpr Field kHeaderReserve{0, 2};
constexpr Field kFolderReserve{2, 1};
constexpr Field kDataReserve{3, 1};
constexpr size_t kReserveSizesSize = End(kDataReserve);
}  // namespace cfheader

// CFFOLDER, one per folder after the header, each followed by the folder's
// reserved area.
namespace cffolder {
constexpr Field kDataOffset{0, 4};  // first CFDATA
constexpr Field kBlockCount{4, 2};
constexpr Field kCompression{6, 2};
constexpr size_t kSize = End(kCompression);
}  // namespace cffolder

// CFFILE, one per file entry, followed by its zero-terminated name.
namespace cffile {
constexpr Field kSize{0, 4};  // uncompressed bytes
constexpr Field kFolderOffset{4, 4};
constexpr Field kFolderIndex{8, 2};
constexpr Field kDate{10, 2};
constexpr Field kTime{12, 2};
constexpr Field kAttributes{14, 2};
constexpr size_t kFixedSize = End(kAttributes);
}  // namespace cffile

// CFDATA, the header of each data block, followed by the block's reserved
// area and its compressed bytes.
namespace cfdata {
constexpr Field kChecksum{0, 4};  // over the next fields and the data; 0: none
constexpr Field kCompressedSize{4, 2};
constexpr Field kUncompressedSize{6, 2};  // 0: continued in the next cabinet
constexpr size_t kSize = End(kUncompressedSize);
}  // namespace cfdata

// A field's value in a record, and a record's field set to a value.
inline uint32_t LoadField(const uint8_t* record, Field f) {
  const uint8_t* p = record + f.offset;
  return f.size == 1 ? p[0] : f.size == 2 ? Load16(p) : Load32(p);
}
inline void StoreField(uint8_t* record, Field f, uint32_t value) {
  uint8_t* p = record + f.offset;
  if (f.size == 1)
    p[0] = static_cast<uint8_t>(value);
  else if (f.size == 2)
    Store16(p, static_cast<uint16_t>(value));
  else
    Store32(p, value);
}

constexpr size_t kHeaderSize = cfheader::kSize;      // CFHEADER without optional fields
constexpr size_t kFolderSize = cffolder::kSize;      // CFFOLDER without its reserved area
constexpr size_t kFileEntrySize = cffile::kFixedSize;  // CFFILE without its name
constexpr size_t kDataHeaderSize = cfdata::kSize;    // CFDATA without its reserved area
static_assert(kHeaderSize == 36 && kFolderSize == 8 && kFileEntrySize == 16 && kDataHeaderSize == 8,
              "the record sizes of the format");
constexpr size_t kMaxBlockUncompressed = 32768;
constexpr size_t kMaxBlockCompressed = 32768 + 6144;  // LZX's worst-case growth
constexpr size_t kMaxNameLength = 255;

// CFHEADER.flags
constexpr uint16_t kFlagPrevCabinet = 0x0001;
constexpr uint16_t kFlagNextCabinet = 0x0002;
constexpr uint16_t kFlagReservePresent = 0x0004;

// CFFOLDER.typeCompress: low 4 bits the method, bits 8-12 the window bits.
constexpr uint16_t kCompressMask = 0x000F;
constexpr uint16_t kCompressNone = 0;
constexpr uint16_t kCompressMszip = 1;
constexpr uint16_t kCompressQuantum = 2;
constexpr uint16_t kCompressLzx = 3;
inline uint16_t CompressionWindowBits(uint16_t type) { return (type >> 8) & 0x1F; }
inline uint16_t MakeLzxType(unsigned window_bits) {
  return static_cast<uint16_t>(kCompressLzx | (window_bits << 8));
}

// CFFILE.iFolder special values.
constexpr uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr uint16_t kFolderContinuedPrevAndNext = 0xFFFF;

// CFFILE.attribs
constexpr uint16_t kAttribReadOnly = 0x01;
constexpr uint16_t kAttribHidden = 0x02;
constexpr uint16_t kAttribSystem = 0x04;
constexpr uint16_t kAttribArchive = 0x20;
constexpr uint16_t kAttribExecute = 0x40;  // run after extraction
constexpr uint16_t kAttribNameIsUtf = 0x80;

}  // namespace cab
