// How the game and the readme are opened at the end of an install: through
// the desktop's shell only where the run holds the elevated half of a split
// token (the desktop's user runs unelevated), always with the direct start
// as the fallback; every other run starts them itself, as before.
#include <gtest/gtest.h>

#include "engine/desktop_launch.h"

TEST(DesktopLaunch, RoutesFollowTheToken) {
  using R = LaunchRoute;
  const struct {
    TokenKind token;
    std::vector<LaunchRoute> routes;
  } cases[] = {
      {TokenKind::kElevated, {R::kDesktopShell, R::kDirect}},
      {TokenKind::kDefault, {R::kDirect}},      // UAC off, built-in Administrator, SYSTEM
      {TokenKind::kLimited, {R::kDirect}},      // already the user's own rights
      {TokenKind::kNoElevation, {R::kDirect}},  // Windows XP
  };
  for (const auto& c : cases) EXPECT_EQ(LaunchRoutesFor(c.token), c.routes) << static_cast<int>(c.token);
}
