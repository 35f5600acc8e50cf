// Reads back what the install actions leave on a Windows system: shell link
// files through IShellLinkA, and the DACL of a file or registry key. Shared
// by the engine's Windows tests and the action_inspector helper program.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace inspection {

struct LinkInfo {
  std::string target, arguments, workingDirectory, description, icon;
  int iconIndex = -1;
};

// Loads a ".lnk" file into a shell link object; COM must be initialised.
inline bool ReadShellLink(const std::string& path, LinkInfo* info) {
  const CLSID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const IID kShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  const IID kPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  IPersistFile* file = nullptr;
  bool ok = false;
  if (SUCCEEDED(link->QueryInterface(kPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR name[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, name, MAX_PATH);
    if (SUCCEEDED(file->Load(name, STGM_READ))) {
      char buffer[1024];
      buffer[0] = 0;
      link->GetPath(buffer, sizeof buffer, nullptr, 0);
      info->target = buffer;
      buffer[0] = 0;
      link->GetArguments(buffer, sizeof buffer);
      info->arguments = buffer;
      buffer[0] = 0;
      link->GetWorkingDirectory(buffer, sizeof buffer);
      info->workingDirectory = buffer;
      buffer[0] = 0;
      link->GetDescription(buffer, sizeof buffer);
      info->description = buffer;
      buffer[0] = 0;
      int index = -1;
      link->GetIconLocation(buffer, sizeof buffer, &index);
      info->icon = buffer;
      info->iconIndex = index;
      ok = true;
    }
    file->Release();
  }
  link->Release();
  return ok;
}

struct AceInfo {
  int type = 0;
  int flags = 0;
  uint32_t mask = 0;
  std::string sid;  // "S-1-1-0" for Everyone
};

struct DaclInfo {
  bool present = false;
  bool isProtected = false;  // SE_DACL_PROTECTED
  std::vector<AceInfo> aces;
};

inline bool DescribeDacl(PSECURITY_DESCRIPTOR descriptor, DaclInfo* info) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(descriptor, &control, &revision)) return false;
  info->isProtected = (control & SE_DACL_PROTECTED) != 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted)) return false;
  info->present = present && acl;
  if (!info->present) return true;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(acl, i, &raw)) return false;
    auto* header = static_cast<ACE_HEADER*>(raw);
    AceInfo ace;
    ace.type = header->AceType;
    ace.flags = header->AceFlags;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(raw);
      ace.mask = allowed->Mask;
      char* text = nullptr;
      if (ConvertSidToStringSidA(reinterpret_cast<PSID>(&allowed->SidStart), &text)) {
        ace.sid = text;
        LocalFree(text);
      }
    }
    info->aces.push_back(ace);
  }
  return true;
}

inline bool ReadFileDacl(const std::string& path, DaclInfo* info) {
  DWORD needed = 0;
  GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<char> buffer(needed);
  if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer.data(), needed, &needed)) return false;
  return DescribeDacl(buffer.data(), info);
}

inline bool ReadKeyDacl(HKEY root, const std::string& sub_key, DaclInfo* info) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, sub_key.c_str(), 0, READ_CONTROL, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
  bool ok = false;
  if (size > 0) {
    std::vector<char> buffer(size);
    ok = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, buffer.data(), &size) == ERROR_SUCCESS &&
         DescribeDacl(buffer.data(), info);
  }
  RegCloseKey(key);
  return ok;
}

}  // namespace inspection
