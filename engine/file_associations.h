// File associations: the product's file types mapped to a versioned type
// name with its shell commands and icon, under HKEY_CLASSES_ROOT and again
// under HKEY_LOCAL_MACHINE\SOFTWARE\Classes. The path rules and the log
// block are portable and live here; the writes are in
// file_associations_win.cpp.
#pragma once

#include <string>
#include <vector>

#include "base/string_utils.h"
#include "engine/install_records.h"

// Splits a classes path at its last backslash into the key and the value
// name: "a\b\" is the default value of a\b, "a\b\c" the value c of a\b, and
// a path without backslash is a key's default value.
void SplitClassesPath(const std::string& path, std::string* key, std::string* value_name);

// An association without a shell command, an extension or a versioned name
// is left out entirely.
bool IsUsableAssociation(const FileAssociation& association);

// One value to write: its path in the classes tree (see SplitClassesPath)
// and its text.
struct ClassesValue {
  std::string path;
  std::string value;
};
// The values of one association, in the order they are written. commands
// and icon are the expanded Command texts and IconLocation; the icon is
// written when the configured IconLocation is not empty.
std::vector<ClassesValue> AssociationValues(const FileAssociation& association,
                                            const std::vector<std::string>& commands, const std::string& icon);

// The install log block of one association.
std::vector<WString> AssociationLogLines(const FileAssociation& association, const std::vector<std::string>& commands,
                                         const std::string& icon);
