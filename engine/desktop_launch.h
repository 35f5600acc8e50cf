// Opening what the player asked for at the end of an install (the game, the
// readme) as the desktop's user. The installer runs elevated; a game started
// by it directly would run as administrator, and so would everything the
// game starts. Where the run holds the elevated half of a split token, the
// file is handed to the shell's own process (the desktop's explorer, which
// runs unelevated as the user who is logged on) to open; where that is not
// possible (no shell window, no split token: Windows XP, UAC turned off, a
// run as SYSTEM) it is opened directly, as before.
//
// The decision is portable and tested on the host; the opening itself is
// the Windows side (desktop_launch_win.cpp).
#pragma once

#include <string>
#include <vector>

// The run's token as the system describes it.
enum class TokenKind {
  kNoElevation,  // the system has no elevation (Windows XP) or will not say
  kDefault,      // no split token: UAC off, the built-in Administrator, SYSTEM
  kElevated,     // the full half of a split token: the user's own session is unelevated
  kLimited,      // the limited half: already unelevated
};

enum class LaunchRoute {
  kDesktopShell,  // the desktop's shell process opens it
  kDirect,        // ShellExecute from this process
};

// The routes to try, in order, for a run with that token.
std::vector<LaunchRoute> LaunchRoutesFor(TokenKind token);

#ifdef _WIN32
// This process's token kind.
TokenKind CurrentTokenKind();

// Opens `file` with the verb "open" (no parameters, working folder
// `directory`, normal window) along the routes LaunchRoutesFor gives.
// Returns the route that took it, or false when none did.
bool OpenAsDesktopUser(const std::string& file, const std::string& directory, LaunchRoute* route = nullptr);
#endif
