// Benchmark helper for the cabinet writer's compressors (see
// lzx_compress.sh, which runs it beside gzip, xz and wimlib's LZX).
//
//   lzx_compress_bench generate DIR MB      game-like files (textures, audio,
//                                           text, meshes, packed data) of about
//                                           MB megabytes under DIR
//   lzx_compress_bench compress DIR OUT.cab [--level N] [--window BITS]
//                                           [--method lzx|mszip|stored] [--no-e8]
//                                           [--threads N]
//                                           one folder with every file of DIR
//   lzx_compress_bench verify CAB DIR       extracts CAB with the project's
//                                           cabinet engine and compares every
//                                           entry with DIR
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cabinet/cab_file_io.h"
#include "cabinet/cab_writer.h"
#include "cabinet/fdi.h"

namespace fs = std::filesystem;

namespace {

class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 7) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return static_cast<uint32_t>(s_ >> 16);
  }
  double Unit() { return Next() / 4294967296.0; }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t s_;
};

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, static_cast<uint16_t>(x));
  Put16(v, static_cast<uint16_t>(x >> 16));
}

// Smooth value noise on a lattice of `cell` pixels, several octaves.
double Noise(const std::vector<double>& lattice, unsigned n, double x, double y) {
  unsigned x0 = static_cast<unsigned>(x) % n, y0 = static_cast<unsigned>(y) % n;
  unsigned x1 = (x0 + 1) % n, y1 = (y0 + 1) % n;
  double fx = x - std::floor(x), fy = y - std::floor(y);
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = lattice[y0 * n + x0], b = lattice[y0 * n + x1], c = lattice[y1 * n + x0], d = lattice[y1 * n + x1];
  return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
}

// An uncompressed 24-bit bitmap: noise-based colours, with grain that ranges
// from none (UI art) to strong (photographic textures).
std::vector<uint8_t> Texture(unsigned size, double grain, Rng& rng) {
  const unsigned n = 64;
  std::vector<double> lattice(n * n);
  for (double& v : lattice) v = rng.Unit();
  double tint[3] = {0.5 + rng.Unit() / 2, 0.5 + rng.Unit() / 2, 0.5 + rng.Unit() / 2};
  std::vector<uint8_t> v;
  const uint32_t row = size * 3, pixels = row * size;
  v.insert(v.end(), {'B', 'M'});
  Put32(v, 54 + pixels);
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, size);
  Put32(v, size);
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);
  Put32(v, pixels);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (unsigned y = 0; y < size; ++y) {
    for (unsigned x = 0; x < size; ++x) {
      double value = 0, amp = 0.5, freq = 4.0 / size;
      for (int o = 0; o < 4; ++o, amp /= 2, freq *= 2) value += amp * Noise(lattice, n, x * freq * 4, y * freq * 4);
      for (int c = 0; c < 3; ++c) {
        double g = grain * (rng.Unit() - 0.5) * 64;
        int p = static_cast<int>(value * 255 * tint[c] + g);
        v.push_back(static_cast<uint8_t>(std::min(255, std::max(0, p))));
      }
    }
  }
  return v;
}

// 16-bit stereo PCM: a few drifting tones with an envelope and some noise.
std::vector<uint8_t> Audio(unsigned seconds, Rng& rng) {
  const unsigned rate = 22050, samples = rate * seconds;
  std::vector<uint8_t> v = {'R', 'I', 'F', 'F'};
  Put32(v, 36 + samples * 4);
  v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(v, 16);
  Put16(v, 1);
  Put16(v, 2);
  Put32(v, rate);
  Put32(v, rate * 4);
  Put16(v, 4);
  Put16(v, 16);
  v.insert(v.end(), {'d', 'a', 't', 'a'});
  Put32(v, samples * 4);
  double f[3] = {110.0 + rng.Below(400), 220.0 + rng.Below(600), 50.0 + rng.Below(100)};
  double phase[3] = {0, 0, 0};
  for (unsigned i = 0; i < samples; ++i) {
    double t = double(i) / rate, s = 0;
    for (int k = 0; k < 3; ++k) {
      phase[k] += 2 * M_PI * f[k] * (1 + 0.01 * std::sin(t * (k + 1))) / rate;
      s += std::sin(phase[k]) / 3;
    }
    double env = 0.5 + 0.5 * std::sin(t * 1.3);
    double noise = (rng.Unit() - 0.5) * 0.02;
    int left = static_cast<int>((s * env + noise) * 20000);
    int right = static_cast<int>((s * (1 - env / 2) + noise) * 20000);
    Put16(v, static_cast<uint16_t>(left));
    Put16(v, static_cast<uint16_t>(right));
  }
  return v;
}

