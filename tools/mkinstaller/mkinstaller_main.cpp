// mkinstaller: the authoring tool. Subcommands arrive with the cabinet and
// packing work; for now it only knows its version.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("mkinstaller 0.1.0\n");
    return 0;
  }
  std::fprintf(stderr, "usage: mkinstaller --version\n");
  return 2;
}
