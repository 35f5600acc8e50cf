// The files of a volume set as the authoring tool names, sizes and checks
// them: the installer X.exe holds the first cabinet of the set, the volumes
// X-2.cab, X-3.cab, ... (X the installer's name without its extension) lie
// beside it. Only a payload that does not fit one file of the volume size,
// or holds a file larger than the part size, becomes a set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cabinet/cab_writer.h"
#include "tools/mkinstaller/installer_packer.h"

// Every file of a set stays at or below the volume size; by default under
// 2 GiB, which FAT32 media and common download tools take.
constexpr uint64_t kDefaultVolumeSize = (1ull << 31) - 1;
// Below this a set is mostly headers and the chain soon runs out.
constexpr uint64_t kMinVolumeSize = 1ull << 20;
// A cabinet's size field is 32 bits.
constexpr uint64_t kMaxVolumeSize = 0xFFFFFFFFull;
// iCabinet is 16 bits: the installer's cabinet and 65535 volumes.
constexpr uint64_t kMaxSetCabinets = 65536;

// "SIZE" with an optional K, M or G suffix (powers of 1024). False on
// anything else, 0 or overflow.
bool ParseByteSize(const std::string& text, uint64_t* bytes);

class VolumeNames {
 public:
  explicit VolumeNames(const std::string& output_path);
  // Cabinet 0 is the installer itself; cabinet i >= 1 is "X-<i+1>.cab".
  std::string Name(size_t cabinet) const;
  std::string Path(size_t cabinet) const { return folder_ + Name(cabinet); }

 private:
  std::string folder_;  // with its trailing slash, or empty
  std::string installer_, stem_;
};

// At most how many volumes a payload of these files can need, judged from
// their size as if none compressed at all (each block at its largest) and
// every volume filled to within one block of its size; 0 when the payload
// surely fits the installer.
uint64_t MostVolumes(uint64_t payload_bytes, uint64_t entry_table_bytes, uint64_t first_cabinet_bytes,
                     uint64_t volume_size);

// True when the file at path is cabinet `cabinet` of a set whose previous
// cabinet is named previous_name: a volume an earlier build of the same
// output wrote.
bool IsEarlierVolume(const std::string& path, size_t cabinet, const std::string& previous_name);

// Why writing volumes 1..count of names would overwrite a file that is not
// an earlier volume of the same output, or an input; empty when none would.
std::string VolumeOverwriteProblem(const VolumeNames& names, uint64_t count, const std::vector<std::string>& inputs);

// The line 'check' prints about the sizes 'build' will write: the payload,
// the volume size, at most how many volumes, the files stored as parts
// (entries: name and host path; stub: its path, or empty when unknown).
// Empty when nothing was asked and the payload fits one file.
std::string DescribeSizes(const std::vector<PackedEntry>& entries, const std::string& stub, uint64_t volume_size,
                          uint64_t part_size, bool always);

// Removes the volumes of an earlier build beyond the `count` just written.
void RemoveStaleVolumes(const VolumeNames& names, uint64_t count);
