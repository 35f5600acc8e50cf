// Repair and resume, the two runs that extract only part of the product:
//
// - "-repair": after the configuration step, the install's manifest is read
//   and checked (engine/repair_plan.h names the refusals); the missing and
//   changed files are extracted, with the progress page, into the run's
//   temporary folder, each checked against the manifest, and only then moved
//   over the installed ones; a second check must then be clean. A failure
//   before the move (an installer whose data fails its own checks, a
//   cancelled page) leaves the install as it was.
// - Resume: a normal run whose install folder holds the manifest of an
//   install by this same installer that stopped part-way offers to continue
//   it (a silent run continues): the files already complete are kept and
//   logged as installed, the rest extracted as usual.
// Windows only.
#pragma once

// The repair run, in place of the pages and the install: sets the run's
// exit code (installer_run.h) and shows the outcome unless silent.
void RunRepairStep();

// Called by the install step before the worker starts: when the install
// folder holds an unfinished install of this installer and the player
// agrees, the run's extraction leaves out the complete files and the log
// lists them as kept. Otherwise nothing changes.
void PrepareResume();
