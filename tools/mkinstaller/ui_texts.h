// Every UI text the installer's pages and message boxes show, by property ID:
// the one list that "init" writes into a new props.xml and that "check" looks
// up to warn about texts a configuration leaves empty (a page would show an
// empty title or button).
#pragma once

#include <string>
#include <vector>

// When a text can appear at all; texts of a feature the configuration does
// not use are not worth a warning.
enum class UiTextShown {
  kAlways,
  kWithReadme,            // a readme file in the configuration folder (View Readme button)
  kWithRunExe,            // RunExe is set (the launch check box)
  kWithFileAssociations,  // the options page with the association check box
  kWithRetailers,         // the store selection page
  kWithRequiredInstall,   // RequiredInstallPath names an earlier install
};

struct UiText {
  const char* group;  // the page or message it belongs to, for comments
  const char* id;
  // The text "init" writes; nullptr for the IDs the installer gives a
  // built-in default, whose default text is then written.
  const char* starter_text;
  UiTextShown shown;
};

const std::vector<UiText>& UiTexts();

// The text init writes for an entry: its starter text or the built-in default.
std::string StarterText(const UiText& text);
