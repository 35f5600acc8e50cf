// How the driver connects its run-wide state (run_state.h) to the layers
// below it. Lower layers never see RunState: the cabinet extraction gets an
// ExtractionRequest and an ExtractionProgress, the engine the run's
// InstallJob (with an InstallContext over the run-wide state), and every
// fatal error goes to the handler installed here.
#pragma once

#include <string>

#include "base/string_utils.h"
#include "cabinet/cab_extract.h"

class InstallContext;
struct InstallManifest;
class InstallJob;

// The run's fatal-error handler: sets the aborted flag and, unless the run
// is silent, shows the expanded message box.
void HandleRunFatalError(const WString& message);

// Installs HandleRunFatalError. The stub calls it first thing; tests that
// assert on the run's flags call it in their set-up.
void ConnectRunHandlers();

// The extraction the run's values describe: the payload file, the cabinet's
// offset in it, the entry prefix and the destination folder.
ExtractionRequest RunExtractionRequest();

// The manifest of the product files for the run's destination folder, from
// the installer's file-hash record; false when the installer has none.
bool RunProductManifest(InstallManifest* manifest);

// The run's progress sink: overall and file percent, the current file name
// and the extracted-files list of the run-wide state.
ExtractionProgress& RunExtractionProgress();

// ExtractCabinet with the two above; true on success. The result stays in
// the run state for the accessors below.
bool ExtractRunCabinet();

// Windows: the not-running question as a message box of its own (OK or
// Cancel, as IDOK/IDCANCEL), for when no progress page asks it.
int ShowNotRunningPrompt();

// The last ExtractRunCabinet()'s values (cabinet/cab_extract.h says what
// each one means).
int64_t CabinetRequiredSpace();
int64_t CabinetTotalBytes();
const std::string& CabinetExtractionError();
bool CabinetEntryRefused();

// Windows: the driver's InstallContext (engine/install_context.h) over the
// run-wide state; the engine's tests build their jobs on it.
InstallContext& RunInstallContext();

// Asks the player for a missing or damaged volume of the installer (Retry
// or Cancel) through the run's context; true to try again. The host has no
// one to ask.
bool AskRunVolumeRetry(const std::string& volume_name);

// Windows: the run's install job (engine/install_job.h), over the context
// above and the main variable store; the driver owns it and hands it to the
// install worker, the actions it calls itself and the pages' structures.
InstallJob& RunJob();
