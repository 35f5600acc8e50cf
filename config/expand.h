// The expansion language of every configurable text.
//
//   %Name%            the value of Name in the variable store (names are
//                     case-insensitive), itself expanded before it is inserted
//   %%                a literal "%" (turned into one "%" only when collapsing)
//   #Command args | alternative
//                     a define command at the start of the text; its value,
//                     or the alternative when it produces none, replaces the
//                     whole text and is evaluated again in turn
//   ##...             a literal "#" at the start (no command this round)
//
// After every substitution the whole text is scanned again from the start.
#pragma once

#include <functional>
#include <vector>

#include "base/string_utils.h"

class DefinesParser;

// Expands `text`. `collapse` turns each "%%" into "%" at the very end; every
// caller outside this file passes true. Never fails: unknown variables are
// empty and a command without a value falls back to its alternative.
//
// Runaway texts terminate with a defined result:
//  - a reference to a variable whose value is being expanded already (the
//    variable refers to itself, directly or through others) is replaced by
//    the empty string;
//  - when one call would need more than kMaxExpansionSteps substitutions and
//    command evaluations, more than kMaxExpansionDepth nested expansions, or
//    a text longer than kMaxExpansionLength characters (a registry value that
//    names itself, exponential growth), the whole call returns the empty
//    string.
WString Expand(const DefinesParser& variables, const WString& text, bool collapse);

// The same in the main variable store (MainVariables()): the texts of the
// wizard pages, of the message boxes and of the uninstaller, which have one
// store for the whole process. Code that works for one install job expands
// in the job's variables instead (InstallJob::Expand).
WString Expand(const WString& text, bool collapse);

// The form of a plain text (a file name, an error text that quotes one) that
// Expand(..., true) gives back exactly: every "%" doubled and a leading "#"
// doubled, so that no part of it is taken for a reference or a command.
// Messages that quote names pass them through it before they are expanded.
WString LiteralForExpand(const WString& text);

constexpr int kMaxExpansionSteps = 4096;
constexpr int kMaxExpansionDepth = 64;
constexpr size_t kMaxExpansionLength = 1u << 20;

// Runs one define command on already expanded arguments. True with `value`
// set when the command produced a value. An unknown name shows the fatal
// error "Invalid define command: '<name>'" and produces none.
bool EvalDefineCommand(const WString& name, const std::vector<WString>& arguments, WString* value);

// A define command that one program adds to the language for its own texts
// (the uninstaller evaluates the log's "#HasDirectoriesExcept" entries this
// way). It gets the expanded arguments and, like the built-in commands,
// returns true with `value` set when it produces a value. Added commands are
// consulted only for names the language itself does not know; replacing or
// removing one (an empty handler) is allowed.
using DefineCommand = std::function<bool(const std::vector<WString>& arguments, WString* value)>;
void AddDefineCommand(const WString& name, DefineCommand handler);
