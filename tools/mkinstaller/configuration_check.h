// "check" as both "mkinstaller check" and "mkinstaller build" run it: loads
// the configuration with the installer's own readers, then looks for what
// will surely go wrong or look wrong at install time.
#pragma once

#include <string>
#include <vector>

struct CheckRequest {
  std::string cfg_dir;
  std::string files_dir;                   // empty: the packed files are not known
  std::vector<std::string> defines_texts;  // contents, in payload order
  // Host path of the uninstaller that build places where UninstallCmd
  // points; empty when the build adds none.
  std::string uninstaller_path;
};

struct CheckOutcome {
  std::vector<std::string> warnings;
  std::string summary;  // one line: entries, bytes, install folder, what the install registers
  // The cabinet entry ("files\Uninstall\Uninstall.exe") that UninstallCmd
  // names, or empty with uninstaller_error saying why there is none.
  std::string uninstaller_entry;
  std::string uninstaller_error;
};

// On a load error prints the installer's own text and returns 1; otherwise
// fills *outcome and returns 0. Prints nothing else.
int CheckConfiguration(const CheckRequest& request, CheckOutcome* outcome);

// The options "check" and "build" share: what goes into the payload besides
// the configuration folder.
struct PayloadOptions {
  std::string files_dir;
  // Defines texts in command-line order: a file of --defines-text, or a run
  // of consecutive --define options gathered into one text.
  struct Source {
    bool is_file;
    std::string value;  // the file, or the generated text
  };
  std::vector<Source> texts;
  bool with_uninstaller = false;  // --with-uninstaller, or --uninstaller FILE
  std::string uninstaller;        // the FILE of --uninstaller
};

// Takes the option at argv[*i] (and its value) when it is one of the shared
// ones. Returns 1 when taken, 0 when not one of them, -1 on a bad value (with
// *problem set).
int TakePayloadOption(int argc, char** argv, int* i, PayloadOptions* options, std::string* problem);

// The contents of the defines texts in payload order; false (after printing
// why) when a file cannot be read or is empty.
bool LoadDefinesTexts(const PayloadOptions& options, std::vector<std::string>* texts);

// The uninstaller to place: --uninstaller FILE, or the one found by the
// search order of tool_files.h. False (after printing why) when none is found.
bool ResolveUninstaller(const PayloadOptions& options, std::string* path);

// The usage lines of the shared options.
extern const char kPayloadOptionsUsage[];
