#include "engine/desktop_launch.h"

std::vector<LaunchRoute> LaunchRoutesFor(TokenKind token) {
  // Only the elevated half of a split token has an unelevated user to hand
  // over to; every other run opens the file itself, as it always did.
  if (token == TokenKind::kElevated) return {LaunchRoute::kDesktopShell, LaunchRoute::kDirect};
  return {LaunchRoute::kDirect};
}
