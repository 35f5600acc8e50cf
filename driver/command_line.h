// The command line: options that let another program run the installer
// silently or with only the progress page, wait for a process first, inject
// registry values, give the install folder, and follow the progress through
// a window message.
//
//   -silent  -onlyprogressui  -waitpid=1234  -msgwnd=1A2B
//   -regvalue="0,HKLM\Software\Game\Path=C:\Games"
//   -fnfsystemupdate="C:\Games\Game\game.exe"
//   -language=de-AT   (the texts of that language's property table)
//   -repair  -repair="C:\Games\Game"   (repair the install, in that folder)
//   -verify[="C:\Games\Game"]   (check the installed game; -report=FILE)
//
// Options are separated by blanks; double quotes group characters and a
// closing quote also ends an option; the first '=' outside quotes separates
// the name from the value. Names are compared exactly; unknown options and
// malformed values are ignored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/reg_value.h"

using OptionHandler = std::function<void(const std::string& name, const std::string& value)>;

// Cuts the text into options and calls handler for each one with a name.
void SplitCommandLine(const std::string& text, const OptionHandler& handler);

// Cuts the text into options and applies each to the run (HandleOption).
void ParseCommandLine(const std::string& text);

// Applies one option to the run: its flags, the variable InstallPath, the
// command-line registry values and the status window.
void HandleOption(const std::string& name, const std::string& value);

// "-regvalue": TypeNum ',' key '\' name '=' data. False when the value is
// malformed or names a type other than 0 or 1.
bool ParseRegValueOption(const std::string& value, RegValue* record);

// "-fnfsystemupdate": the folder two levels above the product's executable
// ("C:\Games\Game\game.exe" gives "C:\Games"); empty with two or fewer
// path pieces.
std::string InstallFolderFromProductPath(const std::string& value);

// "-msgwnd": hexadecimal digits without "0x". False when they do not form a
// number.
bool ParseWindowHandle(const std::string& value, uintptr_t* handle);

// Waits until the process with that id has ended; returns at once when it
// cannot be opened. (Windows only does the waiting; the host answers at once.)
void WaitForProcessToEnd(int process_id);
