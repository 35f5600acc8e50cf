// Reading speed of the XML reader on a generated configuration document of
// about 1 MB (install.xml-like records: programs, registry values, shortcuts,
// files with attributes, text, comments and entity references), in text form
// and in both binary forms.
//   xml_bench [OUT_DIR] [MB] [RUNS]
// Writes OUT_DIR/bench.xml (for peer tools) and prints one line per form:
//   <form> bytes=<n> items=<n> best_ms=<wall> best_cpu_ms=<cpu> mb_per_s=<by cpu>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "xml/binary_xml_writer.h"
#include "xml/xml_parser.h"

namespace {

std::string GenerateDocument(size_t target_bytes) {
  std::string doc =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<InstallConfig>\n";
  for (unsigned i = 0; doc.size() < target_bytes; ++i) {
    std::string n = std::to_string(i);
    doc += "  <!-- component " + n + " -->\n";
    doc += "  <Program Path=\"%InstallPath%\\redist\\setup" + n +
           ".exe\" Args=\"/q /norestart\" Wait=\"1\">\n"
           "    <SuccessCode>0</SuccessCode>\n    <SuccessCode>3010</SuccessCode>\n"
           "    <Description>Runtime &amp; tools, part " + n + " of the set</Description>\n"
           "  </Program>\n";
    doc += "  <Registry Root=\"HKLM\" Key=\"SOFTWARE\\Maker\\Game\\Parts\\" + n +
           "\" Name=\"Path\" Type=\"REG_SZ\">%InstallPath%\\data\\part" + n + "</Registry>\n";
    doc += "  <Shortcut Name=\"%GAME_NAME% " + n + "\" Target=\"%InstallPath%\\game.exe\" "
           "Folder=\"%StartMenu%\\%InstallGroup%\" shared=\"1\"/>\n";
    doc += "  <File Source=\"files\\data\\level" + n + ".pak\" Size=\"" +
           std::to_string(1000 + i * 37) + "\">\"quoted   name\" &#x20AC; \xC3\xA9</File>\n";
  }
  doc += "</InstallConfig>\n";
  return doc;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Reads the whole file through Open/ReadNext; returns the item count, or -1
// on a reader error.
long ReadAll(const std::string& path) {
  BrioCommon::XMLParser parser;
  parser.Open(path);
  BrioCommon::XMLItem item;
  long items = 0;
  while (parser.ReadNext(item)) ++items;
  return parser.HasError() ? -1 : items;
}

// Best wall time and best CPU time of `runs` reads: on a shared machine
// the CPU time is the steadier figure.
void Measure(const char* form, const std::string& path, size_t bytes, int runs) {
  double best = 1e30, best_cpu = 1e30;
  long items = 0;
  for (int r = 0; r < runs; ++r) {
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpu_start = std::clock();
    items = ReadAll(path);
    double cpu = 1000.0 * (std::clock() - cpu_start) / CLOCKS_PER_SEC;
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
    if (ms < best) best = ms;
    if (cpu < best_cpu) best_cpu = cpu;
  }
  std::printf("%-7s bytes=%zu items=%ld best_ms=%.1f best_cpu_ms=%.1f mb_per_s=%.1f\n", form,
              bytes, items, best, best_cpu, bytes / 1048576.0 / (best_cpu / 1000.0));
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : ".";
  double mb = argc > 2 ? std::atof(argv[2]) : 1.0;
  int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  std::string doc = GenerateDocument(static_cast<size_t>(mb * 1048576));
  std::string text_path = dir + "/bench.xml";
  if (!WriteFile(text_path, doc)) {
    std::fprintf(stderr, "xml_bench: cannot write %s\n", text_path.c_str());
    return 1;
  }
  Measure("text", text_path, doc.size(), runs);

  const struct {
    const char* name;
    BrioCommon::BinaryXMLWriter::Mode mode;
  } forms[] = {{"plain", BrioCommon::BinaryXMLWriter::Plain},
               {"packed", BrioCommon::BinaryXMLWriter::Packed}};
  for (const auto& form : forms) {
    std::string path = dir + "/bench." + form.name + ".bin";
    WString error;
    if (!BrioCommon::ConvertXMLFileToBinary(text_path, path, form.mode, &error)) {
      std::fprintf(stderr, "xml_bench: conversion failed\n");
      return 1;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    size_t size = static_cast<size_t>(std::ftell(f));
    std::fclose(f);
    Measure(form.name, path, size, runs);
  }
  return 0;
}
