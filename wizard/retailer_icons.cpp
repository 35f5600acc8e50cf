#include "wizard/retailer_icons.h"

#include <algorithm>
#include <cctype>

namespace {

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void KeepChosenRetailerIcons(std::vector<std::string>* temporary_resources, const std::vector<std::string>& chosen_icons) {
  for (const std::string& icon : chosen_icons) {
    const std::string wanted = UpperAscii(icon);
    temporary_resources->erase(std::remove_if(temporary_resources->begin(), temporary_resources->end(),
                                              [&](const std::string& entry) { return UpperAscii(entry) == wanted; }),
                               temporary_resources->end());
  }
}
