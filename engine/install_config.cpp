#include "engine/install_config.h"

#include <cstdint>

#include "xml/xml_parser.h"

namespace BrioCommon {
namespace {

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The lenient decimal reading of TypeNum, SilentFail and PostConfirmation:
// leading white space, an optional sign, the digits up to the first other
// character. No digits give 0; it never fails. Arithmetic wraps instead of
// overflowing.
int32_t LenientDecimal(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsWhitespace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + uint32_t(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

std::string Quoted(const WString& name) { return "'" + Narrow(name) + "'"; }

}  // namespace

InstallConfigParser::InstallConfigParser() = default;
InstallConfigParser::~InstallConfigParser() = default;

bool InstallConfigParser::ParseFile(const std::string& path) {
  xml_.reset(new XMLParser());
  if (xml_->Open(path)) {
    XMLItem item;
    while (xml_->ReadNext(item)) {
      if (item.type == SectionStart) {
        if (item.value == u"InstallConfig") {
          if (!ReadInstallConfig()) {
            if (xml_->HasError()) {
              SetError(Narrow(xml_->ErrorText()));
            } else if (!failed_) {
              // The reader ends quietly with sections still open; for this
              // file that means it was cut short, and the run stops on it, so
              // the player must be told why.
              SetError("Unexpected End of File");
            }
            xml_.reset();
            return false;
          }
          continue;
        }
        SetError("Invalid Section " + Quoted(item.value));
        break;
      }
      if (item.type == Element) {
        SetError("Element Not Expected " + Quoted(item.value));
        break;
      }
    }
  }
  if (xml_->HasError()) SetError(Narrow(xml_->ErrorText()));
  xml_.reset();
  return !failed_;
}

void InstallConfigParser::SetError(const std::string& message) {
  failed_ = true;
  errorText_ = message;
  if (xml_ && xml_->LineNumber() >= 1) errorText_ += " on Line " + std::to_string(xml_->LineNumber());
  if (xml_ && !xml_->SourceName().empty()) errorText_ += " in File '" + xml_->SourceName() + "'";
}

bool InstallConfigParser::Next(XMLItem& item) { return xml_->ReadNext(item); }

bool InstallConfigParser::ReadInstallConfig() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionStart) {
      if (!ReadSection(item.value)) return false;
    } else if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    } else if (item.type == SectionEnd) {
      return true;
    }
  }
  return false;
}

