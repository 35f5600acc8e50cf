// Layout constants of the Microsoft Cabinet format, shared by the reader and
// the writer. All multi-byte fields are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

namespace cab {

constexpr uint8_t kSignature[4] = {'M', 'S', 'C', 'F'};
constexpr uint16_t kVersion = 0x0103;  // minor 3, major 1

constexpr size_t kHeaderSize = 36;      // CFHEADER without optional fields
constexpr size_t kFolderSize = 8;       // CFFOLDER without its reserved area
constexpr size_t kFileEntrySize = 16;   // CFFILE without its name
constexpr size_t kDataHeaderSize = 8;   // CFDATA without its reserved area
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
