#include "e2e/wine_harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

void AppendLE32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The end-to-end tests run in lanes side by side (tests/e2e/CMakeLists.txt
// puts each in one): a lane has prefixes of its own, under wine/lane<N>, and
// a display of its own where scripts/test.sh started one for it
// (E2E_LANE<N>_DISPLAY), so that no test sees another's windows, files or
// registry keys. Without a lane a test uses the run's own prefixes.
std::string Lane() {
  const char* lane = std::getenv("E2E_LANE");
  return lane ? lane : "";
}

const bool kLaneDisplayTaken = [] {
  if (Lane().empty()) return false;
  const char* display = std::getenv(("E2E_LANE" + Lane() + "_DISPLAY").c_str());
  return display && *display && setenv("DISPLAY", display, 1) == 0;
}();

}  // namespace

std::string BinDir() { return E2E_BIN_DIR; }
std::string SourceDir() { return E2E_SOURCE_DIR; }
std::string PrefixDir(const std::string& version) {
  const std::string lane = Lane().empty() ? "" : "lane" + Lane() + "/";
  return std::string(E2E_BIN_DIR) + "/../wine/" + lane + version;
}
std::string DriveC(const std::string& version) { return PrefixDir(version) + "/drive_c"; }

int TimeoutScale() {
  const char* value = std::getenv("WINE_TIMEOUT_SCALE");
  int scale = value ? std::atoi(value) : 1;
  return scale > 0 ? scale : 1;
}

int Shell(const std::string& command, std::string* output) {
  // Output goes to a file, not a pipe: Wine's background services inherit the
  // program's handles and may outlive it, so a pipe would never reach its end.
  char name[] = "/tmp/e2e-shell-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) return -1;
  close(fd);
  std::string full = "( " + command + " ) >" + Quote(name) + " 2>&1 </dev/null";
  int status = std::system(full.c_str());
  if (output) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    *output = text.str();
  }
  unlink(name);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

WineResult RunWine(const std::string& version, const std::vector<std::string>& argv, int timeout_seconds,
                   const std::vector<std::string>& env) {
  std::string command = "env WINEPREFIX=" + Quote(PrefixDir(version)) + " WINE_VERSION=" + Quote(version) +
                        " WINE_TIMEOUT=" + std::to_string(timeout_seconds);
  for (const std::string& e : env) command += " " + Quote(e);
  command += " " + Quote(SourceDir() + "/scripts/wine-run.sh");
  for (const std::string& a : argv) command += " " + Quote(a);
  WineResult result;
  result.exitCode = Shell(command, &result.output);
  result.timedOut = result.exitCode == 124 || result.exitCode == 137;
  return result;
}

std::string WinePath(const std::string& host_path) {
  std::string p = "Z:" + fs::absolute(host_path).string();
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

bool RegQuery(const std::string& version, const std::string& key, const std::string& value, std::string* data,
              std::string* type) {
  WineResult r = RunWine(version, {"reg", "query", key, "/v", value}, 60);
  if (r.exitCode != 0) return false;
  // Lines: "    NAME    REG_SZ    DATA\r"
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string needle = "    " + value + "    ";
    if (line.compare(0, needle.size(), needle) != 0) continue;
    std::string rest = line.substr(needle.size());
    size_t sep = rest.find("    ");
    std::string t = rest.substr(0, sep);
    if (type) *type = t;
    if (data) *data = sep == std::string::npos ? std::string() : rest.substr(sep + 4);
    return true;
  }
  return false;
}

bool RegKeyExists(const std::string& version, const std::string& key) {
  return RunWine(version, {"reg", "query", key}, 60).exitCode == 0;
}

bool RegDeleteKey(const std::string& version, const std::string& key) {
  return RunWine(version, {"reg", "delete", key, "/f"}, 60).exitCode == 0;
}

std::vector<std::string> LeftoverTemporaryFolders(const std::string& version) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::path users = DriveC(version) + "/users";
  for (auto it = fs::recursive_directory_iterator(users, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it.depth() > 5) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_symlink(ec)) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_directory(ec) && it->path().filename().string().rfind("zelcfg", 0) == 0)
      found.push_back(it->path().string());
  }
  return found;
}

std::vector<uint8_t> AssembleInstaller(const std::vector<uint8_t>& stub, const std::vector<Record>& records,
                                       bool signature, const std::vector<uint8_t>& tail) {
  std::vector<uint8_t> out(stub);
  for (const Record& r : records) {
    out.insert(out.end(), r.data.begin(), r.data.end());
    AppendLE32(&out, static_cast<uint32_t>(r.data.size()));
    AppendLE32(&out, r.type);
  }
  if (signature) {
    static const char kSig[] = "!zelkoninstallersig!";
    out.insert(out.end(), kSig, kSig + 20);
  }
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

std::vector<std::string> LoggedFiles(const std::string& log) {
  std::vector<std::string> files;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t open = line.find("<File>"), close = line.find("</File>");
    if (open != std::string::npos && close != std::string::npos) files.push_back(line.substr(open + 6, close - open - 6));
  }
  return files;
}

}  // namespace e2e
