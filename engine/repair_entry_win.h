// The uninstall entry's repair: Windows lists a non-Windows-Installer entry
// with a Change button when it has a "ModifyPath" command and no "NoModify"
// (Repair is the Windows Installer's own button: "NoRepair" hides it). The
// command starts this installer with -repair for the install folder; it is
// written only where the installer ran from a place that can be expected to
// keep it (engine/repair_plan.h) and the install keeps a manifest to repair
// from.
#pragma once

#include <windows.h>

class InstallJob;

// Writes "ModifyPath", "NoModify" (0) and "NoRepair" (1) into the open
// uninstall key when the repair is offered; nothing otherwise. Best effort,
// as the rest of the entry.
void WriteRepairValues(const InstallJob& job, HKEY key);
