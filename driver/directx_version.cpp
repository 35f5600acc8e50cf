#include "driver/directx_version.h"

namespace {

uint64_t Ordered(const FileVersion& v) {
  return (uint64_t{v.major} << 48) | (uint64_t{v.minor} << 32) | (uint64_t{v.build} << 16) | v.revision;
}

// One row of the table. Rows whose library shipped both as a 4.x and as a
// 5.x file give a minimum for each; a file of any other major part does not
// match such a row.
struct Row {
  const char* file;
  FileVersion minimum;          // used alone when minimum5 is unset
  FileVersion minimum5;         // minimum for files of major part 5
  bool split_by_major;          // minimum applies to major 4, minimum5 to major 5
  bool any_version;             // any version information matches
  DirectXVersion directx;
};

const Row kRows[] = {
    {"ddraw.dll", {4, 2, 0, 95}, {}, false, false, {1, 0, ' '}},
    {"ddraw.dll", {4, 3, 0, 1096}, {}, false, false, {2, 0, ' '}},
    {"ddraw.dll", {4, 4, 0, 68}, {}, false, false, {3, 0, ' '}},
    {"d3drg8x.dll", {4, 4, 0, 70}, {}, false, false, {3, 0, 'a'}},
    {"ddraw.dll", {4, 5, 0, 155}, {}, false, false, {5, 0, ' '}},
    {"ddraw.dll", {4, 6, 0, 318}, {}, false, false, {6, 0, ' '}},
    {"ddraw.dll", {4, 6, 0, 436}, {}, false, false, {6, 1, ' '}},
    {"dplayx.dll", {4, 6, 3, 518}, {}, false, false, {6, 1, 'a'}},
    {"ddraw.dll", {4, 7, 0, 700}, {}, false, false, {7, 0, ' '}},
    {"dinput.dll", {4, 7, 0, 716}, {}, false, false, {7, 0, 'a'}},
    {"ddraw.dll", {4, 8, 0, 400}, {5, 1, 2258, 400}, true, false, {8, 0, ' '}},
    {"d3d8.dll", {4, 8, 1, 881}, {5, 1, 2600, 881}, true, false, {8, 1, ' '}},
    {"d3d8.dll", {4, 8, 1, 901}, {5, 1, 2600, 901}, true, false, {8, 1, 'a'}},
    {"mpg2splt.ax", {6, 3, 1, 885}, {}, false, false, {8, 1, 'b'}},
    {"dpnet.dll", {4, 9, 0, 134}, {5, 2, 3677, 134}, true, false, {8, 2, ' '}},
    {"d3d9.dll", {}, {}, false, true, {9, 0, ' '}},
};

bool RowMatches(const Row& row, const FileVersion& found) {
  if (row.any_version) return true;
  if (!row.split_by_major) return Ordered(found) >= Ordered(row.minimum);
  if (found.major == 4) return Ordered(found) >= Ordered(row.minimum);
  if (found.major == 5) return Ordered(found) >= Ordered(row.minimum5);
  return false;
}

}  // namespace

uint32_t PackDirectXVersion(const DirectXVersion& version) {
  char c = version.letter;
  if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  uint32_t letter = (c >= 'a' && c <= 'z') ? static_cast<uint32_t>(c - 'a' + 1) : 0;
  return ((version.major * 256 + version.minor) * 256) + letter;
}

DirectXVersion DirectXFromFileVersions(const FileVersionLookup& version_of) {
  DirectXVersion result;
  for (const Row& row : kRows) {
    FileVersion found;
    if (version_of(row.file, &found) && RowMatches(row, found)) result = row.directx;
  }
  return result;
}

bool DirectXAtLeast(uint32_t minimum, const std::function<DirectXVersion()>& from_libraries,
                    const std::function<bool(DirectXVersion*)>& from_diagnostics) {
  if (PackDirectXVersion(from_libraries()) >= minimum) return true;
  DirectXVersion reported;
  return from_diagnostics(&reported) && PackDirectXVersion(reported) >= minimum;
}
