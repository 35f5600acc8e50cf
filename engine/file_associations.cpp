#include "engine/file_associations.h"

#include "xml/entities.h"

void SplitClassesPath(const std::string& path, std::string* key, std::string* value_name) {
  size_t slash = path.rfind('\\');
  if (slash == std::string::npos) {
    *key = path;
    value_name->clear();
    return;
  }
  *key = path.substr(0, slash);
  *value_name = path.substr(slash + 1);
}

bool IsUsableAssociation(const FileAssociation& association) {
  return !association.ShellCommands.empty() && !association.FileExtension.empty() &&
         !association.VersionedName.empty();
}

std::vector<ClassesValue> AssociationValues(const FileAssociation& association,
                                            const std::vector<std::string>& commands, const std::string& icon) {
  const std::string& versioned = association.VersionedName;
  std::vector<ClassesValue> values;
  values.push_back({association.FileExtension + "\\", versioned});
  for (size_t i = 0; i < association.ShellCommands.size(); ++i)
    values.push_back({versioned + "\\shell\\" + association.ShellCommands[i].Name + "\\command\\", commands[i]});
  if (!association.IconLocation.empty()) values.push_back({versioned + "\\DefaultIcon\\", icon});
  return values;
}

std::vector<WString> AssociationLogLines(const FileAssociation& association, const std::vector<std::string>& commands,
                                         const std::string& icon) {
  auto element = [](const char16_t* tabs, const char16_t* tag, const std::string& value) {
    return WString(tabs) + u"<" + tag + u">" + BrioCommon::EncodeEntities(Widen(value)) + u"</" + tag + u">";
  };
  std::vector<WString> lines;
  lines.push_back(u"\t<FileAssociation>");
  lines.push_back(element(u"\t\t", u"FileExtension", association.FileExtension));
  lines.push_back(element(u"\t\t", u"VersionedName", association.VersionedName));
  if (!association.IconLocation.empty()) lines.push_back(element(u"\t\t", u"IconLocation", icon));
  for (size_t i = 0; i < association.ShellCommands.size(); ++i) {
    lines.push_back(u"\t\t<ShellCommand>");
    lines.push_back(element(u"\t\t\t", u"Name", association.ShellCommands[i].Name));
    lines.push_back(element(u"\t\t\t", u"Command", commands[i]));
    lines.push_back(u"\t\t</ShellCommand>");
  }
  lines.push_back(u"\t</FileAssociation>");
  return lines;
}
