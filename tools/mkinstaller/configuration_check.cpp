#include "tools/mkinstaller/configuration_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "config/defines_parser.h"
#include "config/expand.h"
#include "config/properties_parser.h"
#include "config/property_languages.h"
#include "base/string_utils.h"
#include "engine/install_config.h"
#include "tools/mkinstaller/config_loader.h"
#include "tools/mkinstaller/installer_packer.h"
#include "tools/mkinstaller/tool_files.h"
#include "tools/mkinstaller/ui_texts.h"
#include "uninstaller/uninstall_texts.h"
#include "xml/entities.h"

namespace {

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Whether a text of the table can show with this configuration.
bool CanShow(UiTextShown shown, const BrioCommon::InstallConfigParser& config, const std::string& cfg_dir) {
  switch (shown) {
    case UiTextShown::kAlways: return true;
    case UiTextShown::kWithRunExe: return !config.RunExe.empty();
    case UiTextShown::kWithFileAssociations: return !config.FileAssociations.empty();
    case UiTextShown::kWithRetailers: return !config.Retailers.empty();
    case UiTextShown::kWithRequiredInstall: return !config.InstallLocation.empty();
    case UiTextShown::kWithReadme:
      for (const char* id : {"README_HTML_FILENAME", "README_TXT_FILENAME"}) {
        std::string name = Narrow(MainVariables().GetVariable(Widen(id)));
        if (!name.empty() && IsFile(cfg_dir + "/" + name)) return true;
      }
      return false;
  }
  return true;
}

// One warning per page or message group that would show empty texts.
void CheckUiTexts(const std::string& cfg_dir, std::vector<std::string>* warnings) {
  const BrioCommon::InstallConfigParser& config = LoadedInstallConfig();
  std::vector<std::pair<std::string, std::string>> empty_by_group;  // group, IDs; in table order
  for (const UiText& text : UiTexts()) {
    if (!CanShow(text.shown, config, cfg_dir)) continue;
    if (!Expand(u"%" + Widen(text.id) + u"%", true).empty()) continue;
    if (empty_by_group.empty() || empty_by_group.back().first != text.group)
      empty_by_group.push_back({text.group, text.id});
    else
      empty_by_group.back().second += std::string(", ") + text.id;
  }
  for (const auto& group : empty_by_group)
    warnings->push_back(group.first + " would show empty texts: " + group.second +
                        " (define them in props.xml; 'mkinstaller init' writes a complete set)");
}

// Every language table of the folder, read as the installer would read it:
// a malformed one is an error (printed as the installer shows it; false).
// Warns per language about the texts it lacks (a page would show them from
// props.xml) and the texts in it that nothing shows.
bool CheckLanguageTables(const std::string& cfg_dir, std::vector<std::string>* warnings) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(cfg_dir, ec))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  const BrioCommon::InstallConfigParser& config = LoadedInstallConfig();
  const auto& defaults = LoadedProperties().Strings();
  for (const std::string& tag : LanguageTables(names)) {
    const std::string file = TableNameOfLanguage(tag);
    BrioCommon::PropertiesParser table;
    if (!table.ParseFile(cfg_dir + "/" + file)) {
      std::fprintf(stderr, "Properties file error: '%s'\n", table.ErrorText().c_str());
      return false;
    }
    std::string bytes;
    ReadFileBytes(cfg_dir + "/" + file, &bytes);
    const bool marked = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 || bytes.compare(0, 2, "\xFF\xFE") == 0 ||
                        bytes.compare(0, 2, "\xFE\xFF") == 0;
    if (!marked && std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; }))
      warnings->push_back(file + " has no byte-order mark: the installer reads its texts as 8-bit characters, not "
                                 "UTF-8 (save it as UTF-8 with BOM)");
    const auto& strings = table.Strings();
    std::set<WString> used;
    for (const auto& entry : defaults) used.insert(entry.first);
    std::string missing;
    auto lacks = [&](const char* id) {
      used.insert(Widen(id));
      if (strings.count(Widen(id))) return;
      missing += (missing.empty() ? "" : ", ") + std::string(id);
    };
    for (const UiText& text : UiTexts()) {
      const bool shown = CanShow(text.shown, config, cfg_dir) && !Expand(u"%" + Widen(text.id) + u"%", true).empty();
      if (shown) lacks(text.id);
      used.insert(Widen(text.id));
    }
    for (const UninstallTextEntry& text : UninstallTextTable()) {
      if (!config.UninstallCmd.empty()) lacks(text.id);
      used.insert(Widen(text.id));
    }
    std::string unused;
    for (const auto& entry : strings)
      if (!used.count(entry.first)) unused += (unused.empty() ? "" : ", ") + Narrow(entry.first);
    const std::string name = "language '" + tag + "' (" + file + ")";
    if (!missing.empty()) warnings->push_back(name + " lacks texts, shown from props.xml instead: " + missing);
    if (!unused.empty()) warnings->push_back(name + " has texts that no page uses: " + unused);
  }
  return true;
}

