#include "engine/registry_values.h"

namespace {

int HexDigit(WChar c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

bool ParseRootKey(const WString& key, RootKey* root, WString* sub_key) {
  static const struct {
    const char16_t* prefix;
    RootKey root;
  } kPrefixes[] = {
      {u"HKLM\\", RootKey::LocalMachine},
      {u"HKCU\\", RootKey::CurrentUser},
      {u"HKCR\\", RootKey::ClassesRoot},
  };
  for (const auto& p : kPrefixes) {
    if (key.compare(0, 5, p.prefix) == 0) {
      *root = p.root;
      *sub_key = key.substr(5);
      return true;
    }
  }
  return false;
}

bool IsHexString(const WString& text) {
  for (WChar c : text)
    if (HexDigit(c) < 0) return false;
  return true;
}

std::string ParseBinaryValue(const WString& text, int* format_errors) {
  std::string bytes;
  *format_errors = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u' ') {
      ++i;
      continue;
    }
    WString pair = Upper(text.substr(i, 2));
    if (pair.size() == 2 && IsHexString(pair))
      bytes.push_back(static_cast<char>(HexDigit(pair[0]) * 16 + HexDigit(pair[1])));
    else
      ++*format_errors;
    i += 2;
  }
  return bytes;
}

bool RegistryValueData(int32_t type_num, const WString& value, uint32_t* reg_type, std::string* data,
                       int* format_errors) {
  *format_errors = 0;
  data->clear();
  switch (type_num) {
    case 0:
      *reg_type = kRegSz;
      *data = Narrow(value);
      return true;
    case 1: {
      *reg_type = kRegDword;
      int number = 0;
      StringToInt(value, &number);  // 0 when it does not convert
      uint32_t bits = static_cast<uint32_t>(number);
      for (int i = 0; i < 4; ++i) data->push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
      return true;
    }
    case 2:
      *reg_type = kRegBinary;
      *data = ParseBinaryValue(value, format_errors);
      return true;
    default:
      return false;
  }
}

void MergeCommandLineValues(std::vector<RegValue>* configured, std::vector<RegValue>* command_line) {
  for (RegValue& value : *configured) {
    std::string key = Upper(value.Key), name = Upper(value.Name);
    for (auto it = command_line->begin(); it != command_line->end(); ++it) {
      if (Upper(it->Key) == key && Upper(it->Name) == name) {
        value = *it;
        command_line->erase(it);
        break;
      }
    }
  }
  configured->insert(configured->end(), command_line->begin(), command_line->end());
  command_line->clear();
}

std::string UninstallSubKey(const std::string& install_name) {
  return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + install_name;
}
