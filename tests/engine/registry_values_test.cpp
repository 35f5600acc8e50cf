#include "engine/registry_values.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryValues, RootKeyPrefixes) {
  struct Case {
    const char16_t* key;
    bool ok;
    RootKey root;
    const char16_t* sub_key;
  } cases[] = {
      {u"HKLM\\Software\\Zelkon", true, RootKey::LocalMachine, u"Software\\Zelkon"},
      {u"HKCU\\Software\\Zelkon", true, RootKey::CurrentUser, u"Software\\Zelkon"},
      {u"HKCR\\.abc", true, RootKey::ClassesRoot, u".abc"},
      {u"HKLM\\", true, RootKey::LocalMachine, u""},
      {u"hklm\\Software\\x", false, RootKey::LocalMachine, u""},
      {u"HKEY_LOCAL_MACHINE\\Software", false, RootKey::LocalMachine, u""},
      {u"HKLM/Software", false, RootKey::LocalMachine, u""},
      {u"HKLM", false, RootKey::LocalMachine, u""},
      {u"", false, RootKey::LocalMachine, u""},
  };
  for (const Case& c : cases) {
    RootKey root = RootKey::LocalMachine;
    WString sub_key;
    ASSERT_EQ(ParseRootKey(c.key, &root, &sub_key), c.ok) << Narrow(c.key);
    if (!c.ok) continue;
    EXPECT_EQ(root, c.root) << Narrow(c.key);
    EXPECT_EQ(sub_key, c.sub_key) << Narrow(c.key);
  }
}

TEST(RegistryValues, HexStrings) {
  EXPECT_TRUE(IsHexString(u""));
  EXPECT_TRUE(IsHexString(u"0123456789abcdefABCDEF"));
  EXPECT_FALSE(IsHexString(u"0g"));
  EXPECT_FALSE(IsHexString(u"0 "));
  EXPECT_FALSE(IsHexString(u"\uFF10"));  // a full-width digit is no hex digit
}

TEST(RegistryValues, BinaryValues) {
  struct Case {
    const char16_t* text;
    std::string bytes;
    int errors;
  } cases[] = {
      {u"01 ff 7A", std::string("\x01\xff\x7a", 3), 0},
      {u"01ff7a", std::string("\x01\xff\x7a", 3), 0},
      {u"  00  ", std::string("\0", 1), 0},
      {u"", "", 0},
      {u"0 1", "", 2},       // the pair "0 " and the lone "1"
      {u"abc", "\xab", 1},   // an odd digit at the end
      {u"zz 10", "\x10", 1}, // a bad pair is skipped, the good one kept
      {u"1 23", "\x23", 1},  // "1 " is a pair with a space in it
  };
  for (const Case& c : cases) {
    int errors = -1;
    EXPECT_EQ(ParseBinaryValue(c.text, &errors), c.bytes) << Narrow(c.text);
    EXPECT_EQ(errors, c.errors) << Narrow(c.text);
  }
}

TEST(RegistryValues, ValueDataByType) {
  struct Case {
    int32_t type_num;
    const char16_t* value;
    bool ok;
    uint32_t reg_type;
    std::string data;
  } cases[] = {
      {0, u"0123456789", true, kRegSz, "0123456789"},
      {0, u"", true, kRegSz, ""},
      {0, u"caf\u00e9\u20ac", true, kRegSz, "caf\xe9\xac"},  // narrowed, no code page
      {1, u"0x10", true, kRegDword, std::string("\x10\0\0\0", 4)},
      {1, u"12abc", true, kRegDword, std::string(4, '\0')},
      {1, u"-1", true, kRegDword, std::string("\xff\xff\xff\xff", 4)},
      {1, u"305419896", true, kRegDword, std::string("\x78\x56\x34\x12", 4)},
      {2, u"01 ff 7A", true, kRegBinary, "\x01\xff\x7a"},
      {3, u"x", false, 0, ""},
      {-1, u"x", false, 0, ""},
  };
  for (const Case& c : cases) {
    uint32_t reg_type = 0;
    std::string data;
    int errors = 0;
    ASSERT_EQ(RegistryValueData(c.type_num, c.value, &reg_type, &data, &errors), c.ok) << c.type_num;
    if (!c.ok) continue;
    EXPECT_EQ(reg_type, c.reg_type) << Narrow(c.value);
    EXPECT_EQ(data, c.data) << Narrow(c.value);
  }
}

RegValue Value(const char* key, const char* name, const char* value, int32_t type = 0) {
  RegValue v;
  v.Key = key;
  v.Name = name;
  v.Value = value;
  v.TypeNum = type;
  return v;
}

TEST(RegistryValues, CommandLineValuesReplaceInPlaceAndAppendTheRest) {
  std::vector<RegValue> configured = {Value("HKLM\\Software\\Z", "Path", "a"), Value("HKLM\\Software\\Z", "Lang", "en"),
                                      Value("HKLM\\Software\\Z", "Size", "1", 1)};
  std::vector<RegValue> command_line = {Value("HKLM\\Software\\New", "X", "new"),
                                        Value("hklm\\software\\z", "LANG", "de"),
                                        Value("HKLM\\Software\\Z", "lang", "fr")};
  MergeCommandLineValues(&configured, &command_line);
  EXPECT_TRUE(command_line.empty());
  ASSERT_EQ(configured.size(), 5u);
  EXPECT_EQ(configured[0].Value, "a");
  // The first matching command-line record replaces the configured one,
  // with all four fields (its own spelling of key and name included).
  EXPECT_EQ(configured[1].Key, "hklm\\software\\z");
  EXPECT_EQ(configured[1].Name, "LANG");
  EXPECT_EQ(configured[1].Value, "de");
  EXPECT_EQ(configured[2].Value, "1");
  EXPECT_EQ(configured[2].TypeNum, 1);
  // The others are written after all configured values, in their order.
  EXPECT_EQ(configured[3].Value, "new");
  EXPECT_EQ(configured[4].Value, "fr");
}

TEST(RegistryValues, UninstallKey) {
  EXPECT_EQ(UninstallSubKey("Example Game"), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Example Game");
}

}  // namespace
