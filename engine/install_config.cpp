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
            if (xml_->HasError()) SetError(Narrow(xml_->ErrorText()));
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
  if (name == u"Registry") return ReadRegistry();
  if (name == u"TemporaryInstallResources") return ReadTemporaryResources();
  if (name == u"Shortcuts") return ReadShortcutList();
  if (name == u"Retailers") return ReadRetailerList();
  if (name == u"FileAssociations") return ReadFileAssociationList();
  if (name == u"RequiredInstallPath") return ReadRequiredInstallPath();
  if (name == u"ExFileInfo") return ReadEmpty();

  struct TextField {
    const char16_t* name;
    std::string* target;
  };
  const TextField text_fields[] = {
      {u"RunExe", &RunExe},         {u"InstallLog", &InstallLog},     {u"AppDataSuffix", &AppDataSuffix},
      {u"GameExplorer", &GameExplorer}, {u"GameExplorerLinkName", &GameExplorerLinkName},
      {u"UninstallCmd", &UninstallCmd},
  };
  for (const TextField& field : text_fields)
    if (name == field.name) return ReadText(field.target);

  struct ListField {
    const char16_t* name;
    std::vector<std::string>* target;
  };
  const ListField list_fields[] = {
      {u"UninstallDeltree", &UninstallDeltree},
      {u"UserDirectory", &UserDirectory},
      {u"UninstallDelRegKey", &UninstallDelRegKey},
      {u"UserRegKey", &UserRegKey},
      {u"GrantAllFilePermissions", &GrantAllFilePermissions},
      {u"GrantAllRegistryPermissions", &GrantAllRegistryPermissions},
  };
  for (const ListField& field : list_fields)
    if (name == field.name) return ReadTextList(field.target);

  struct ExecField {
    const char16_t* name;
    std::vector<ExecRecord>* target;
  };
  const ExecField exec_fields[] = {
      {u"PreExec", &PreExec},
      {u"PostExec", &PostExec},
      {u"UninstallPreExec", &UninstallPreExec},
      {u"UninstallPostExec", &UninstallPostExec},
  };
  for (const ExecField& field : exec_fields) {
    if (name != field.name) continue;
    ExecRecord record;
    if (!ReadExecRecord(&record)) return false;
    field.target->push_back(record);
    return true;
  }

  SetError("Invalid Section " + Quoted(name));
  return false;
}

// ---- Texts ----

bool InstallConfigParser::ReadText(std::string* target) {
  target->clear();
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      *target = Narrow(item.value);
    } else if (item.type == SectionStart) {
      SetError("Unexpected Section: " + Narrow(item.value));
      return false;
    }
  }
  return false;
}

bool InstallConfigParser::ReadWideText(WString* target) {
  target->clear();
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      *target += item.value;
    } else if (item.type == SectionStart) {
      SetError("Unexpected Section: " + Narrow(item.value));
      return false;
    }
  }
  return false;
}

bool InstallConfigParser::ReadNumber(int32_t* target) {
  std::string text;
  if (!ReadText(&text)) return false;
  *target = LenientDecimal(text);
  return true;
}

bool InstallConfigParser::ReadFlag(bool* target) {
  int32_t number = 0;
  if (!ReadNumber(&number)) return false;
  *target = number != 0;
  return true;
}

bool InstallConfigParser::ReadTextList(std::vector<std::string>* target) {
  std::string text;
  if (!ReadText(&text)) return false;
  target->push_back(text);
  return true;
}

bool InstallConfigParser::ReadEmpty() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == SectionStart) {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
  }
  return false;
}

// ---- Lists and records ----
//
// Every list and record reader has the same shape: children by name until
// the end tag, an unknown child or text is an error, and the record is only
// stored when its end tag was read.

bool InstallConfigParser::ReadRegistry() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    if (item.value != u"RegValue") {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    RegValue value;
    if (!ReadRegValue(&value)) return false;
    Registry.push_back(value);
  }
  return false;
}

bool InstallConfigParser::ReadRegValue(RegValue* value) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    bool ok;
    if (item.value == u"Key")
      ok = ReadText(&value->Key);
    else if (item.value == u"Name")
      ok = ReadText(&value->Name);
    else if (item.value == u"Value")
      ok = ReadText(&value->Value);
    else if (item.value == u"TypeNum")
      ok = ReadNumber(&value->TypeNum);
    else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ok) return false;
  }
  return false;
}

bool InstallConfigParser::ReadShortcutList() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    if (item.value != u"Shortcut") {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    Shortcut shortcut;
    // Present at all means shared, whatever the value (shared="0" too).
    shortcut.shared = item.HasAttribute(u"shared");
    if (!ReadShortcut(&shortcut)) return false;
    Shortcuts.push_back(shortcut);
  }
  return false;
}

