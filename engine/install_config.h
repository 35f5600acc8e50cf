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
// The configuration is plain data (InstallConfiguration); the parser only
// stores text: every path, key and command is kept as written (narrowed to 8
// bits per character) and expanded by the action that uses it. The install
// job (engine/install_job.h) holds one; the driver, the install worker, its
// actions and the pages read its members directly.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/string_utils.h"
#include "engine/install_records.h"
#include "engine/reg_value.h"

namespace BrioCommon {

class XMLParser;
struct XMLItem;

// Every list and value of install.xml, as plain data: copyable, and reset
// with `config = {}` (GameExplorerLinkName then is "Play" again).
struct InstallConfiguration {
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
};

// The reader of install.xml. It is the configuration it reads (the job's
// one instance is both), so that the driver, the worker and the pages
// read the members directly; code that only needs the values takes an
// InstallConfiguration.
class InstallConfigParser : public InstallConfiguration {
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
  // How one child section of a record is read, found by its name.
  using ChildRead = std::function<bool(const XMLItem& start)>;
  struct Child {
    const char16_t* name;
    ChildRead read;
  };
  // The texts of the two errors of a child loop: text where only sections
  // may stand, and a section of a name the table lacks. Each message is
  // before + 'name' + after.
  struct ChildErrors {
    const char* element_before;
    const char* element_after;
    const char* section_before;
    const char* section_after;
  };
  static const ChildErrors kRecordErrors;

  // The one child loop: consumes items up to and including the end tag of
  // the element whose start tag the caller has just read, reading each child
  // section through its table entry; false ends the parse.
  bool ReadChildren(std::initializer_list<Child> children, const ChildErrors& errors = kRecordErrors);
  // Table entries for the simple fields.
  ChildRead Text(std::string* target);
  ChildRead WideText(WString* target);
  ChildRead Number(int32_t* target);
  ChildRead Flag(bool* target);
  // Reads one record with `read` and, once its end tag was read, appends it.
  template <typename Record>
  bool Append(std::vector<Record>* list, bool (InstallConfigParser::*read)(Record*), Record record = Record());

  bool ReadInstallConfig();
  bool ReadSection(const WString& name);
  bool ReadTextItems(const std::function<void(const WString&)>& take);
  bool ReadText(std::string* target);
  bool ReadWideText(WString* target);
  bool ReadNumber(int32_t* target);
  bool ReadRegValue(RegValue* value);
  bool ReadShortcut(Shortcut* shortcut);
  bool ReadRetailer(Retailer* retailer);
  bool ReadFileAssociation(FileAssociation* association);
  bool ReadShellCommand(ShellCommand* command);
  bool ReadExecRecord(ExecRecord* record);
  bool ReadReturnCodes(std::set<int32_t>* codes);

  // Reads the next item; false at the end of the input or on a reader error.
  bool Next(XMLItem& item);
  void SetError(const std::string& message);

  std::unique_ptr<XMLParser> xml_;  // only while ParseFile runs
  bool failed_ = false;
  std::string errorText_;
};

}  // namespace BrioCommon
