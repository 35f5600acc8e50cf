// The run-wide state owned by the driver: flags, paths, the payload's records
// and the progress values that the worker threads publish. One instance for
// the whole process (Run()).
//
// Lower layers never include this header: run_handlers.h hands them what
// they need (an extraction request, a progress sink, an install context, the
// fatal-error handler).
//
// Threads: the main thread, at most one worker thread and the status thread.
// Every value has a single writer; the values read across threads are atomic
// or, where one atomic cannot hold them, guarded, so that a poll never sees a
// torn value.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet/cab_extract.h"
#include "driver/payload.h"
#include "engine/reg_value.h"

// A short text written by one thread and read by others. A spin lock guards
// it (the win32 thread model of the Windows build has no std::mutex); the
// holder only copies at most 256 bytes.
class GuardedName {
 public:
  static constexpr size_t kCapacity = 256;  // with the terminating zero
  // Keeps the first kCapacity - 1 characters.
  void Set(const std::string& text);
  std::string Get() const;

 private:
  mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
  char text_[kCapacity] = {};
};

// The questions the install worker asks the player.
enum class RunPrompt : int {
  kProductRunning = 0,  // files could not be written: close the product
  kVolumeFault = 1,     // a volume of the installer is missing or damaged
};

// The steps of the driver's loop, in their order: a page's Next moves to the
// following step, Back to the one before.
enum class RunStep { kConfiguration, kWelcome, kOptions, kLicense, kInstall, kStoreSelection, kFinish };

inline RunStep NextStep(RunStep step) { return static_cast<RunStep>(static_cast<int>(step) + 1); }
inline RunStep PreviousStep(RunStep step) { return static_cast<RunStep>(static_cast<int>(step) - 1); }

// What the run does with the installer: install the game (the default), or
// check an installed one against its manifest ("-verify"), or put back
// its missing and changed files ("-repair").
enum class RunMode { kInstall, kVerify, kRepair };

struct RunState {
  RunStep step = RunStep::kConfiguration;
  RunMode mode = RunMode::kInstall;

  std::atomic<bool> aborted{false};
  bool silent = false;
  bool progressOnly = false;
  bool pathGiven = false;
  bool fatalErrorShown = false;
  bool ansiWindows = false;
  bool changeSettings = true;
  bool fileAssociations = true;  // the options page's file association box

  // Written by the worker threads, polled by the driver and the pages.
  std::atomic<bool> done{false};
  std::atomic<bool> failed{false};
  std::atomic<int32_t> overallPercent{0};
  std::atomic<int32_t> filePercent{0};
  GuardedName currentFileName;
  // The user's answer to the not-running prompt that the install worker asks
  // through the ask and answer events (an IDOK/IDCANCEL button code).
  std::atomic<int> promptAnswer{0};
  // Which question the worker asks (a RunPrompt), and the volume it names.
  std::atomic<int> promptKind{0};
  GuardedName promptVolume;

  std::string installerPath;      // the running executable, at most 255 characters
  std::string payloadPath;        // the file holding the payload ("_Stub" removed)
  std::string tempFolder;         // where cfg\ is extracted
  std::string entryPrefix;        // "cfg\" or "files\"
  std::string destinationFolder;  // ends in a backslash
  std::string savedInstallPath;
  std::string savedInstallGroup;
  std::string forcedLanguage;  // "-language": the property table's language tag
  std::string reportPath;      // "-report": where a silent check writes its report
  // The property table the install copies beside its log when a language
  // table was chosen (the merged table); empty: props.xml.
  std::string propertiesFile;

  std::vector<std::string> extractedFiles;  // every file an extraction wrote
  // The entries the next extraction takes (by their name under the prefix);
  // empty: every one. A repair takes the damaged files, a resumed install
  // the files not yet complete.
  std::function<bool(const std::string&)> entrySelect;
  // The files a resumed install found complete and kept, in the manifest's
  // order: logged as installed before the extracted ones.
  std::vector<std::string> keptFiles;
  // The last ExtractRunCabinet()'s result: written by the worker thread,
  // read once it is done.
  ExtractionResult extraction;
  std::vector<std::string> attachedTexts;   // defines texts of the payload, in file order

  // The cabinet record inside the payload file.
  int32_t cabinetOffset = 0;
  uint32_t cabinetLength = 0;
  // An installer shipped as a set (the volume-set record): the volumes
  // beside it and the files stored in parts.
  std::vector<VolumeExpectation> volumes;
  std::vector<JoinedFile> joinedFiles;
  // The file-hash record: each product file's size and SHA-256, and the
  // installer's id (empty for an installer built without the record).
  std::vector<FileHashEntry> fileHashes;
  std::string installerId;

  // Registry values given with "-regvalue", in command-line order.
  std::vector<RegValue> commandLineRegValues;

  // Windows handles, kept opaque so that portable code can see this header.
  void* statusWindow = nullptr;
  void* askEvent = nullptr;
  void* answerEvent = nullptr;
  void* iconLarge = nullptr;
  void* iconSmall = nullptr;

  int exitCode = 0;
};

RunState& Run();
