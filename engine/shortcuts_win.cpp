// The shortcut step: one link file per configured shortcut, made with the
// shell link and internet shortcut objects on the worker thread, which has
// initialised COM.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <intshcut.h>

#include "base/fatal_error.h"
#include "engine/install_actions.h"
#include "engine/install_job.h"
#include "engine/shortcuts.h"

namespace {

// The shell's public identifiers, spelled out so that no GUID library is
// needed.
const CLSID kInternetShortcutClass = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
const IID kUniformResourceLocatorA = {0xFBF23B80, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

template <typename T>
void Release(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

// Saves a link object to path; replaces an existing file of that name.
HRESULT SaveLinkFile(IUnknown* object, const std::string& path) {
  IPersistFile* file = nullptr;
  HRESULT result = object->QueryInterface(kPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(result)) return result;
  WCHAR name[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, name, MAX_PATH) == 0) {
    result = E_INVALIDARG;  // longer than a path may be
  } else {
    DeleteFileA(path.c_str());
    result = file->Save(name, TRUE);
  }
  Release(file);
  return result;
}

bool CreateInternetShortcut(const std::string& target, const std::string& path, const std::string& icon,
                             bool* icon_set) {
  IUniformResourceLocatorA* url = nullptr;
  if (FAILED(CoCreateInstance(kInternetShortcutClass, nullptr, CLSCTX_INPROC_SERVER, kUniformResourceLocatorA,
                              reinterpret_cast<void**>(&url))))
    return false;
  url->SetURL(target.c_str(), 0);
  if (!icon.empty()) {
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(url->QueryInterface(kShellLinkA, reinterpret_cast<void**>(&link)))) {
      link->SetIconLocation(icon.c_str(), 0);
      *icon_set = true;
      Release(link);
    }
  }
  HRESULT result = SaveLinkFile(url, path);
  Release(url);
  return SUCCEEDED(result);
}

bool CreateShellLink(const std::string& target, const std::string& path, const std::string& description,
                     const std::string& args, const std::string& icon, bool* icon_set) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return false;
  link->SetPath(target.c_str());
  link->SetDescription(description.c_str());
  link->SetArguments(args.c_str());
  link->SetWorkingDirectory(GetDirectory(target).c_str());
  if (!icon.empty()) {
    link->SetIconLocation(icon.c_str(), 0);
    *icon_set = true;
  }
  HRESULT result = SaveLinkFile(link, path);
  Release(link);
  return SUCCEEDED(result);
}

}  // namespace

bool CreateLink(const std::string& target, const std::string& dest, const std::string& description,
                const std::string& args, const std::string& icon, std::string* link_path, std::string* raw_path,
                bool* icon_set) {
  MakeDirectories(GetDirectory(dest));
  std::string extension = LinkExtension(target);
  *link_path = dest + extension;
  *raw_path += extension;
  if (IsWebAddress(target)) return CreateInternetShortcut(target, *link_path, icon, icon_set);
  return CreateShellLink(target, *link_path, description, args, icon, icon_set);
}

bool CreateShortcuts(InstallJob& job) {
  const BrioCommon::InstallConfigParser& config = job.config;
  WString install_path = job.Expand(u"%InstallPath%");
  WString log_folder = Widen(LogFolderName(job.ExpandText(config.InstallLog)));
  // By index: the list is the configuration's own and nothing here changes it.
  for (size_t i = 0; i < config.Shortcuts.size(); ++i) {
    const Shortcut& shortcut = config.Shortcuts[i];
    std::string dest = job.ExpandText(shortcut.Dest);
    std::string target = job.ExpandText(shortcut.Target);
    std::string args = job.ExpandText(shortcut.Args);
    std::string icon = job.ExpandText(shortcut.Icon);
    std::string description = job.ExpandText(GetFileName(shortcut.Dest, false));
    if (dest.empty() || target.empty()) continue;
    bool permanent = TakePermanentMarker(&dest);

    std::string link_path, raw_path = shortcut.Dest;
    if (!CreateLink(target, dest, description, args, icon, &link_path, &raw_path, &job.iconsChanged)) {
      // Reported, but the install goes on: the flag the message raises is
      // put back as it was (a Cancel given before stays).
      InstallContext& run = job.context;
      bool was_aborted = run.Aborted();
      ShowFatalError(u"Failed to Create Link to '" + Widen(target) + u"'");
      run.SetAborted(was_aborted);
    }
    if (permanent) continue;
    job.log.AppendLine(ShortcutLogLine(Widen(raw_path), shortcut.shared, install_path, log_folder));
    if (!shortcut.Icon.empty())
      job.log.AppendLine(ShortcutLogLine(Widen(icon), shortcut.shared, install_path, log_folder));
  }
  return true;
}
