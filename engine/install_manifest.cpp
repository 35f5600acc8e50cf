#include "engine/install_manifest.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

const char kMagic[] = "zelmanifest";
const char kVersion[] = "1";
const char kProductPrefix[] = "files\\";

struct StateName {
  ManifestState state;
  const char* name;
};
const StateName kStateNames[] = {{ManifestState::kIncomplete, "incomplete"}, {ManifestState::kComplete, "complete"}};

const char* NameOf(ManifestState state) {
  for (const StateName& s : kStateNames)
    if (s.state == state) return s.name;
  return "incomplete";
}

bool IsLowerHex(const std::string& text) {
  return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool ParseDigest(const std::string& hex, base::Sha256Digest* digest) {
  if (hex.size() != 64 || !IsLowerHex(hex)) return false;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (size_t i = 0; i < digest->size(); ++i)
    (*digest)[i] = static_cast<uint8_t>(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
  return true;
}

bool ParseSize(const std::string& text, uint64_t* size) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  if (text.size() > 1 && text[0] == '0') return false;
  uint64_t value = 0;
  for (char c : text) {
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *size = value;
  return true;
}

// Splits "key rest" at the first blank; false without one or with an empty rest.
bool SplitKey(const std::string& line, std::string* key, std::string* rest) {
  const size_t blank = line.find(' ');
  if (blank == std::string::npos || blank + 1 == line.size()) return false;
  *key = line.substr(0, blank);
  *rest = line.substr(blank + 1);
  return true;
}

bool HasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

ManifestError ParseFileLine(const std::string& rest, ManifestFile* file) {
  const size_t first = rest.find(' ');
  if (first == std::string::npos) return ManifestError::kBadLine;
  const size_t second = rest.find(' ', first + 1);
  if (second == std::string::npos || second + 1 == rest.size()) return ManifestError::kBadLine;
  if (!ParseDigest(rest.substr(0, first), &file->sha256)) return ManifestError::kBadHash;
  if (!ParseSize(rest.substr(first + 1, second - first - 1), &file->size)) return ManifestError::kBadLine;
  file->path = rest.substr(second + 1);
  return ManifestError::kNone;
}

}  // namespace

const char* ManifestErrorText(ManifestError error) {
  switch (error) {
    case ManifestError::kNone: return "no error";
    case ManifestError::kBadHeader: return "the manifest does not start with its header";
    case ManifestError::kUnknownVersion: return "the manifest has an unknown version";
    case ManifestError::kBadLine: return "the manifest has a malformed line";
    case ManifestError::kBadHash: return "the manifest has a malformed hash";
    case ManifestError::kNoEnd: return "the manifest is cut short";
    case ManifestError::kTrailingBytes: return "the manifest has bytes after its end";
    case ManifestError::kCheckMismatch: return "the manifest is damaged or edited";
  }
  return "unknown manifest error";
}

std::string FormatManifest(const InstallManifest& manifest) {
  std::string text = std::string(kMagic) + " " + kVersion + "\n";
  text += "installer " + manifest.installerId + "\n";
  text += std::string("state ") + NameOf(manifest.state) + "\n";
  text += "root " + manifest.root + "\n";
  for (const ManifestFile& f : manifest.files)
    text += "file " + base::Sha256Hex(f.sha256) + " " + std::to_string(f.size) + " " + f.path + "\n";
  return text + "end " + base::Sha256Hex(base::Sha256Of(text.data(), text.size())) + "\n";
}

ManifestError ParseManifest(const std::string& text, InstallManifest* manifest) {
  *manifest = InstallManifest();
  // The fixed lines in their order, then file lines until "end".
  enum class Expect { kHeader, kInstaller, kState, kRoot, kFiles } expect = Expect::kHeader;
  size_t start = 0;
  while (start < text.size()) {
    const size_t newline = text.find('\n', start);
    if (newline == std::string::npos) return expect == Expect::kHeader ? ManifestError::kBadHeader : ManifestError::kNoEnd;
    const std::string line = text.substr(start, newline - start);
    std::string key, rest;
    const bool split = SplitKey(line, &key, &rest);
    if (expect == Expect::kHeader) {
      if (!split || key != kMagic) return ManifestError::kBadHeader;
      if (rest != kVersion) return ManifestError::kUnknownVersion;
      expect = Expect::kInstaller;
    } else if (!split || HasControlCharacter(line)) {
      return ManifestError::kBadLine;
    } else if (expect == Expect::kInstaller) {
      if (key != "installer") return ManifestError::kBadLine;
      base::Sha256Digest id;
      if (!ParseDigest(rest, &id)) return ManifestError::kBadHash;
      manifest->installerId = rest;
      expect = Expect::kState;
    } else if (expect == Expect::kState) {
      const auto found = std::find_if(std::begin(kStateNames), std::end(kStateNames),
                                      [&](const StateName& s) { return rest == s.name; });
      if (key != "state" || found == std::end(kStateNames)) return ManifestError::kBadLine;
      manifest->state = found->state;
      expect = Expect::kRoot;
    } else if (expect == Expect::kRoot) {
      if (key != "root") return ManifestError::kBadLine;
      manifest->root = rest;
      expect = Expect::kFiles;
    } else if (key == "file") {
      ManifestFile file;
      const ManifestError error = ParseFileLine(rest, &file);
      if (error != ManifestError::kNone) return error;
      manifest->files.push_back(std::move(file));
    } else if (key == "end") {
      base::Sha256Digest check;
      if (!ParseDigest(rest, &check)) return ManifestError::kBadHash;
      if (newline + 1 != text.size()) return ManifestError::kTrailingBytes;
      if (base::Sha256Of(text.data(), start) != check) return ManifestError::kCheckMismatch;
      return ManifestError::kNone;
    } else {
      return ManifestError::kBadLine;
    }
    start = newline + 1;
  }
  return expect == Expect::kHeader ? ManifestError::kBadHeader : ManifestError::kNoEnd;
}

std::string ManifestPathFor(const std::string& log_path) {
  const size_t separator = log_path.find_last_of("\\/");
  const size_t dot = log_path.rfind('.');
  const bool has_extension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
  return (has_extension ? log_path.substr(0, dot) : log_path) + "_manifest.txt";
}

std::string InstalledPathOf(const std::string& destination, const std::string& entry_name) {
  const size_t prefix = sizeof kProductPrefix - 1;
  const bool product = entry_name.compare(0, prefix, kProductPrefix) == 0;
  return destination + (product ? entry_name.substr(prefix) : entry_name);
}
