#include "engine/install_log.h"

#include "config/defines_parser.h"
#include "config/expand.h"
#include "engine/install_config.h"
#include "xml/entities.h"
#include "xml/utf8_file_writer.h"

namespace {

WString Tabs(int count) { return WString(count > 0 ? size_t(count) : 0, u'\t'); }

WString ExpandConfigText(const DefinesParser& variables, const std::string& raw) {
  return Expand(variables, Widen(raw), true);
}

}  // namespace

InstallLog::~InstallLog() {
  if (file_) std::fclose(file_);
}

void InstallLog::AppendLine(const WString& line) {
  text_ += line;
  text_ += u'\n';
}

void InstallLog::AppendElement(int tabs, const std::string& tag, const WString& value, LogValue form) {
  const WString name = Widen(tag);
  AppendLine(Tabs(tabs) + u"<" + name + u">" + (form == LogValue::Escaped ? EscapeLogValue(value) : value) +
             u"</" + name + u">");
}

bool InstallLog::OpenFile(const std::string& path) {
  if (file_) std::fclose(file_);
  // Text mode: the line feeds of the text become CR LF on Windows.
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void InstallLog::AppendHeader(const BrioCommon::InstallConfigParser& config, const DefinesParser& variables) {
  AppendLine(u"<InstallLog>");
  AppendElement(1, "InstallName", Expand(variables, u"%InstallName%", true), LogValue::Escaped);
  if (!config.AppDataSuffix.empty())
    AppendElement(1, "AppDataSuffix", Widen(config.AppDataSuffix), LogValue::Verbatim);
  struct List {
    const char* tag;
    const std::vector<std::string>* entries;
  };
  const List lists[] = {
      {"UninstallDeltree", &config.UninstallDeltree},
      {"UserDirectory", &config.UserDirectory},
      {"UninstallDelRegKey", &config.UninstallDelRegKey},
      {"UserRegKey", &config.UserRegKey},
  };
  for (const List& list : lists)
    for (const std::string& entry : *list.entries)
      AppendElement(1, list.tag, ExpandConfigText(variables, entry), LogValue::Escaped);
  for (const WString& note : notes_) AppendElement(1, "Note", note, LogValue::Escaped);
}

void InstallLog::AppendFile(const std::string& path) { AppendElement(1, "File", Widen(path), LogValue::Escaped); }

void InstallLog::AppendUninstallExecs(const BrioCommon::InstallConfigParser& config,
                                      const DefinesParser& variables) {
  if (!file_) return;
  struct List {
    const char* tag;
    const std::vector<ExecRecord>* records;
  };
  const List lists[] = {{"PreExec", &config.UninstallPreExec}, {"PostExec", &config.UninstallPostExec}};
  for (const List& list : lists) {
    const WString tag = Widen(list.tag);
    for (const ExecRecord& record : *list.records) {
      AppendLine(u"\t<" + tag + u">");
      AppendElement(2, "Exe", ExpandConfigText(variables, record.Exe), LogValue::Verbatim);
      AppendElement(2, "Directory", ExpandConfigText(variables, record.Directory), LogValue::Verbatim);
      AppendElement(2, "Params", ExpandConfigText(variables, record.Params), LogValue::Verbatim);
      AppendElement(2, "SilentFail", record.SilentFail ? u"1" : u"0", LogValue::Verbatim);
      AppendElement(2, "PostConfirmation", record.PostConfirmation ? u"1" : u"0", LogValue::Verbatim);
      AppendLine(u"\t</" + tag + u">");
    }
  }
}

void InstallLog::Finish(const DefinesParser& defines) {
  if (!file_) return;
  const DefinesParser::VariableMap& variables = defines.Variables();
  if (!variables.empty()) {
    AppendLine(u"\t<Defines>");
    for (const auto& entry : variables) {
      AppendLine(u"\t\t<Define>");
      AppendElement(3, "Name", entry.first, LogValue::Verbatim);
      AppendElement(3, "Value", entry.second, LogValue::Verbatim);
      AppendLine(u"\t\t</Define>");
    }
    AppendLine(u"\t</Defines>");
  }
  AppendLine(u"</InstallLog>");
  // Write errors are not reported: the uninstaller copes with what it finds.
  BrioCommon::WriteUTF8File(file_, text_, true);
  std::fclose(file_);
  file_ = nullptr;
}

WString EscapeLogValue(const WString& value) { return BrioCommon::EncodeEntities(value); }

std::string PropertiesCopyPathFor(const std::string& log_path) {
  size_t dot = log_path.rfind('.');
  return (dot == std::string::npos ? log_path : log_path.substr(0, dot)) + "_props.xml";
}