bool InstallConfigParser::ReadSection(const WString& name) {
  // This list's message has always had a lower-case "section".
  static const ChildErrors kFileListErrors = {"Element Not Expected ", "", "Invalid section ", ""};
  auto text_list = [this](std::vector<std::string>* list) {
    return [this, list](const XMLItem&) { return Append(list, &InstallConfigParser::ReadText); };
  };
  auto exec = [this](std::vector<ExecRecord>* list) {
    return [this, list](const XMLItem&) { return Append(list, &InstallConfigParser::ReadExecRecord); };
  };
  const Child sections[] = {
      {u"Registry",
       [this](const XMLItem&) {
         return ReadChildren({{u"RegValue", [this](const XMLItem&) {
                                 return Append(&Registry, &InstallConfigParser::ReadRegValue);
                               }}});
       }},
      {u"TemporaryInstallResources",
       [this, text_list](const XMLItem&) {
         return ReadChildren({{u"File", text_list(&TemporaryInstallResources)}}, kFileListErrors);
       }},
      {u"Shortcuts",
       [this](const XMLItem&) {
         return ReadChildren({{u"Shortcut", [this](const XMLItem& start) {
                                 // Present at all means shared, whatever the value (shared="0" too).
                                 Shortcut shortcut;
                                 shortcut.shared = start.HasAttribute(u"shared");
                                 return Append(&Shortcuts, &InstallConfigParser::ReadShortcut, shortcut);
                               }}});
       }},
      {u"Retailers",
       [this](const XMLItem&) {
         return ReadChildren({{u"Retailer", [this](const XMLItem&) {
                                 return Append(&Retailers, &InstallConfigParser::ReadRetailer);
                               }}});
       }},
      {u"FileAssociations",
       [this](const XMLItem&) {
         return ReadChildren({{u"FileAssociation", [this](const XMLItem&) {
                                 return Append(&FileAssociations, &InstallConfigParser::ReadFileAssociation);
                               }}});
       }},
      {u"RequiredInstallPath",
       [this](const XMLItem&) {
         return ReadChildren({{u"InstallLocation", Text(&InstallLocation)}, {u"FileNameAppend", Text(&FileNameAppend)}});
       }},
      {u"ExFileInfo", [this](const XMLItem&) { return ReadChildren({}); }},
      {u"RunExe", Text(&RunExe)},
      {u"InstallLog", Text(&InstallLog)},
      {u"AppDataSuffix", Text(&AppDataSuffix)},
      {u"GameExplorer", Text(&GameExplorer)},
      {u"GameExplorerLinkName", Text(&GameExplorerLinkName)},
      {u"UninstallCmd", Text(&UninstallCmd)},
      {u"UninstallDeltree", text_list(&UninstallDeltree)},
      {u"UserDirectory", text_list(&UserDirectory)},
      {u"UninstallDelRegKey", text_list(&UninstallDelRegKey)},
      {u"UserRegKey", text_list(&UserRegKey)},
      {u"GrantAllFilePermissions", text_list(&GrantAllFilePermissions)},
      {u"GrantAllRegistryPermissions", text_list(&GrantAllRegistryPermissions)},
      {u"PreExec", exec(&PreExec)},
      {u"PostExec", exec(&PostExec)},
      {u"UninstallPreExec", exec(&UninstallPreExec)},
      {u"UninstallPostExec", exec(&UninstallPostExec)},
  };
  XMLItem start;
  start.value = name;
  for (const Child& section : sections)
    if (name == section.name) return section.read(start);
  SetError("Invalid Section " + Quoted(name));
  return false;
}

// ---- Texts ----

// A text section: its text items go to `take`, a section inside it is an
// error.
bool InstallConfigParser::ReadTextItems(const std::function<void(const WString&)>& take) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      take(item.value);
    } else if (item.type == SectionStart) {
      SetError("Unexpected Section: " + Narrow(item.value));
      return false;
    }
  }
  return false;
}

// The last text item counts (narrowed); the wide form joins them all.
bool InstallConfigParser::ReadText(std::string* target) {
  target->clear();
  return ReadTextItems([target](const WString& text) { *target = Narrow(text); });
}

bool InstallConfigParser::ReadWideText(WString* target) {
  target->clear();
  return ReadTextItems([target](const WString& text) { *target += text; });
}

bool InstallConfigParser::ReadNumber(int32_t* target) {
  std::string text;
  if (!ReadText(&text)) return false;
  *target = LenientDecimal(text);
  return true;
}

// ---- Lists and records ----
//
// Every list and record reader is one table for ReadChildren: children by
// name until the end tag, an unknown child or text is an error, and a record
// is only stored when its end tag was read.

const InstallConfigParser::ChildErrors InstallConfigParser::kRecordErrors = {"Element Not Expected ", "",
                                                                             "Invalid Section ", ""};

bool InstallConfigParser::ReadChildren(std::initializer_list<Child> children, const ChildErrors& errors) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError(errors.element_before + Quoted(item.value) + errors.element_after);
      return false;
    }
    if (item.type != SectionStart) continue;
    const Child* child = nullptr;
    for (const Child& c : children)
      if (item.value == c.name) child = &c;
    if (!child) {
      SetError(errors.section_before + Quoted(item.value) + errors.section_after);
      return false;
    }
    if (!child->read(item)) return false;
  }
  return false;
}

