// The variables every configuration text may use before any configuration
// file is read: the Windows and system folders, the shell folders, the
// program files folders, "InstallName", and a default English text for the
// UI string IDs that props.xml may leave out.
#pragma once

#include <vector>

#include "base/string_utils.h"

class DefinesParser;

// Fills the main variable store, choosing the shell folders by the running
// system's version (known folders on Windows Vista and later, the "Shell
// Folders" registry keys before).
void SetBuiltinVariables();

// The same with the version answer given, so that either branch can run on
// any system.
void SetBuiltinVariables(DefinesParser& store, bool vista);

// The value of "ProgramDataFolder": the common application-data folder on
// Windows Vista and later (empty before), a backslash, and the install
// configuration's AppDataSuffix as written (its references resolve when the
// variable is used).
WString ProgramDataFolderValue(const WString& appDataSuffix, bool vista);
WString ProgramDataFolderValue(const WString& appDataSuffix);

// The shell folder variables of Windows Vista and later from the paths of the
// known folders, given in the order of KnownFolderVariableNames(). Each path
// is reduced to 8 bits per character; the common folders fall back to the
// user's when their path is empty.
void StoreKnownFolderVariables(DefinesParser& store, const std::vector<WString>& paths);
const std::vector<WString>& KnownFolderVariableNames();

// The shell folder variables of earlier systems, read from the registry.
void StoreRegistryFolderVariables(DefinesParser& store);

// The default UI strings, in the order they are stored.
struct DefaultString {
  const char16_t* id;
  const char16_t* text;
};
const std::vector<DefaultString>& DefaultStrings();
// The default texts of the volume prompt (VOLUME_FAULT_TITLE, VOLUME_FAULT_TEXT),
// stored after DefaultStrings().
const std::vector<DefaultString>& VolumeSetStrings();
