// The questions the install worker asks the player (which one is in
// RunState::promptKind), in the form the progress page and the worker's own
// message box both show: property IDs and message box flags.
#pragma once

#include "wizard/pages_win.h"

// The question now asked; for a volume it also sets %VolumeName%, so it is
// called on the thread that expands the texts while the worker waits.
WorkerPrompt RunWorkerPrompt();

// What every page of the run reads (the wizard's resources, the aborted flag,
// the position memory), for the pages of the run's other modes.
PageBase RunPages();
