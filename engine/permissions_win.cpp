// Permission grants: the configured folders, files and registry keys are
// created when missing and given a protected DACL with one entry, full
// control for Everyone, inherited by sub-folders and files. Best effort: the
// only reported error is a registry entry without a valid root.
//
// The security functions are looked up at run time; a system without any of
// them (Windows 9x) gets nothing done at all.
#include <windows.h>
#include <aclapi.h>

#include "base/fatal_error.h"
#include "base/library_loading.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "engine/registry_keys_win.h"
#include "engine/registry_values.h"

namespace {

using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD,
                                                 DWORD, DWORD, DWORD, PSID*);
using SetEntriesInAclAFn = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
using InitializeSecurityDescriptorFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
using SetSecurityDescriptorDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
using SetFileSecurityAFn = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
using RegSetKeySecurityFn = LONG(WINAPI*)(HKEY, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
using FreeSidFn = PVOID(WINAPI*)(PSID);
using SetSecurityDescriptorControlFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL,
                                                     SECURITY_DESCRIPTOR_CONTROL);

constexpr DWORD kAllRights = 0x1FFFFF;         // every standard and specific right
constexpr DWORD kAllFileAccess = 0x1F01FF;     // FILE_ALL_ACCESS
constexpr WORD kDaclProtected = 0x1000;        // SE_DACL_PROTECTED

struct SecurityFunctions {
  AllocateAndInitializeSidFn allocateSid = nullptr;
  SetEntriesInAclAFn setEntriesInAcl = nullptr;
  InitializeSecurityDescriptorFn initializeDescriptor = nullptr;
  SetSecurityDescriptorDaclFn setDacl = nullptr;
  SetFileSecurityAFn setFileSecurity = nullptr;
  RegSetKeySecurityFn setKeySecurity = nullptr;
  FreeSidFn freeSid = nullptr;
  SetSecurityDescriptorControlFn setControl = nullptr;

  template <typename Fn>
  static bool Find(HMODULE module, const char* name, Fn* fn) {
    *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *fn != nullptr;
  }
  bool Load(HMODULE module) {
    // Every lookup runs, so that the answer does not depend on the order.
    bool all = Find(module, "AllocateAndInitializeSid", &allocateSid);
    all = Find(module, "SetEntriesInAclA", &setEntriesInAcl) && all;
    all = Find(module, "InitializeSecurityDescriptor", &initializeDescriptor) && all;
    all = Find(module, "SetSecurityDescriptorDacl", &setDacl) && all;
    all = Find(module, "SetFileSecurityA", &setFileSecurity) && all;
    all = Find(module, "RegSetKeySecurity", &setKeySecurity) && all;
    all = Find(module, "FreeSid", &freeSid) && all;
    all = Find(module, "SetSecurityDescriptorControl", &setControl) && all;
    return all;
  }
};

bool NamesFolder(const std::string& path) { return !path.empty() && (path.back() == '\\' || path.back() == '/'); }

void GrantFile(const SecurityFunctions& fn, std::string path, PSECURITY_DESCRIPTOR descriptor) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  if (NamesFolder(path)) {
    path = RemoveTrailingSlash(path);
    MakeDirectories(GetDirectory(path));
    CreateDirectoryA(path.c_str(), &attributes);  // an existing folder stays as it is
  } else {
    MakeDirectories(GetDirectory(path));
    HANDLE file = CreateFileA(path.c_str(), kAllFileAccess, 0, &attributes, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  fn.setFileSecurity(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
}

// False (after the message) for a key without a valid root.
bool GrantKey(const SecurityFunctions& fn, const WString& key_text, PSECURITY_DESCRIPTOR descriptor) {
  RootKey root;
  WString sub_key;
  if (!ParseRootKey(key_text, &root, &sub_key)) {
    ShowFatalError(u"Invalid Key '" + key_text + u"'");
    return false;
  }
  HKEY key = nullptr;
  if (RegCreateKeyA(RootKeyHandle(root), Narrow(sub_key).c_str(), &key) == ERROR_SUCCESS) {
    fn.setKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(key);
  }
  return true;
}

// Grants every configured entry with a ready descriptor; false after an
// invalid registry key.
bool GrantAll(const InstallJob& job, const SecurityFunctions& fn, PSECURITY_DESCRIPTOR descriptor) {
  const BrioCommon::InstallConfigParser& config = job.config;
  for (const std::string& entry : config.GrantAllFilePermissions) {
    std::string path = job.ExpandText(entry);
    if (!path.empty()) GrantFile(fn, path, descriptor);
  }
  for (const std::string& entry : config.GrantAllRegistryPermissions) {
    WString key = job.Expand(Widen(entry));
    if (!key.empty() && !GrantKey(fn, key, descriptor)) return false;
  }
  return true;
}

}  // namespace

bool GrantPermissions(InstallJob& job) {
  HMODULE advapi = static_cast<HMODULE>(LoadSystemLibrary("advapi32.dll"));
  if (!advapi) return true;
  SecurityFunctions fn;
  bool result = true;
  PSID everyone = nullptr;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  if (fn.Load(advapi) &&
      fn.allocateSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    EXPLICIT_ACCESS_A access = {};
    access.grfAccessPermissions = kAllRights;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.pMultipleTrustee = nullptr;
    access.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = reinterpret_cast<LPSTR>(everyone);
    PACL acl = nullptr;
    if (fn.setEntriesInAcl(1, &access, nullptr, &acl) == ERROR_SUCCESS) {
      PSECURITY_DESCRIPTOR descriptor = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
      if (descriptor && fn.initializeDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
          fn.setDacl(descriptor, TRUE, acl, FALSE)) {
        fn.setControl(descriptor, kDaclProtected, kDaclProtected);  // a failure only keeps inheritance
        result = GrantAll(job, fn, descriptor);
      }
      if (descriptor) LocalFree(descriptor);
      LocalFree(acl);
    }
    fn.freeSid(everyone);
  }
  FreeLibrary(advapi);
  return result;
}
