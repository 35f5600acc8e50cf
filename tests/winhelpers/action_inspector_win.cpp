// Prints what an install left, for the end-to-end tests on the host side:
//   action_inspector link PATH       target, arguments, working folder,
//                                    description and icon of a ".lnk" file
//   action_inspector filedacl PATH [OUT]  the DACL of a file or folder (into
//                                    OUT when given: run by an installer, it
//                                    has no console to print to)
//   action_inspector keydacl KEY     the DACL of HKLM\..., HKCU\... or HKCR\...
// One "name=value" line each; exit code 0, or 1 when it cannot be read.
#include <cstdio>
#include <cstring>

#include "winhelpers/action_inspection_win.h"

namespace {

void PrintDacl(const inspection::DaclInfo& dacl) {
  std::printf("present=%d\nprotected=%d\naces=%u\n", dacl.present ? 1 : 0, dacl.isProtected ? 1 : 0,
              static_cast<unsigned>(dacl.aces.size()));
  for (const inspection::AceInfo& ace : dacl.aces)
    std::printf("ace=%d,%d,0x%X,%s\n", ace.type, ace.flags, static_cast<unsigned>(ace.mask), ace.sid.c_str());
}

HKEY RootOf(const std::string& key, std::string* sub_key) {
  struct {
    const char* prefix;
    HKEY root;
  } roots[] = {{"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKCU\\", HKEY_CURRENT_USER}, {"HKCR\\", HKEY_CLASSES_ROOT}};
  for (const auto& r : roots) {
    if (key.compare(0, 5, r.prefix) == 0) {
      *sub_key = key.substr(5);
      return r.root;
    }
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 4 && std::strcmp(argv[1], "filedacl") == 0)) {
    std::fprintf(stderr, "usage: action_inspector link|filedacl|keydacl PATH\n");
    return 2;
  }
  std::string what = argv[1], path = argv[2];
  if (argc == 4 && !std::freopen(argv[3], "w", stdout)) return 1;
  if (what == "link") {
    CoInitialize(nullptr);
    inspection::LinkInfo link;
    bool ok = inspection::ReadShellLink(path, &link);
    if (ok)
      std::printf("target=%s\narguments=%s\nworkdir=%s\ndescription=%s\nicon=%s\niconindex=%d\n",
                  link.target.c_str(), link.arguments.c_str(), link.workingDirectory.c_str(),
                  link.description.c_str(), link.icon.c_str(), link.iconIndex);
    CoUninitialize();
    return ok ? 0 : 1;
  }
  inspection::DaclInfo dacl;
  if (what == "filedacl") {
    if (!inspection::ReadFileDacl(path, &dacl)) return 1;
  } else if (what == "keydacl") {
    std::string sub_key;
    HKEY root = RootOf(path, &sub_key);
    if (!root || !inspection::ReadKeyDacl(root, sub_key, &dacl)) return 1;
  } else {
    return 2;
  }
  PrintDacl(dacl);
  return 0;
}