std::string Word(Rng& rng) {
  static const char* kSyllables[] = {"ka", "to", "ri", "men", "sol", "dar", "ex", "lo", "vi", "quan", "tor", "is"};
  std::string w;
  for (unsigned n = 1 + rng.Below(3); n > 0; --n) w += kSyllables[rng.Below(12)];
  return w;
}

// Configuration XML, localized strings and scripts.
std::vector<uint8_t> Text(size_t size, int kind, Rng& rng) {
  std::string s;
  std::vector<std::string> vocabulary(400);
  for (auto& w : vocabulary) w = Word(rng);
  auto any = [&] { return vocabulary[std::min<uint32_t>(rng.Below(400), rng.Below(400))]; };
  while (s.size() < size) {
    if (kind == 0) {
      s += "  <Item Name=\"" + any() + "_" + any() + "\" Value=\"" + std::to_string(rng.Below(1000)) +
           "\" Type=\"" + any() + "\" Enabled=\"" + (rng.Below(2) ? "true" : "false") + "\"/>\n";
    } else if (kind == 1) {
      s += "STR_" + any() + "_" + std::to_string(rng.Below(5000)) + " = \"";
      for (unsigned n = 3 + rng.Below(12); n > 0; --n) s += any() + " ";
      s += "\"\n";
    } else {
      s += "function " + any() + "_" + any() + "(self, " + any() + ")\n  local " + any() + " = self." + any() +
           " + " + std::to_string(rng.Below(100)) + "\n  if " + any() + " > " + std::to_string(rng.Below(50)) +
           " then\n    return " + any() + "(" + any() + ")\n  end\nend\n\n";
    }
  }
  s.resize(size);
  return std::vector<uint8_t>(s.begin(), s.end());
}

// A mesh: floats of a wavy grid with normals and texture coordinates.
std::vector<uint8_t> Mesh(unsigned side, Rng& rng) {
  std::vector<uint8_t> v;
  double a = rng.Unit() * 3, b = rng.Unit() * 3;
  for (unsigned y = 0; y < side; ++y)
    for (unsigned x = 0; x < side; ++x) {
      float values[8] = {float(x), float(std::sin(x * 0.1 * a) * std::cos(y * 0.1 * b) * 4), float(y), 0, 1, 0,
                         float(x) / side, float(y) / side};
      const uint8_t* p = reinterpret_cast<const uint8_t*>(values);
      v.insert(v.end(), p, p + sizeof values);
    }
  for (unsigned y = 0; y + 1 < side; ++y)
    for (unsigned x = 0; x + 1 < side; ++x)
      for (uint32_t i : {y * side + x, y * side + x + 1, (y + 1) * side + x}) {
        uint16_t s = static_cast<uint16_t>(i);
        v.push_back(static_cast<uint8_t>(s));
        v.push_back(static_cast<uint8_t>(s >> 8));
      }
  return v;
}

