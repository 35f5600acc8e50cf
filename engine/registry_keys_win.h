// The Windows handle of a configured root key.
#pragma once

#include <windows.h>

#include "engine/registry_values.h"

inline HKEY RootKeyHandle(RootKey root) {
  switch (root) {
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
  }
  return HKEY_LOCAL_MACHINE;
}

// RegCreateKeyExA as the install steps call it: class "Key", non-volatile,
// all access, no security attributes.
inline LONG CreateInstallKey(HKEY parent, const std::string& sub_key, HKEY* key, DWORD* disposition) {
  char key_class[] = "Key";
  return RegCreateKeyExA(parent, sub_key.c_str(), 0, key_class, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                         key, disposition);
}

// A REG_SZ value written with a byte count equal to its length (no
// terminating zero).
inline LONG SetStringValue(HKEY key, const std::string& name, const std::string& value) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                        static_cast<DWORD>(value.size()));
}
