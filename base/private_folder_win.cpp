#include <windows.h>
#include <sddl.h>

#include "base/private_folder.h"

namespace {

constexpr int kTokenElevationClass = 20;  // TokenElevation (Windows Vista)
constexpr unsigned kNames = 0x10000;

class ScopedToken {
 public:
  ScopedToken() {
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &handle_)) handle_ = nullptr;
  }
  ~ScopedToken() {
    if (handle_) CloseHandle(handle_);
  }
  ScopedToken(const ScopedToken&) = delete;
  ScopedToken& operator=(const ScopedToken&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// The token's user as "S-1-5-...", empty when it cannot be read.
std::string TokenUserSid() {
  ScopedToken token;
  if (!token.get()) return std::string();
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return std::string();
  std::string buffer(size, '\0');
  if (!GetTokenInformation(token.get(), TokenUser, &buffer[0], size, &size)) return std::string();
  char* text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(&buffer[0])->User.Sid, &text)) return std::string();
  std::string sid = text;
  LocalFree(text);
  return sid;
}

}  // namespace

bool RunsElevated() {
  ScopedToken token;
  DWORD elevated = 0, returned = 0;
  return token.get() &&
         GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevationClass), &elevated,
                             sizeof elevated, &returned) &&
         returned == sizeof elevated && elevated != 0;
}

PrivateFolder MakePrivateFolder(const std::string& base, const std::string& prefix, bool restricted) {
  PrivateFolder folder;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (restricted) {
    const std::string sid = TokenUserSid();
    if (sid.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                           PrivateFolderDescriptor(sid).c_str(), SDDL_REVISION_1, &attributes.lpSecurityDescriptor,
                           nullptr)) {
      folder.error = PrivateFolderError::kNoDescriptor;
      return folder;
    }
  }
  folder.error = PrivateFolderError::kNoFreeName;
  unsigned number = (GetTickCount() ^ GetCurrentProcessId()) & (kNames - 1);
  for (unsigned tries = 0; tries < kNames; ++tries, number = (number + 1) & (kNames - 1)) {
    const std::string candidate = PrivateFolderName(base, prefix, number);
    // CreateDirectory fails on any name that exists, folder or file: the
    // folder it makes is the run's own.
    if (CreateDirectoryA(candidate.c_str(), restricted ? &attributes : nullptr)) {
      folder.path = candidate;
      folder.error = PrivateFolderError::kNone;
      folder.restricted = restricted;
      break;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      folder.error = PrivateFolderError::kCannotCreate;
      break;
    }
  }
  if (attributes.lpSecurityDescriptor) LocalFree(attributes.lpSecurityDescriptor);
  return folder;
}