void CheckInstallXml(std::vector<std::string>* warnings) {
  const BrioCommon::InstallConfigParser& c = LoadedInstallConfig();
  bool registers = !c.Registry.empty() || !c.UninstallCmd.empty() || !c.Shortcuts.empty() ||
                   !c.FileAssociations.empty() || !c.GameExplorer.empty();
  if (c.InstallLog.empty() && !registers && c.PreExec.empty() && c.PostExec.empty())
    warnings->push_back(
        "install.xml is empty: the install would only copy the files, log nothing for an uninstaller and "
        "register nothing (no InstallLog, UninstallCmd, Registry or Shortcuts)");
  else if (c.InstallLog.empty() && !c.UninstallCmd.empty())
    warnings->push_back("install.xml has an UninstallCmd but no InstallLog: the uninstaller would find no log to undo");
}

// Where UninstallCmd points inside the payload.
void LocateUninstaller(CheckOutcome* outcome) {
  const std::string& command = LoadedInstallConfig().UninstallCmd;
  if (command.empty()) {
    outcome->uninstaller_error = "install.xml has no UninstallCmd to say where the uninstaller goes";
    return;
  }
  std::string program = CommandProgram(ExpandNarrow(command));
  std::string entry = PayloadEntryName(program);
  if (entry.compare(0, 6, "files\\") != 0) {
    outcome->uninstaller_error =
        "UninstallCmd names '" + program + "', which is not below InstallPath, so it has no place in the payload";
    return;
  }
  outcome->uninstaller_entry = entry;
}

// Whether the payload carries the file UninstallCmd names.
void CheckUninstallerCarried(const std::vector<PackedEntry>& entries, CheckOutcome* outcome) {
  const std::string key = Upper(outcome->uninstaller_entry);
  for (const PackedEntry& e : entries)
    if (Upper(e.name) == key) return;
  outcome->warnings.push_back("UninstallCmd names '" + outcome->uninstaller_entry +
                              "', which the payload does not carry (add it to the files folder, or build with "
                              "--with-uninstaller)");
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Summary(const CheckRequest& request, const std::vector<PackedEntry>& entries) {
  uint64_t bytes = 0;
  for (const PackedEntry& e : entries) {
    struct stat st;
    if (stat(e.source_path.c_str(), &st) == 0) bytes += static_cast<uint64_t>(st.st_size);
  }
  const BrioCommon::InstallConfigParser& c = LoadedInstallConfig();
  std::vector<std::string> registered;
  if (!c.Registry.empty()) registered.push_back(Plural(c.Registry.size(), "registry value", "registry values"));
  if (!c.UninstallCmd.empty()) registered.push_back("an Add/Remove Programs entry");
  if (!c.Shortcuts.empty()) registered.push_back(Plural(c.Shortcuts.size(), "shortcut", "shortcuts"));
  if (!c.FileAssociations.empty())
    registered.push_back(Plural(c.FileAssociations.size(), "file association", "file associations"));
  if (!c.GameExplorer.empty()) registered.push_back("a Game Explorer entry");
  std::string what;
  for (size_t i = 0; i < registered.size(); ++i)
    what += (i == 0 ? "" : i + 1 == registered.size() ? " and " : ", ") + registered[i];

  std::string line = "ok: " + Plural(entries.size(), "entry", "entries") +
                     (request.files_dir.empty() ? " (configuration only)" : "") + ", " + std::to_string(bytes) +
                     " bytes; installs to " + ExpandNarrow("%InstallPath%") + "; registers " +
                     (what.empty() ? "nothing" : what);
  line += c.InstallLog.empty() ? "; keeps no install log" : "; logs to " + ExpandNarrow(c.InstallLog);
  return line;
}

}  // namespace

