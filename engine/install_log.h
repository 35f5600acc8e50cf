// The install log: what the installation made, for the separate uninstaller.
//
// The install steps append whole lines to a text kept in memory while they
// work; at the end of the run Finish writes the whole text to the
// log file in one go, as UTF-8 with a byte-order mark and the XML
// declaration. The file is opened in text mode, so on Windows every line
// feed reaches the disk as CR LF.
//
//   <InstallLog>
//   \t<InstallName>Example Game</InstallName>
//   \t<File>C:\Games\Example Game\game.exe</File>
//   \t<Registry>
//   \t\t<RegValue>
//   ...
//   </InstallLog>
//
// Threads: the install worker appends while it runs, the main thread
// finishes the log after the worker has ended; the two never overlap.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/string_utils.h"

class DefinesParser;
namespace BrioCommon {
class InstallConfigParser;
}

// How a value is written between its tags: escaped for XML (EncodeEntities)
// or exactly as it is.
enum class LogValue { Escaped, Verbatim };

class InstallLog {
 public:
  InstallLog() = default;
  ~InstallLog();
  InstallLog(const InstallLog&) = delete;
  InstallLog& operator=(const InstallLog&) = delete;

  // One line; the line feed is added here.
  void AppendLine(const WString& line);
  // tabs tab characters, then "<tag>" + value + "</tag>".
  void AppendElement(int tabs, const std::string& tag, const WString& value, LogValue form);
  const WString& Text() const { return text_; }

  // Opens (replacing) the log file in text mode. False when it cannot be
  // opened; the text is then only kept in memory.
  bool OpenFile(const std::string& path);
  bool HasFile() const { return file_ != nullptr; }

  // "<InstallLog>", InstallName, AppDataSuffix, the four lists of folders
  // and keys the uninstaller removes or keeps, expanded in `variables`, and
  // the notes.
  void AppendHeader(const BrioCommon::InstallConfigParser& config, const DefinesParser& variables);
  // A line for whoever reads the log, written after the header as
  // "<Note>" + text + "</Note>" (the uninstaller passes over it). Notes
  // added before AppendHeader go there.
  void AddNote(const WString& text) { notes_.push_back(text); }
  // "File" line of one extracted file.
  void AppendFile(const std::string& path);
  // The uninstall programs as "PreExec" and "PostExec" records; nothing when
  // there is no log file. Expanded in `variables`.
  void AppendUninstallExecs(const BrioCommon::InstallConfigParser& config, const DefinesParser& variables);
  // Appends the "Defines" block and "</InstallLog>", writes the file and
  // closes it; nothing when there is no log file, so a second call does
  // nothing.
  void Finish(const DefinesParser& defines);

 private:
  WString text_;
  std::vector<WString> notes_;
  std::FILE* file_ = nullptr;
};

// XML escaping of a value for the log.
WString EscapeLogValue(const WString& value);

// Where the copy of props.xml goes beside a log: the log path cut before its
// last '.' (the whole path when it has none) followed by "_props.xml".
std::string PropertiesCopyPathFor(const std::string& log_path);
