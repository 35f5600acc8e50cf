// The install configuration: the in-memory model of install.xml.
//
//   <InstallConfig>
//     <Registry><RegValue><Key>..</Key><TypeNum>0</TypeNum><Name>..</Name>
//               <Value>..</Value></RegValue></Registry>
//     <Shortcuts><Shortcut shared="1"><Dest>..</Dest><Target>..</Target>
//                </Shortcut></Shortcuts>
//     <PreExec><Exe>..</Exe><ReturnCodes><Success>3010</Success></ReturnCodes>
//     </PreExec>
//     <InstallLog>%InstallPath%\install.log</InstallLog>
//     ...
//   </InstallConfig>
//
// The parser only stores text: every path, key and command is kept as
// written (narrowed to 8 bits per character) and expanded by the action that
// uses it. One instance lives for the whole run (InstallConfig()); the
// driver, the install worker, its actions and the pages read its members
// directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "engine/install_records.h"
#include "engine/reg_value.h"

namespace BrioCommon {

class XMLParser;
struct XMLItem;

class InstallConfigParser {
 public:
  InstallConfigParser();
  virtual ~InstallConfigParser();
  InstallConfigParser(const InstallConfigParser&) = delete;
  InstallConfigParser& operator=(const InstallConfigParser&) = delete;

  // Reads install.xml into the model, adding to what an earlier parse left.
  // False on any error; GetErrorText() then holds the message with its
  // " on Line n" and " in File 'name'" parts.
  bool ParseFile(const std::string& path);
  std::string GetErrorText() const { return errorText_; }

 private:
  std::unique_ptr<XMLParser> xml_;  // only while ParseFile runs

 public:
  std::vector<RegValue> Registry;
  std::vector<Shortcut> Shortcuts;
  std::vector<Retailer> Retailers;
  std::vector<FileAssociation> FileAssociations;

  std::vector<ExecRecord> PreExec;
  std::vector<ExecRecord> PostExec;
  std::vector<ExecRecord> UninstallPreExec;
  std::vector<ExecRecord> UninstallPostExec;

  std::string InstallLocation;
  std::string FileNameAppend;
  std::string RunExe;
  std::string InstallLog;
  std::string AppDataSuffix;
  std::string UninstallCmd;
  std::string GameExplorer;
  std::string GameExplorerLinkName = "Play";

  std::vector<std::string> UninstallDeltree;
  std::vector<std::string> UserDirectory;
  std::vector<std::string> UninstallDelRegKey;
  std::vector<std::string> UserRegKey;
  std::vector<std::string> GrantAllFilePermissions;
  std::vector<std::string> GrantAllRegistryPermissions;
  std::vector<std::string> TemporaryInstallResources;

 private:
  // Each reader consumes items up to and including the end tag of the
  // element whose start tag the caller has just read; false ends the parse.
  bool ReadInstallConfig();
  bool ReadSection(const WString& name);
  bool ReadText(std::string* target);
  bool ReadWideText(WString* target);
  bool ReadNumber(int32_t* target);
  bool ReadFlag(bool* target);
  bool ReadTextList(std::vector<std::string>* target);
  bool ReadEmpty();
  bool ReadRegistry();
  bool ReadRegValue(RegValue* value);
  bool ReadShortcutList();
  bool ReadShortcut(Shortcut* shortcut);
  bool ReadRetailerList();
  bool ReadRetailer(Retailer* retailer);
  bool ReadFileAssociationList();
  bool ReadFileAssociation(FileAssociation* association);
  bool ReadShellCommand(ShellCommand* command);
  bool ReadTemporaryResources();
  bool ReadRequiredInstallPath();
  bool ReadExecRecord(ExecRecord* record);
  bool ReadReturnCodes(std::set<int32_t>* codes);

  // Reads the next item; false at the end of the input or on a reader error.
  bool Next(XMLItem& item);
  void SetError(const std::string& message);

  bool failed_ = false;
  std::string errorText_;
};

}  // namespace BrioCommon

// The run's install configuration.
BrioCommon::InstallConfigParser& InstallConfig();