int Generate(const fs::path& dir, double megabytes) {
  Rng rng(2024);
  const double budget = megabytes * 1048576;
  // Shares of the generated part (the script adds executables beside it).
  double textures = budget * 0.45, audio = budget * 0.25, text = budget * 0.1, meshes = budget * 0.1,
         packed = budget * 0.1;
  unsigned i = 0;
  for (double done = 0; done < textures; ++i) {
    unsigned size = 256u << rng.Below(3);
    double grain = i % 3 == 0 ? 0 : i % 3 == 1 ? 0.3 : 1.0;
    auto v = Texture(size, grain, rng);
    done += v.size();
    WriteFile(dir / "textures" / ("tex" + std::to_string(i) + ".bmp"), v);
  }
  for (double done = 0; done < audio; ++i) {
    auto v = Audio(5 + rng.Below(20), rng);
    done += v.size();
    WriteFile(dir / "sound" / ("sfx" + std::to_string(i) + ".wav"), v);
  }
  for (double done = 0; done < text; ++i) {
    auto v = Text(20000 + rng.Below(300000), i % 3, rng);
    done += v.size();
    WriteFile(dir / "data" / ("text" + std::to_string(i) + (i % 3 == 0 ? ".xml" : i % 3 == 1 ? ".lang" : ".lua")), v);
  }
  for (double done = 0; done < meshes; ++i) {
    auto v = Mesh(64 + rng.Below(192), rng);
    done += v.size();
    WriteFile(dir / "models" / ("mesh" + std::to_string(i) + ".bin"), v);
  }
  // Already compressed assets (music, videos) look like noise.
  for (double done = 0; done < packed; ++i) {
    std::vector<uint8_t> v(500000 + rng.Below(3000000));
    for (auto& b : v) b = static_cast<uint8_t>(rng.Next());
    done += v.size();
    WriteFile(dir / "music" / ("track" + std::to_string(i) + ".ogg"), v);
  }
  return 0;
}

