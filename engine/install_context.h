// What the install worker and its actions need from the run that started
// them, as one small interface. The driver owns the run-wide state and
// implements this over it; it puts its implementation into the install job
// (engine/install_job.h) that it hands to the worker and the actions, and
// tests do the same with the driver's or their own. Nothing in engine/ reads
// the driver's state directly, so a second program (an uninstaller) can run
// the same actions with a context of its own.
//
// Threads: the worker thread calls these while the main thread polls the
// run; implementations keep every value that both see atomic or guarded.
#pragma once

#include <string>
#include <vector>

#include "cabinet/cab_extract.h"
#include "engine/install_manifest.h"
#include "engine/reg_value.h"

class InstallContext {
 public:
  virtual ~InstallContext() = default;

  // The run is being cancelled (the user's Cancel or a fatal error). Steps
  // that report an error but go on put the flag back as it was.
  virtual bool Aborted() const = 0;
  virtual void SetAborted(bool aborted) = 0;

  // The options page's file association box.
  virtual bool FileAssociationsChosen() const = 0;
  // Registry values given on the command line; the registry step merges and
  // empties the list.
  virtual std::vector<RegValue>& CommandLineRegValues() = 0;

  // The folder holding the extracted configuration (props.xml and others).
  virtual std::string ConfigFolder() const = 0;
  // The property table the install leaves beside its log for the
  // uninstaller: props.xml of the configuration unless the run chose a
  // language table (then the default table with that language over it).
  virtual std::string PropertiesFile() const { return ConfigFolder() + "\\props.xml"; }
  // The product files: where they are in the payload and where they go.
  virtual ExtractionRequest ProductFiles() const = 0;
  // The manifest of the product files as this run installs them (installer
  // id, root, each file's size, hash and path), in state incomplete; false
  // when the installer carries no file hashes (then no manifest is written).
  virtual bool ProductManifest(InstallManifest* manifest) const { return false; }
  // Progress of the extraction and of the program lists.
  virtual ExtractionProgress& Progress() = 0;
  // Every file an extraction of this run wrote, in order.
  virtual const std::vector<std::string>& ExtractedFiles() const = 0;
  // The files a resumed install found complete from the run before and
  // kept (the product files' request then leaves them out): the log lists
  // them as installed, before the extracted ones. None unless resuming.
  virtual const std::vector<std::string>& KeptFiles() const { return kNoFiles; }
  // The run's failed flag: the product files could not be extracted.
  virtual void SetExtractionFailed(bool failed) = 0;

  // Asks the user to close the product before the extraction is tried again
  // (from the worker thread); the answer is an IDOK/IDCANCEL button code.
  virtual int AskProductNotRunning() = 0;
  // Asks the user to copy a missing or damaged volume of the installer
  // (named by its file name) beside it; true for Retry, false for Cancel.
  // Silent runs and contexts without a user answer Cancel.
  virtual bool AskVolumeRetry(const std::string& volume_name) { return false; }

 private:
  static inline const std::vector<std::string> kNoFiles;
};