bool InstallConfigParser::ReadShortcut(Shortcut* shortcut) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    std::string* target = nullptr;
    if (item.value == u"Dest")
      target = &shortcut->Dest;
    else if (item.value == u"Target")
      target = &shortcut->Target;
    else if (item.value == u"Args")
      target = &shortcut->Args;
    else if (item.value == u"Icon")
      target = &shortcut->Icon;
    else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ReadText(target)) return false;
  }
  return false;
}

bool InstallConfigParser::ReadRetailerList() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    if (item.value != u"Retailer") {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    Retailer retailer;
    if (!ReadRetailer(&retailer)) return false;
    Retailers.push_back(retailer);
  }
  return false;
}

bool InstallConfigParser::ReadRetailer(Retailer* retailer) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    bool ok;
    if (item.value == u"Name") {
      ok = ReadText(&retailer->Name);
    } else if (item.value == u"DisplayIcon") {
      ok = ReadText(&retailer->DisplayIcon);
    } else if (item.value == u"Shortcut") {
      // A retailer's shortcuts are never shared; the attribute is not read.
      Shortcut shortcut;
      ok = ReadShortcut(&shortcut);
      if (ok) retailer->Shortcuts.push_back(shortcut);
    } else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ok) return false;
  }
  return false;
}

bool InstallConfigParser::ReadFileAssociationList() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    if (item.value != u"FileAssociation") {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    FileAssociation association;
    if (!ReadFileAssociation(&association)) return false;
    FileAssociations.push_back(association);
  }
  return false;
}

bool InstallConfigParser::ReadFileAssociation(FileAssociation* association) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    bool ok;
    if (item.value == u"FileExtension") {
      ok = ReadText(&association->FileExtension);
    } else if (item.value == u"VersionedName") {
      ok = ReadText(&association->VersionedName);
    } else if (item.value == u"IconLocation") {
      ok = ReadText(&association->IconLocation);
    } else if (item.value == u"ShellCommand") {
      ShellCommand command;
      ok = ReadShellCommand(&command);
      if (ok) association->ShellCommands.push_back(command);
    } else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ok) return false;
  }
  return false;
}

bool InstallConfigParser::ReadShellCommand(ShellCommand* command) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    bool ok;
    if (item.value == u"Name")
      ok = ReadText(&command->Name);
    else if (item.value == u"Command")
      ok = ReadText(&command->Command);
    else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ok) return false;
  }
  return false;
}

bool InstallConfigParser::ReadTemporaryResources() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    if (item.value != u"File") {
      // This list's message has always had a lower-case "section".
      SetError("Invalid section " + Quoted(item.value));
      return false;
    }
    std::string file;
    if (!ReadText(&file)) return false;
    TemporaryInstallResources.push_back(file);
  }
  return false;
}

bool InstallConfigParser::ReadRequiredInstallPath() {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    bool ok;
    if (item.value == u"InstallLocation")
      ok = ReadText(&InstallLocation);
    else if (item.value == u"FileNameAppend")
      ok = ReadText(&FileNameAppend);
    else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ok) return false;
  }
  return false;
}

bool InstallConfigParser::ReadExecRecord(ExecRecord* record) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Element Not Expected " + Quoted(item.value));
      return false;
    }
    if (item.type != SectionStart) continue;
    bool ok;
    if (item.value == u"Exe")
      ok = ReadText(&record->Exe);
    else if (item.value == u"Directory")
      ok = ReadText(&record->Directory);
    else if (item.value == u"Params")
      ok = ReadText(&record->Params);
    else if (item.value == u"Id")
      ok = ReadText(&record->Id);
    else if (item.value == u"SilentFail")
      ok = ReadFlag(&record->SilentFail);
    else if (item.value == u"PostConfirmation")
      ok = ReadFlag(&record->PostConfirmation);
    else if (item.value == u"StatusMessage")
      ok = ReadWideText(&record->StatusMessage);
    else if (item.value == u"ReturnCodes")
      ok = ReadReturnCodes(&record->ReturnCodes);
    else {
      SetError("Invalid Section " + Quoted(item.value));
      return false;
    }
    if (!ok) return false;
  }
  return false;
}

bool InstallConfigParser::ReadReturnCodes(std::set<int32_t>* codes) {
  XMLItem item;
  while (Next(item)) {
    if (item.type == SectionEnd) return true;
    if (item.type == Element) {
      SetError("Unexpected element " + Quoted(item.value) + " encountered");
      return false;
    }
    if (item.type != SectionStart) continue;
    const bool success = item.value == u"Success";
    if (!success && item.value != u"Fail") {
      SetError("Unexpected section " + Quoted(item.value) + " encountered");
      return false;
    }
    std::string text;
    if (!ReadText(&text)) return false;
    int code = 0;
    if (!StringToInt(text, &code)) {
      SetError("Invalid value '" + text + "' specified for '" + (success ? "Success" : "Fail") + "' code");
      return false;
    }
    if (success)
      codes->insert(code);
    else
      codes->erase(code);
  }
  return false;
}

}  // namespace BrioCommon

BrioCommon::InstallConfigParser& InstallConfig() {
  static BrioCommon::InstallConfigParser config;
  return config;
}
