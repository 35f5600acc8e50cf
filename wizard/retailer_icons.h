// Which shortcut icon files of the retailers survive the run. Every
// retailer's icons are extracted with the configuration and listed as
// temporary resources, which the driver deletes at the end of the run; the
// icons of the retailer the player chose are taken off that list, because
// the shortcuts just created point at them.
#pragma once

#include <string>
#include <vector>

// Removes from `temporary_resources` every entry equal, ignoring letter
// case, to one of `chosen_icons` (the chosen retailer's expanded shortcut
// icon paths).
void KeepChosenRetailerIcons(std::vector<std::string>* temporary_resources, const std::vector<std::string>& chosen_icons);
