#include "config/builtin_variables.h"

#include "config/defines_parser.h"
#include "base/known_folders.h"
#include "base/system_seam.h"

namespace {

struct KnownFolderVariable {
  const char16_t* name;
  seam::FolderId folder;
  const char16_t* fallback;  // variable whose value serves when the path is empty
};

// FOLDERID_Desktop, _PublicDesktop, _Favorites, _Programs, _CommonPrograms,
// _SendTo, _StartMenu, _ProgramFilesX86 and _ProgramFilesCommonX86. There is
// no common favorites folder: CommonFavorites uses the user's one again.
const KnownFolderVariable kKnownFolderVariables[] = {
    {u"Desktop", seam::kFolderDesktop, nullptr},
    {u"CommonDesktop", seam::kFolderPublicDesktop, u"Desktop"},
    {u"Favorites", seam::kFolderFavorites, nullptr},
    {u"CommonFavorites", seam::kFolderFavorites, u"Favorites"},
    {u"ProgramGroup", seam::kFolderPrograms, nullptr},
    {u"CommonProgramGroup", seam::kFolderCommonPrograms, u"ProgramGroup"},
    {u"SendTo", seam::kFolderSendTo, nullptr},
    {u"StartMenu", seam::kFolderStartMenu, nullptr},
    {u"ProgramFiles", seam::kFolderProgramFilesX86, nullptr},
    {u"CommonFiles", seam::kFolderProgramFilesCommonX86, nullptr},
};

struct RegistryFolder {
  seam::RegistryRoot root;
  const char* key;
  const char* valueName;
  const char16_t* variables[2];
};

const char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kMachineShellFolders[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// In this order, so that the user's folders serve as the common ones unless
// the machine-wide key gives its own.
const RegistryFolder kRegistryFolders[] = {
    {seam::RegistryRoot::CurrentUser, kUserShellFolders, "Desktop", {u"Desktop", u"CommonDesktop"}},
    {seam::RegistryRoot::CurrentUser, kUserShellFolders, "Favorites", {u"Favorites", u"CommonFavorites"}},
    {seam::RegistryRoot::CurrentUser, kUserShellFolders, "Programs", {u"ProgramGroup", u"CommonProgramGroup"}},
    {seam::RegistryRoot::CurrentUser, kUserShellFolders, "SendTo", {u"SendTo", nullptr}},
    {seam::RegistryRoot::CurrentUser, kUserShellFolders, "Start Menu", {u"StartMenu", nullptr}},
    {seam::RegistryRoot::LocalMachine, kMachineShellFolders, "Common Desktop", {u"CommonDesktop", nullptr}},
    {seam::RegistryRoot::LocalMachine, kMachineShellFolders, "Common Favorites", {u"CommonFavorites", nullptr}},
    {seam::RegistryRoot::LocalMachine, kMachineShellFolders, "Common Programs", {u"CommonProgramGroup", nullptr}},
    {seam::RegistryRoot::LocalMachine, kCurrentVersion, "ProgramFilesDir", {u"ProgramFiles", nullptr}},
    {seam::RegistryRoot::LocalMachine, kCurrentVersion, "CommonFilesDir", {u"CommonFiles", nullptr}},
    {seam::RegistryRoot::LocalMachine, kCurrentVersion, "MediaPath", {u"MediaPath", nullptr}},
};

const std::vector<DefaultString> kDefaultStrings = {
    {u"INSTALL_ERROR", u"INSTALL ERROR"},
    {u"ADMINISTRATOR_ACCOUNT_MESSAGE", u"This product must be installed using an administrator account."},
    {u"COINITIALIZE_FAILED", u"CoInitialize failed."},
    {u"INVALID_PATH_TEXT", u"Please specify a valid local path to install to."},
    {u"INVALID_PATH_TITLE", u"Invalid Path!"},
    {u"INVALID_PATH_DRIVE_TEXT", u"Please specify a path, including the drive letter."},
    {u"INVALID_PATH_CHARACTER_TEXT",
     u"The path specified contains an invalid character.  Please select a different path."},
    {u"INVALID_STARTMENU_CHARACTER_TEXT",
     u"The start menu location specified contains an invalid character.  Please select a different start "
     u"menu location."},
    {u"INVALID_STARTMENU_TEXT",
     u"The start menu location specified is invalid.  Please choose a different start menu location."},
    {u"INVALID_STARTMENU_TITLE", u"Invalid Start Menu Location!"},
    {u"INVALID_DRIVE_SPECIFIED", u"The drive specified is not valid.  Please select a different path."},
    {u"INVALID_DRIVE_TITLE", u"Invalid Drive!"},
    {u"DRIVE_NOT_SUFFICIENT",
     u"The drive specified does not have sufficient space. Please select a different path."},
    {u"DRIVE_NOT_SUFFICIENT_TITLE", u"Insufficient Space!"},
    {u"BROWSE_FOR_FOLDER", u"Browse For Folder"},
    {u"SELECT_DIRECTORY", u"Select Directory"},
    {u"MAKE_NEW_FOLDER", u"Make New Folder"},
    {u"README_HTML_FILENAME", u"readme.html"},
    {u"README_TXT_FILENAME", u"readme.txt"},
    {u"LICENSE_TXT_FILENAME", u"license.txt"},
    {u"OPTIONS_FILEASSOC_TEXT", u"Associate %GameFiles% with %InstallName%."},
    {u"GAMEFILES", u"game files"},
    {u"PREPARING_DIALOG_TITLE", u"Preparing Installer..."},
    {u"STORESELECT_DIALOG_TITLE", u"%InstallName% Installer"},
    {u"STORESELECT_DIALOG_LINE1", u"Almost Ready!"},
    {u"STORESELECT_DIALOG_LINE2",
     u"To finish the installation, please let us know where you purchased this game."},
    {u"STORESELECT_DIALOG_LINE3", u"Choose from the following list:"},
    {u"STORESELECT_INITIAL_STRING", u"--- Select a Store ---"},
    {u"STORESELECT_DIALOG_OPTOUT", u"Check this box if you would like to opt out of this process."},
    {u"REQUIRED_INSTALL_DOES_NOT_EXIST_TEXT",
     u"Could not find %GameName% on this computer. Please make sure %GameName% has been installed and "
     u"played at least one time."},
    {u"REQUIRED_INSTALL_DOES_NOT_EXIST_TITLE", u"ERROR: %GameName% not installed"},
    {u"INSTALLING_PREREQ_MESSAGE", u"Please wait... Installing program prerequisites."},
};

// The question of an installer shipped as a set of volumes, when one of them
// is missing or damaged (%VolumeName% is the volume's file name). Kept apart
// from the list above, which is the set every installer has always had.
const std::vector<DefaultString> kVolumeSetStrings = {
    {u"VOLUME_FAULT_TITLE", u"Setup File Missing"},
    {u"VOLUME_FAULT_TEXT",
     u"Setup cannot use %VolumeName%: the file is missing or damaged. Copy %VolumeName% from the download of "
     u"%InstallName% into the folder of Setup (%InstallerExeDir%), then press Retry."},
};

}  // namespace

const std::vector<WString>& KnownFolderVariableNames() {
  static const std::vector<WString> names = [] {
    std::vector<WString> list;
    for (const KnownFolderVariable& v : kKnownFolderVariables) list.push_back(v.name);
    return list;
  }();
  return names;
}

void StoreKnownFolderVariables(DefinesParser& store, const std::vector<WString>& paths) {
  size_t i = 0;
  for (const KnownFolderVariable& v : kKnownFolderVariables) {
    WString path = i < paths.size() ? Widen(Narrow(paths[i])) : WString();
    ++i;
    if (path.empty() && v.fallback) path = store.GetVariable(v.fallback);
    store.SetVariable(v.name, path);
  }
}

void StoreRegistryFolderVariables(DefinesParser& store) {
  for (const RegistryFolder& row : kRegistryFolders) {
    std::string data;
    if (!seam::QueryRegistryValue(row.root, row.key, row.valueName, seam::KeyOpen::Read, 256, &data))
      continue;
    // A string value is reported with its terminating zero; the path ends
    // before it.
    size_t zero = data.find('\0');
    if (zero != std::string::npos) data.resize(zero);
    for (const char16_t* name : row.variables)
      if (name) store.SetVariable(name, Widen(data));
  }
}

const std::vector<DefaultString>& DefaultStrings() { return kDefaultStrings; }

void SetBuiltinVariables(DefinesParser& store, bool vista) {
  store.SetVariable(u"Windows", Widen(seam::WindowsFolder()));
  store.SetVariable(u"System", Widen(seam::SystemFolder()));
  store.SetVariable(u"InstallName", u"This Program");
  if (vista) {
    std::vector<seam::FolderId> ids;
    for (const KnownFolderVariable& v : kKnownFolderVariables) ids.push_back(v.folder);
    StoreKnownFolderVariables(store, seam::KnownFolderPaths(ids));
  } else {
    StoreRegistryFolderVariables(store);
  }
  for (const DefaultString& s : kDefaultStrings) store.SetVariable(s.id, s.text);
  for (const DefaultString& s : kVolumeSetStrings) store.SetVariable(s.id, s.text);
}

const std::vector<DefaultString>& VolumeSetStrings() { return kVolumeSetStrings; }

void SetBuiltinVariables() { SetBuiltinVariables(MainVariables(), IsVista()); }

WString ProgramDataFolderValue(const WString& appDataSuffix, bool vista) {
  WString folder = vista ? Widen(seam::CommonAppDataFolder()) : WString();
  return folder + u"\\" + appDataSuffix;
}

WString ProgramDataFolderValue(const WString& appDataSuffix) {
  return ProgramDataFolderValue(appDataSuffix, IsVista());
}
