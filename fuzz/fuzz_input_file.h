// The readers that take a path (the payload, props.xml, install.xml) read
// each fuzz input from a file of this process's own, rewritten per input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string WriteFuzzInputFile(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/fuzz-input-" + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  if (size && std::fwrite(data, 1, size, f) != size) __builtin_trap();
  std::fclose(f);
  return path;
}
