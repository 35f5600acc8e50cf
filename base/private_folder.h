// A folder of the run's own in a shared temporary folder. The installer
// extracts the programs and libraries it later runs into such a folder, and
// the uninstaller copies itself into one: a folder another process could
// write to, or one somebody else made first, would let that process swap
// what the elevated program runs. So the folder is always new (a name that
// exists already is never taken over, and nothing but the folder the run
// made is ever deleted), and in an elevated run only SYSTEM and the
// Administrators may change it; the user keeps reading and running it (the
// readme and the game are opened unelevated).
#pragma once

#include <string>

enum class PrivateFolderError {
  kNone,
  kNoFreeName,      // every name of the form was taken
  kCannotCreate,    // the system refused to create the folder (no such parent, no right)
  kNoDescriptor,    // the restricted security descriptor could not be built
};

struct PrivateFolder {
  std::string path;  // empty on failure
  PrivateFolderError error = PrivateFolderError::kNone;
  bool restricted = false;  // made with the restricted descriptor
};

// The access list of an elevated run's folder, in the system's descriptor
// language: protected (nothing inherited from the parent), full control for
// SYSTEM and the Administrators, read and run for `user_sid`, for the folder
// and everything made inside it.
std::string PrivateFolderDescriptor(const std::string& user_sid);

// The name the n-th try gives: base + "\" + prefix + n in upper-case hex.
std::string PrivateFolderName(const std::string& base, const std::string& prefix, unsigned number);

#ifdef _WIN32
// True when the process runs with an elevated token (Windows Vista and
// later; false where the system has no elevation).
bool RunsElevated();

// Creates a new folder PrivateFolderName(base, prefix, n) for n from a
// number of the moment on, up to 65536 tries, with the restricted
// descriptor when `restricted`. A name that exists is skipped, never used.
PrivateFolder MakePrivateFolder(const std::string& base, const std::string& prefix, bool restricted);
#endif