const char kPayloadOptionsUsage[] =
    "  --files DIR             the product's files (packed as files\\)\n"
    "  --defines-text FILE     attach FILE as a defines text\n"
    "  --define NAME=VALUE     attach a define; consecutive ones make one text;\n"
    "                          texts keep their command-line order, later ones win\n"
    "  --with-uninstaller      pack the uninstaller (found as the stub is) at the\n"
    "                          place UninstallCmd names below InstallPath\n"
    "  --uninstaller FILE      the same with FILE as the uninstaller\n";

int TakePayloadOption(int argc, char** argv, int* i, PayloadOptions* options, std::string* problem) {
  const std::string arg = argv[*i];
  if (arg == "--with-uninstaller") {
    options->with_uninstaller = true;
    return 1;
  }
  const bool valued = arg == "--files" || arg == "--defines-text" || arg == "--define" || arg == "--uninstaller";
  if (!valued) return 0;
  if (*i + 1 >= argc) {
    *problem = arg + " needs a value";
    return -1;
  }
  const std::string value = argv[++*i];
  if (arg == "--files") {
    options->files_dir = value;
  } else if (arg == "--uninstaller") {
    options->with_uninstaller = true;
    options->uninstaller = value;
  } else if (arg == "--defines-text") {
    options->texts.push_back({true, value});
  } else {
    size_t eq = value.find('=');
    if (eq == std::string::npos || eq == 0) {
      *problem = "bad --define '" + value + "' (NAME=VALUE)";
      return -1;
    }
    std::string define = "  <Define><Name>" + BrioCommon::EncodeEntities(value.substr(0, eq)) + "</Name><Value>" +
                         BrioCommon::EncodeEntities(value.substr(eq + 1)) + "</Value></Define>\n";
    const std::string kClose = "</Defines>\n";
    if (!options->texts.empty() && !options->texts.back().is_file) {
      std::string& text = options->texts.back().value;
      text.insert(text.size() - kClose.size(), define);
    } else {
      options->texts.push_back({false, "<Defines>\n" + define + kClose});
    }
  }
  return 1;
}

bool ResolveUninstaller(const PayloadOptions& options, std::string* path) {
  std::vector<std::string> searched;
  *path = FindToolFile(kUninstallerFile, options.uninstaller, &searched);
  if (path->empty()) std::fprintf(stderr, "mkinstaller: %s\n", ToolFileNotFound(kUninstallerFile, searched).c_str());
  return !path->empty();
}

bool LoadDefinesTexts(const PayloadOptions& options, std::vector<std::string>* texts) {
  for (const PayloadOptions::Source& source : options.texts) {
    if (!source.is_file) {
      texts->push_back(source.value);
      continue;
    }
    const std::string& file = source.value;
    std::string text;
    if (!ReadFileBytes(file, &text)) {
      std::fprintf(stderr, "mkinstaller: cannot read the defines text '%s'\n", file.c_str());
      return false;
    }
    if (text.empty()) {
      std::fprintf(stderr, "mkinstaller: the defines text '%s' is empty\n", file.c_str());
      return false;
    }
    texts->push_back(text);
  }
  return true;
}

int CheckConfiguration(const CheckRequest& request, CheckOutcome* outcome) {
  *outcome = CheckOutcome();
  ConfigLoadResult result = LoadConfiguration(request.cfg_dir, request.defines_texts);
  if (!result.ok) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    return 1;
  }
  CheckPackedFiles(request.cfg_dir, request.files_dir, &result);
  outcome->warnings = result.warnings;
  LocateUninstaller(outcome);
  std::vector<PackedEntry> added;
  if (!request.uninstaller_path.empty() && !outcome->uninstaller_entry.empty())
    added.push_back({outcome->uninstaller_entry, request.uninstaller_path});
  std::vector<PackedEntry> entries;
  std::string error;
  if (!CollectEntries(request.cfg_dir, request.files_dir, added, &entries, &error)) {
    std::fprintf(stderr, "mkinstaller: %s\n", error.c_str());
    return 1;
  }
  CheckUiTexts(RemoveTrailingSlash(request.cfg_dir), &outcome->warnings);
  if (!CheckLanguageTables(RemoveTrailingSlash(request.cfg_dir), &outcome->warnings)) return 1;
  CheckInstallXml(&outcome->warnings);
  if (!request.files_dir.empty() && request.uninstaller_path.empty() && !outcome->uninstaller_entry.empty())
    CheckUninstallerCarried(entries, outcome);
  outcome->summary = Summary(request, entries);
  return 0;
}
