#include "uninstaller/uninstall_plan.h"

#include "config/defines_parser.h"
#include "config/expand.h"

namespace {

constexpr char16_t kSharedCommand[] = u"#HasDirectoriesExcept ";

std::string Resolve(const WString& text) { return Narrow(Expand(text, true)); }

bool IsGuid(const std::string& text) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const char c = text[i];
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

PlannedProgram Plan(const LoggedProgram& program) {
  // The log holds these expanded already; they are taken as they are.
  return {Narrow(program.exe), Narrow(program.directory), Narrow(program.params), program.silentFail,
          program.postConfirmation};
}

}  // namespace

void SetLogVariables(const InstallLogEntries& log, const WString& common_app_data, DefinesParser& store) {
  if (!log.installName.empty()) store.SetVariable(u"InstallName", log.installName);
  store.SetVariable(u"ProgramDataFolder", common_app_data + u"\\" + log.appDataSuffix);
  for (const LoggedDefine& define : log.defines)
    if (!define.name.empty()) store.SetVariable(define.name, define.value);
  WString app_folder = store.GetVariable(u"CommonProgramGroup") + u"\\" + store.GetVariable(u"InstallGroup");
  store.SetVariable(u"AppFolder", RemoveTrailingSlash(app_folder));
}

void AddShellFolderAreas(KnownLocations* locations) {
  const char16_t* const names[] = {u"Desktop",      u"CommonDesktop",      u"Favorites", u"CommonFavorites",
                                   u"ProgramGroup", u"CommonProgramGroup", u"SendTo",    u"StartMenu"};
  for (const char16_t* name : names) {
    const std::string folder = NormalizePath(Narrow(MainVariables().GetVariable(name)));
    if (folder.empty()) continue;
    locations->protectedFolders.push_back(folder);
    AddAllowedArea(locations, folder);
  }
}

void AddLogAreas(const std::string& log_path, KnownLocations* locations) {
  AddAllowedArea(locations, Resolve(u"%InstallPath%"), AreaSource::Log);
  AddAllowedArea(locations, GetDirectory(log_path), AreaSource::Log);
}

bool ParseSharedEntry(const WString& entry, WString* folder, WString* except, WString* path) {
  const size_t command = sizeof(kSharedCommand) / sizeof(kSharedCommand[0]) - 1;
  if (entry.compare(0, command, kSharedCommand) != 0) return false;
  const size_t bar = entry.find(u'|');
  if (bar == WString::npos) return false;
  const std::vector<WString> arguments = Split(Trim(entry.substr(command, bar - command)), u',');
  if (arguments.size() < 2) return false;
  *folder = Trim(arguments[0]);
  *except = Trim(arguments[1]);
  *path = Trim(entry.substr(bar + 1));
  return true;
}

UninstallPlan BuildPlan(const InstallLogEntries& log, const std::string& log_path, const KnownLocations& locations) {
  UninstallPlan plan;
  plan.installName = Narrow(log.installName);
  plan.logPath = log_path;
  plan.incomplete = !log.registryClosed || !log.logClosed;
  plan.pruneLimits = locations.protectedFolders;
  plan.pruneLimits.insert(plan.pruneLimits.end(), locations.systemFolders.begin(), locations.systemFolders.end());

  auto path = [&](const std::string& text, const char* what, std::vector<std::string>* into) {
    if (text.empty()) return;
    const std::string why = CheckPathForRemoval(text, locations);
    if (!why.empty())
      plan.refusals.push_back(std::string(what) + " '" + text + "': " + why);
    else if (into)
      into->push_back(NormalizePath(text));
  };
  auto key = [&](const std::string& text, const char* what, std::vector<std::string>* into) {
    // A key without one of the three roots names nothing the installer
    // could write (it stopped at such a key): there is nothing to remove.
    if (!HasKnownRoot(text)) return;
    const std::string why = CheckKeyForRemoval(text);
    if (!why.empty())
      plan.refusals.push_back(std::string(what) + " '" + text + "': " + why);
    else
      into->push_back(text);
  };

  for (const LoggedProgram& program : log.preExecs) plan.preExecs.push_back(Plan(program));
  for (const LoggedProgram& program : log.postExecs) plan.postExecs.push_back(Plan(program));

  for (const LoggedAssociation& logged : log.associations) {
    PlannedAssociation association{Narrow(logged.extension), Narrow(logged.versionedName),
                                   Narrow(logged.iconLocation), {}};
    for (const LoggedShellCommand& command : logged.commands)
      association.commands.emplace_back(Narrow(command.name), Narrow(command.command));
    std::string why = CheckClassName(association.extension, true);
    if (why.empty()) why = CheckClassName(association.versionedName, false);
    for (const auto& command : association.commands)
      if (why.empty()) why = CheckClassName(command.first, false);
    if (!why.empty())
      plan.refusals.push_back("file association '" + association.extension + "' / '" + association.versionedName +
                              "': " + why);
    else
      plan.associations.push_back(association);
  }

  for (const LoggedRegValue& value : log.regValues) {
    std::vector<std::string> checked;
    key(Narrow(value.key), "registry value in", &checked);
    if (!checked.empty()) plan.values.push_back({checked[0], Narrow(value.name)});
  }
  for (const WString& entry : log.deleteKeys) key(Narrow(entry), "registry key", &plan.deleteKeys);
  for (const WString& entry : log.userKeys) key(Narrow(entry), "user registry key", &plan.userKeys);

  for (const WString& guid : log.gameGuids) {
    if (IsGuid(Narrow(guid)))
      plan.gameGuids.push_back(Narrow(guid));
    else
      plan.refusals.push_back("Game Explorer entry '" + Narrow(guid) + "': not a GUID");
  }

  for (const WString& entry : log.files) {
    WString folder, except, shared_path;
    if (ParseSharedEntry(entry, &folder, &except, &shared_path)) {
      const std::string resolved = Resolve(shared_path);
      std::vector<std::string> checked;
      path(resolved, "shared file", &checked);
      path(Narrow(folder), "folder of a shared file", nullptr);
      if (except.find_first_of(u"\\/") != WString::npos || except == u"..")
        plan.refusals.push_back("folder name '" + Narrow(except) + "': not a single folder name");
      if (!checked.empty()) plan.sharedEntries.push_back({entry, checked[0]});
    } else if (!entry.empty() && entry[0] == u'#') {
      plan.refusals.push_back("file '" + Narrow(entry) + "': an unknown command");
    } else {
      path(Resolve(entry), "file", &plan.files);
    }
  }
  // Folders may be logged unexpanded too (a user folder below
  // "%ProgramDataFolder%" on a system that had none at install time).
  for (const WString& entry : log.deltrees) path(Resolve(entry), "folder", &plan.trees);
  for (const WString& entry : log.userDirectories) path(Resolve(entry), "user folder", &plan.userDirectories);
  return plan;
}

std::string DescribePlan(const UninstallPlan& plan) {
  std::string text = std::to_string(plan.files.size() + plan.sharedEntries.size()) + " files, " +
                     std::to_string(plan.trees.size()) + " folders, " +
                     std::to_string(plan.values.size() + plan.deleteKeys.size()) + " registry entries";
  if (!plan.associations.empty()) text += ", " + std::to_string(plan.associations.size()) + " file types";
  if (!plan.preExecs.empty() || !plan.postExecs.empty())
    text += ", " + std::to_string(plan.preExecs.size() + plan.postExecs.size()) + " programs to run";
  return text;
}
