// The registry step: configured and command-line values, then the
// Add/Remove Programs entry. The decisions (root prefixes, value data, the
// merge of command-line values) are portable and live here; the writes are
// in registry_values_win.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "engine/reg_value.h"

// The three roots a configured key may name.
enum class RootKey { LocalMachine, CurrentUser, ClassesRoot };

// "HKLM\", "HKCU\" or "HKCR\" (exactly, case-sensitive) at the start of the
// key; the sub key is the rest. False for any other start.
bool ParseRootKey(const WString& key, RootKey* root, WString* sub_key);

// Every character is 0-9, A-F or a-f; true for the empty text.
bool IsHexString(const WString& text);

// The bytes of a binary value written as hexadecimal pairs with optional
// spaces between the pairs ("01 ff 7A"). A pair that is not two hex digits
// (including a lone digit at the end) is skipped and counted in
// format_errors; the good pairs are kept.
std::string ParseBinaryValue(const WString& text, int* format_errors);

// Registry value types, as the registry API numbers them.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// The data of a configured value by its TypeNum: 0 a string (narrowed, no
// terminating zero), 1 a 32-bit number (strict integer conversion, 0 when it
// does not convert, little-endian), 2 binary (ParseBinaryValue). False for
// any other TypeNum.
bool RegistryValueData(int32_t type_num, const WString& value, uint32_t* reg_type, std::string* data,
                       int* format_errors);

// Merges the "-regvalue" records into the configured list: a command-line
// record whose Key and Name equal (ignoring letter case) those of a
// configured record replaces it in place (first match for each configured
// record, in list order); the records left over are appended in their order.
// The command-line list is emptied.
void MergeCommandLineValues(std::vector<RegValue>* configured, std::vector<RegValue>* command_line);

// The Add/Remove Programs key of a product, under HKEY_LOCAL_MACHINE.
std::string UninstallSubKey(const std::string& install_name);
// The publisher shown there when the configuration names none.
constexpr const char* kDefaultPublisher = "Zelkon Games";
