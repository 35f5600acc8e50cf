// Reading an install log back: what one installation made, entry by entry.
//
// The installer writes its log one entry per line and leaves several of
// them unescaped ("Defines" values, the programs' command lines), so a value
// holding "&" or "<" is legal there, and a run that stopped part-way leaves
// "<Registry>" without its end line. A strict XML reader would refuse such a
// log; this one reads it the way it was written, line by line:
//   - an entry the installer escapes is read by the XML reader's own rules
//     (whitespace collapsed, entities decoded);
//   - an entry it writes verbatim is taken exactly as it stands;
//   - an end line that never came ("</Registry>", "</InstallLog>") only
//     marks the log as incomplete.
// A line that is none of "<Tag>", "</Tag>" or "<Tag>value</Tag>" makes the
// whole log damaged: nothing of it is used.
#pragma once

#include <string>
#include <vector>

#include "base/string_utils.h"

struct LoggedRegValue {
  WString key;
  WString name;
};

struct LoggedShellCommand {
  WString name;
  WString command;
};

struct LoggedAssociation {
  WString extension;
  WString versionedName;
  WString iconLocation;
  std::vector<LoggedShellCommand> commands;
};

struct LoggedProgram {
  WString exe;
  WString directory;
  WString params;
  bool silentFail = false;
  bool postConfirmation = false;
};

struct LoggedDefine {
  WString name;
  WString value;
};

struct InstallLogEntries {
  WString installName;
  WString appDataSuffix;
  std::vector<WString> deltrees;         // UninstallDeltree
  std::vector<WString> userDirectories;  // UserDirectory
  std::vector<WString> deleteKeys;       // UninstallDelRegKey
  std::vector<WString> userKeys;         // UserRegKey
  std::vector<WString> files;            // File, as logged (may be unexpanded or conditional)
  std::vector<WString> gameGuids;        // GameExplorerGuid
  std::vector<LoggedRegValue> regValues;
  std::vector<LoggedAssociation> associations;
  std::vector<LoggedProgram> preExecs;
  std::vector<LoggedProgram> postExecs;
  std::vector<LoggedDefine> defines;
  bool registryClosed = false;  // "</Registry>" came (or no "<Registry>" at all)
  bool logClosed = false;       // "</InstallLog>" came
};

enum class LogReadError {
  None,
  Unreadable,    // the file cannot be opened
  NotAnInstallLog,  // no "<InstallLog>" line
  Damaged,       // a line of no known form, or an entry outside its block
};

struct LogReadResult {
  LogReadError error = LogReadError::None;
  int line = 0;        // the offending line for Damaged, counted from 1
  std::string detail;  // what was wrong with it
};

// The message for a failed read, naming the file and the line.
std::string DescribeLogReadResult(const LogReadResult& result, const std::string& log_path);

// Reads a log held as text (byte-order mark and declaration already gone or
// still present: both are skipped).
LogReadResult ParseInstallLog(const WString& text, InstallLogEntries* out);
// Reads a log file (UTF-8 with or without byte-order mark, CR LF or LF).
LogReadResult ReadInstallLogFile(const std::string& path, InstallLogEntries* out);