int Compress(const fs::path& dir, const std::string& out, const cab::CabFolderOptions& options) {
  std::vector<fs::path> files;
  for (auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  cab::CabWriter writer;
  if (!writer.StartFolder(options)) {
    std::fprintf(stderr, "%s\n", writer.error().c_str());
    return 1;
  }
  uint64_t input = 0;
  for (const fs::path& p : files) {
    std::string name = fs::relative(p, dir).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    if (!writer.AddFile(name, p.string(), cab::DosDate(2010, 1, 1), cab::DosTime(12, 0, 0), 0x20)) {
      std::fprintf(stderr, "%s\n", writer.error().c_str());
      return 1;
    }
    input += fs::file_size(p);
  }
  auto start = std::chrono::steady_clock::now();
  const std::clock_t cpu_start = std::clock();
  if (!writer.WriteToFile(out)) {
    std::fprintf(stderr, "%s\n", writer.error().c_str());
    return 1;
  }
  // The machine may be shared: processor time says what the compressor costs,
  // wall time what the user waited.
  const double cpu = double(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const cab::LzxEncoderStats& s = writer.lzx_stats();
  std::printf("input=%" PRIu64 " output=%" PRIu64 " cpu=%.2f wall=%.2f cpu_mbps=%.2f wall_mbps=%.2f verbatim=%" PRIu64
              " aligned=%" PRIu64 " uncompressed=%" PRIu64 "\n",
              input, static_cast<uint64_t>(fs::file_size(out)), cpu, seconds, input / 1048576.0 / cpu,
              input / 1048576.0 / seconds, s.verbatim_blocks, s.aligned_blocks, s.uncompressed_blocks);
  return 0;
}

// verify: each extracted entry is compared with its source as it is written.
struct Comparer {
  std::ifstream source;
  bool same = true;
  std::string name;
};
std::map<fdi::Handle, Comparer> g_comparers;
fdi::Handle g_next = 1 << 28;
fs::path g_dir;
uint64_t g_entries = 0, g_bytes = 0, g_mismatches = 0;

void* Alloc(uint32_t n) { return ::operator new(n ? n : 1); }
void Free(void* p) { ::operator delete(p); }
uint32_t CompareWrite(void*, fdi::Handle h, const void* buffer, uint32_t count) {
  auto it = g_comparers.find(h);
  if (it == g_comparers.end()) return cab::io::Write(h, buffer, count);
  std::vector<char> expected(count);
  it->second.source.read(expected.data(), count);
  if (static_cast<uint32_t>(it->second.source.gcount()) != count || std::memcmp(expected.data(), buffer, count) != 0)
    it->second.same = false;
  g_bytes += count;
  return count;
}
int CompareClose(void*, fdi::Handle h) {
  auto it = g_comparers.find(h);
  if (it == g_comparers.end()) return cab::io::Close(h);
  if (it->second.source.peek() != std::char_traits<char>::eof()) it->second.same = false;
  if (!it->second.same) {
    std::fprintf(stderr, "differs: %s\n", it->second.name.c_str());
    ++g_mismatches;
  }
  g_comparers.erase(it);
  return 0;
}
intptr_t Notify(fdi::NotificationType type, fdi::Notification* n) {
  if (type == fdi::kCopyFile) {
    std::string name = n->name1;
    std::replace(name.begin(), name.end(), '\\', '/');
    fdi::Handle h = g_next++;
    Comparer& c = g_comparers[h];
    c.source.open(g_dir / name, std::ios::binary);
    c.same = static_cast<bool>(c.source);
    c.name = n->name1;
    ++g_entries;
    return h;
  }
  if (type == fdi::kCloseFileInfo) return CompareClose(nullptr, n->handle) == 0 ? 1 : 0;
  return 0;
}

int Verify(const std::string& cabinet, const fs::path& dir) {
  g_dir = dir;
  fdi::ErrorRecord error;
  fdi::Context* ctx = fdi::FDICreate(Alloc, Free, cab::io::EngineOpen, cab::io::EngineRead, CompareWrite, CompareClose,
                                     cab::io::EngineSeek,
                                     fdi::kCpu80386, &error);
  if (!ctx) return 1;
  auto start = std::chrono::steady_clock::now();
  bool ok = fdi::FDICopy(ctx, cabinet.c_str(), "", 0, Notify, nullptr, nullptr);
  fdi::FDIDestroy(ctx);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("engine: %s, %" PRIu64 " entries, %" PRIu64 " bytes, %" PRIu64 " differ, %.1f MB/s\n",
              ok ? "ok" : fdi::ErrorText(error.code), g_entries, g_bytes, g_mismatches,
              g_bytes / 1048576.0 / seconds);
  return ok && g_mismatches == 0 ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: lzx_compress_bench generate DIR MB\n"
               "       lzx_compress_bench compress DIR OUT.cab [--level N] [--window BITS] "
               "[--method lzx|mszip|stored] [--no-e8] [--e8-size N] [--threads N]\n"
               "       lzx_compress_bench verify CAB DIR\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string mode = argv[1];
  if (mode == "generate" && argc == 4) return Generate(argv[2], std::atof(argv[3]));
  if (mode == "verify" && argc == 4) return Verify(argv[2], argv[3]);
  if (mode == "compress" && argc >= 4) {
    cab::CabFolderOptions o;
    for (int i = 4; i < argc; ++i) {
      std::string a = argv[i];
      if (a == "--level" && i + 1 < argc) o.lzx_level = std::atoi(argv[++i]);
      else if (a == "--window" && i + 1 < argc) o.lzx_window_bits = static_cast<unsigned>(std::atoi(argv[++i]));
      else if (a == "--threads" && i + 1 < argc) o.lzx_threads = static_cast<unsigned>(std::atoi(argv[++i]));
      else if (a == "--no-e8") o.lzx_e8_translation = false;
      else if (a == "--e8-size" && i + 1 < argc) o.lzx_e8_translation_size = static_cast<uint32_t>(std::atol(argv[++i]));
      else if (a == "--method" && i + 1 < argc) {
        std::string m = argv[++i];
        o.compression = m == "mszip" ? cab::CabCompression::kMszip
                        : m == "stored" ? cab::CabCompression::kStored
                                        : cab::CabCompression::kLzx;
      } else {
        return Usage();
      }
    }
    return Compress(argv[2], argv[3], o);
  }
  return Usage();
}
