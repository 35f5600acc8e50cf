#include "tools/mkinstaller/ui_texts.h"

#include <cstring>

#include "config/builtin_variables.h"
#include "base/string_utils.h"

namespace {

using S = UiTextShown;

const char kMessages[] = "Message boxes";
const char kFolderChecks[] = "Messages about the chosen folders";
const char kPreparing[] = "Preparation window";
const char kWelcome[] = "Welcome page";
const char kOptions[] = "Settings page";
const char kLicense[] = "License page";
const char kProgress[] = "Install progress page";
const char kStore[] = "Store selection page (shown when install.xml lists Retailers)";
const char kFinish[] = "Finish page";
const char kAborted[] = "Aborted page";

const std::vector<UiText> kUiTexts = {
    {kMessages, "FATAL_POPUP_TITLE", "%InstallName% Setup", S::kAlways},
    {kMessages, "INSTALL_ERROR", "%InstallName% Setup Error", S::kAlways},
    {kMessages, "ABORT_POPUP_TITLE", "Cancel Setup", S::kAlways},
    {kMessages, "ABORT_POPUP_TEXT", "Do you want to stop installing %InstallName%?", S::kAlways},
    {kMessages, "ADMINISTRATOR_ACCOUNT_MESSAGE", nullptr, S::kAlways},
    {kMessages, "COINITIALIZE_FAILED", nullptr, S::kAlways},
    {kMessages, "DX_UPGRADE_TITLE", "DirectX Needed", S::kAlways},
    {kMessages, "DX_UPGRADE_TEXT",
     "%InstallName% needs DirectX %MinDXVer% or later. Press OK to open the DirectX download page.", S::kAlways},
    {kMessages, "UNINSTALL_ENSURE_NOT_RUNNING_TITLE", "Files In Use", S::kAlways},
    {kMessages, "UNINSTALL_ENSURE_NOT_RUNNING_TEXT",
     "Some files could not be written. Close %InstallName% and any program that uses its files, then press OK "
     "to try again.",
     S::kAlways},
    {kMessages, "INSTALLING_PREREQ_MESSAGE", nullptr, S::kAlways},
    {kMessages, "REQUIRED_INSTALL_DOES_NOT_EXIST_TITLE", nullptr, S::kWithRequiredInstall},
    {kMessages, "REQUIRED_INSTALL_DOES_NOT_EXIST_TEXT", nullptr, S::kWithRequiredInstall},
    {kFolderChecks, "INVALID_PATH_TITLE", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_PATH_TEXT", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_PATH_DRIVE_TEXT", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_PATH_CHARACTER_TEXT", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_DRIVE_TITLE", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_DRIVE_SPECIFIED", nullptr, S::kAlways},
    {kFolderChecks, "DRIVE_NOT_SUFFICIENT_TITLE", nullptr, S::kAlways},
    {kFolderChecks, "DRIVE_NOT_SUFFICIENT", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_STARTMENU_TITLE", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_STARTMENU_TEXT", nullptr, S::kAlways},
    {kFolderChecks, "INVALID_STARTMENU_CHARACTER_TEXT", nullptr, S::kAlways},
    {kPreparing, "PREPARING_DIALOG_TITLE", nullptr, S::kAlways},
    {kWelcome, "WELCOME_DIALOG_TITLE", "%InstallName% Setup", S::kAlways},
    {kWelcome, "WELCOME_DIALOG_LINE1", "Welcome", S::kAlways},
    {kWelcome, "WELCOME_DIALOG_LINE2",
     "Setup will install %InstallName% with these settings. Press Next to go on, or Change Settings to choose "
     "other folders.",
     S::kAlways},
    {kWelcome, "WELCOME_DIALOG_DIRECTORY", "Install folder:", S::kAlways},
    {kWelcome, "WELCOME_DIALOG_MENU_LOCATION", "Start menu folder:", S::kAlways},
    {kWelcome, "BUTTON_CHANGE_SETTINGS", "Change Settings", S::kAlways},
    {kWelcome, "BUTTON_NEXT", "Next >", S::kAlways},
    {kWelcome, "BUTTON_CANCEL", "Cancel", S::kAlways},
    {kOptions, "OPTIONS_DIALOG_TITLE", "%InstallName% Setup", S::kAlways},
    {kOptions, "OPTIONS_DIALOG_LINE1", "Settings", S::kAlways},
    {kOptions, "OPTIONS_DIALOG_DIRECTORY", "Install %InstallName% in this folder:", S::kAlways},
    {kOptions, "OPTIONS_DIALOG_MENU_LOCATION", "Put the shortcuts in this start menu folder:", S::kAlways},
    {kOptions, "BUTTON_BROWSE", "Browse...", S::kAlways},
    {kOptions, "BUTTON_BACK", "< Back", S::kAlways},
    {kOptions, "BROWSE_FOR_FOLDER", nullptr, S::kAlways},
    {kOptions, "SELECT_DIRECTORY", nullptr, S::kAlways},
    {kOptions, "MAKE_NEW_FOLDER", nullptr, S::kAlways},
    {kOptions, "OPTIONS_FILEASSOC_TEXT", nullptr, S::kWithFileAssociations},
    {kOptions, "GAMEFILES", nullptr, S::kWithFileAssociations},
    {kLicense, "LICENSE_DIALOG_TITLE", "%InstallName% Setup", S::kAlways},
    {kLicense, "LICENSE_DIALOG_LINE1", "License Agreement", S::kAlways},
    {kLicense, "BUTTON_AGREE", "I Agree", S::kAlways},
    {kLicense, "BUTTON_DONT_AGREE", "I Do Not Agree", S::kAlways},
    {kProgress, "INSTALL_DIALOG_TITLE", "%InstallName% Setup", S::kAlways},
    {kProgress, "INSTALL_DIALOG_LINE1", "Installing", S::kAlways},
    {kProgress, "INSTALL_DIALOG_EXTRACTING", "Copying", S::kAlways},
    {kProgress, "INSTALL_DIALOG_TOTAL_PROGRESS", "Total progress", S::kAlways},
    {kStore, "STORESELECT_DIALOG_TITLE", nullptr, S::kWithRetailers},
    {kStore, "STORESELECT_DIALOG_LINE1", nullptr, S::kWithRetailers},
    {kStore, "STORESELECT_DIALOG_LINE2", nullptr, S::kWithRetailers},
    {kStore, "STORESELECT_DIALOG_LINE3", nullptr, S::kWithRetailers},
    {kStore, "STORESELECT_INITIAL_STRING", nullptr, S::kWithRetailers},
    {kStore, "STORESELECT_DIALOG_OPTOUT", nullptr, S::kWithRetailers},
    {kFinish, "LAUNCH_DIALOG_TITLE", "%InstallName% Setup", S::kAlways},
    {kFinish, "LAUNCH_DIALOG_LINE1", "Installation Complete", S::kAlways},
    {kFinish, "LAUNCH_DIALOG_LINE2", "%InstallName% is installed.", S::kAlways},
    {kFinish, "LAUNCH_DIALOG_LINE3", "Press Done to close Setup.", S::kAlways},
    {kFinish, "LAUNCH_DIALOG_LAUNCH_CHECK", "Start %InstallName% now", S::kWithRunExe},
    {kFinish, "BUTTON_VIEW_README", "View Readme", S::kWithReadme},
    {kFinish, "BUTTON_DONE", "Done", S::kAlways},
    {kAborted, "ABORT_DIALOG_TITLE", "%InstallName% Setup", S::kAlways},
    {kAborted, "ABORT_DIALOG_LINE1", "Setup Cancelled", S::kAlways},
    {kAborted, "ABORT_DIALOG_LINE2", "%InstallName% was not installed.", S::kAlways},
    {kAborted, "ABORT_DIALOG_LINE3", "Run Setup again to install it at any time.", S::kAlways},
    {kAborted, "BUTTON_EXIT", "Exit", S::kAlways},
};

}  // namespace

const std::vector<UiText>& UiTexts() { return kUiTexts; }

std::string StarterText(const UiText& text) {
  if (text.starter_text) return text.starter_text;
  for (const DefaultString& d : DefaultStrings())
    if (Narrow(d.id) == text.id) return Narrow(d.text);
  return std::string();
}
