// The wizard's pages, each run as a modal dialog and ended with a page
// result (page_framework_win.h). The driver passes in what each page reads
// and writes; the pages keep no state of the run. Windows only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/string_utils.h"
#include "wizard/page_framework_win.h"

class DefinesParser;
class ExecStatus;
class RichEditLicenseControl;
namespace BrioCommon {
struct InstallConfiguration;
}

// Welcome: the install folder (display form) and the start-menu group.
// Next, Change Settings (only when `changeSettings`), Cancel.
int RunWelcomePage(const PageBase& base, bool change_settings);

// Options: edits for the folder and the group, a folder browser and, with
// `withFileAssociation`, the file-association box. Next stores the typed
// values; Back restores the saved defaults.
struct OptionsChoices {
  DefinesParser* variables = nullptr;
  bool withFileAssociation = false;
  bool* fileAssociation = nullptr;
  std::string savedInstallPath;   // raw values of the end of the configuration load
  std::string savedInstallGroup;
};
int RunOptionsPage(const PageBase& base, const OptionsChoices& choices);

// License: the RTF twin of `licensePath` in the rich edit control when it
// can be shown, else the plain file. Agree, or Cancel once Don't Agree is
// confirmed.
int RunLicensePage(const PageBase& base, const std::string& license_path, RichEditLicenseControl* rich_text);

// Store selection: the retailers of `config` with their icons (from
// `configFolder`). Next with a retailer chosen replaces the shortcut list by
// its shortcuts, creates them through `createShortcuts` and keeps its icons
// off the temporary resources; opting out or Esc applies nothing. Always Next.
struct StoreChoices {
  BrioCommon::InstallConfiguration* config = nullptr;
  std::string configFolder;  // ends with a backslash
  std::string initialString;  // the selection field before a choice
  std::function<void()> createShortcuts;
};
int RunStoreSelectionPage(const PageBase& base, const StoreChoices& choices);

// The check of an installed game: the summary line and the list (one file a
// line); Done (or Esc) closes it.
int RunVerifyPage(const PageBase& base, const std::string& summary, const std::string& list);

// A question the worker asks the player: property IDs of its caption and
// text, and the message box's buttons and icon.
struct WorkerPrompt {
  const char16_t* captionId = u"UNINSTALL_ENSURE_NOT_RUNNING_TITLE";
  const char16_t* textId = u"UNINSTALL_ENSURE_NOT_RUNNING_TEXT";
  unsigned flags = MB_OKCANCEL | MB_ICONWARNING;
};

// The values a worker thread publishes, polled by the progress windows.
struct WorkerView {
  const std::atomic<bool>* done = nullptr;
  const std::atomic<bool>* failed = nullptr;
  const std::atomic<int32_t>* overallPercent = nullptr;
  const std::atomic<int32_t>* filePercent = nullptr;
  std::function<std::string()> currentFileName;  // the file being written
  // The not-running prompt: the worker sets the ask event and waits for the
  // answer event; the page stores the user's button in promptAnswer.
  HANDLE askEvent = nullptr;
  HANDLE answerEvent = nullptr;
  std::atomic<int>* promptAnswer = nullptr;
  // Which question the ask event stands for; the not-running one when unset.
  std::function<WorkerPrompt()> prompt;
  // While prerequisite programs run: the flag and the status text (the
  // job's exec status).
  const ExecStatus* exec = nullptr;
};

// The one-bar window during the configuration extraction; ends with Next.
int RunPreparationWindow(const PageBase& base, const WorkerView& worker);
// The install progress page; Next when the worker is done, Cancel after a
// confirmed abort (once the worker has finished).
int RunProgressPage(const PageBase& base, const WorkerView& worker);

// Finish: Done with or without launch (the box), View Readme when there is a
// readme; Esc and the close box end with Cancel.
int RunFinishPage(const PageBase& base, const std::string& readme, bool has_run_exe);
// The last page of a cancelled or failed run.
int RunAbortedPage(const PageBase& base);

// The readme of the configuration folder: the HTML name, else the text name
// (properties README_HTML_FILENAME and README_TXT_FILENAME, raw); empty when
// neither exists.
std::string FindReadme(const std::string& config_folder, const DefinesParser& variables);