InstallConfigParser::ChildRead InstallConfigParser::Text(std::string* target) {
  return [this, target](const XMLItem&) { return ReadText(target); };
}
InstallConfigParser::ChildRead InstallConfigParser::WideText(WString* target) {
  return [this, target](const XMLItem&) { return ReadWideText(target); };
}
InstallConfigParser::ChildRead InstallConfigParser::Number(int32_t* target) {
  return [this, target](const XMLItem&) { return ReadNumber(target); };
}
InstallConfigParser::ChildRead InstallConfigParser::Flag(bool* target) {
  return [this, target](const XMLItem&) {
    int32_t number = 0;
    if (!ReadNumber(&number)) return false;
    *target = number != 0;
    return true;
  };
}

template <typename Record>
bool InstallConfigParser::Append(std::vector<Record>* list, bool (InstallConfigParser::*read)(Record*), Record record) {
  if (!(this->*read)(&record)) return false;
  list->push_back(std::move(record));
  return true;
}

bool InstallConfigParser::ReadRegValue(RegValue* value) {
  return ReadChildren({{u"Key", Text(&value->Key)},
                       {u"Name", Text(&value->Name)},
                       {u"Value", Text(&value->Value)},
                       {u"TypeNum", Number(&value->TypeNum)}});
}

bool InstallConfigParser::ReadShortcut(Shortcut* shortcut) {
  return ReadChildren({{u"Dest", Text(&shortcut->Dest)},
                       {u"Target", Text(&shortcut->Target)},
                       {u"Args", Text(&shortcut->Args)},
                       {u"Icon", Text(&shortcut->Icon)}});
}

bool InstallConfigParser::ReadRetailer(Retailer* retailer) {
  // A retailer's shortcuts are never shared; the attribute is not read.
  return ReadChildren({{u"Name", Text(&retailer->Name)},
                       {u"DisplayIcon", Text(&retailer->DisplayIcon)},
                       {u"Shortcut", [this, retailer](const XMLItem&) {
                          return Append(&retailer->Shortcuts, &InstallConfigParser::ReadShortcut);
                        }}});
}

bool InstallConfigParser::ReadFileAssociation(FileAssociation* association) {
  return ReadChildren({{u"FileExtension", Text(&association->FileExtension)},
                       {u"VersionedName", Text(&association->VersionedName)},
                       {u"IconLocation", Text(&association->IconLocation)},
                       {u"ShellCommand", [this, association](const XMLItem&) {
                          return Append(&association->ShellCommands, &InstallConfigParser::ReadShellCommand);
                        }}});
}

bool InstallConfigParser::ReadShellCommand(ShellCommand* command) {
  return ReadChildren({{u"Name", Text(&command->Name)}, {u"Command", Text(&command->Command)}});
}

bool InstallConfigParser::ReadExecRecord(ExecRecord* record) {
  return ReadChildren({{u"Exe", Text(&record->Exe)},
                       {u"Directory", Text(&record->Directory)},
                       {u"Params", Text(&record->Params)},
                       {u"Id", Text(&record->Id)},
                       {u"SilentFail", Flag(&record->SilentFail)},
                       {u"PostConfirmation", Flag(&record->PostConfirmation)},
                       {u"StatusMessage", WideText(&record->StatusMessage)},
                       {u"ReturnCodes", [this, record](const XMLItem&) { return ReadReturnCodes(&record->ReturnCodes); }}});
}

bool InstallConfigParser::ReadReturnCodes(std::set<int32_t>* codes) {
  static const ChildErrors kErrors = {"Unexpected element ", " encountered", "Unexpected section ", " encountered"};
  auto code = [this, codes](bool success) {
    return [this, codes, success](const XMLItem&) {
      std::string text;
      if (!ReadText(&text)) return false;
      int value = 0;
      if (!StringToInt(text, &value)) {
        SetError("Invalid value '" + text + "' specified for '" + (success ? "Success" : "Fail") + "' code");
        return false;
      }
      if (success)
        codes->insert(value);
      else
        codes->erase(value);
      return true;
    };
  };
  return ReadChildren({{u"Success", code(true)}, {u"Fail", code(false)}}, kErrors);
}

}  // namespace BrioCommon
