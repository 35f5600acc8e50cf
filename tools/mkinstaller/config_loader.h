// Loads a configuration folder the way the installer does at its first step,
// with the installer's own readers, so that the authoring tool reports exactly
// the errors a player would otherwise meet at install time.
#pragma once

#include <string>
#include <vector>

namespace BrioCommon {
class InstallConfigParser;
class PropertiesParser;
}

struct ConfigLoadResult {
  bool ok = false;
  // The text the installer would show for the first fatal error, with its
  // " on Line " and " in File '" parts; empty when ok.
  std::string error;
  // Problems that will surely show at install time but do not stop a build.
  std::vector<std::string> warnings;
};

// Loads CFGDIR/props.xml, install.xml and defines.xml, then the attached
// defines texts, into the main variable store, the defines record and the
// install configuration, in the installer's order. The folder variables are
// those of a default Windows 7 system.
ConfigLoadResult LoadConfiguration(const std::string& cfg_dir, const std::vector<std::string>& defines_texts);

// Warnings about files the configuration names but the payload lacks. files_dir
// may be empty when only the configuration folder is known.
void CheckPackedFiles(const std::string& cfg_dir, const std::string& files_dir, ConfigLoadResult* result);

// The program part of a command line: the text between the quotes when it
// starts with one, else up to the first ".exe" followed by a blank (Windows
// tries the same places), else the whole text.
std::string CommandProgram(const std::string& command);

// The cabinet entry an expanded Windows path names: "files\" + the part below
// the install folder, or "cfg\" + the part below the temporary configuration
// folder, compared without case; empty when it lies elsewhere.
std::string PayloadEntryName(const std::string& expanded_path);

// Expands a configuration text as the installer does (after LoadConfiguration).
std::string ExpandNarrow(const std::string& text);

// The loaded install configuration (valid after LoadConfiguration).
BrioCommon::InstallConfigParser& LoadedInstallConfig();
// The default property table (props.xml) of the last LoadConfiguration().
const BrioCommon::PropertiesParser& LoadedProperties();

// Reads a whole file as bytes; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
