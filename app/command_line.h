// The launcher's command line: the tokeniser that turns it into the option list,
// what the option list asks for, and the argument text a restart passes on.
//
// Command-line grammar (blanks are spaces and tabs):
//   line      := blanks? program (blanks token)*
//   program   := characters up to the first blank outside double quotes; quotes
//                toggle the quoted state and stay part of the name (skipped)
//   token     := "-" name [value]  |  argument
//   name      := characters up to the next blank
//   value     := the next token when it exists and does not begin with "-";
//                the option "h" never takes one
//   argument / value := '"' text up to the next '"' (or the end of the line) |
//                       characters up to the next blank
// Options are stored under their name, other arguments under "NoTag_1", "NoTag_2"...
// Every token becomes a new entry, so a repeated option is there twice and a
// lookup finds the first. Keys compare exactly: "-A" is not "-a".
#pragma once

#include <cstdint>

#include "raw/parameter_list.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace AppLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

// Appends the options of `commandLine` (UTF-8, program name first) to `options`
// and turns on exact key lookups.
void ReadCommandLine(const RawString& commandLine, RawParameterList& options);

// What the option list asks of this run.
struct GuiCommandLine {
  // "a", "l", "r" or "d" (the last of them on the line wins), else empty.
  RawString runKind;
  RawString runName;
  // The value of "NoTag_1": the first argument that is not an option.
  RawString firstArgument;
  // The values of every key beginning with "NoTag", in order (the paths of a drop run).
  RawStringList arguments;
  // The value of the first "-c".
  RawString configOption;
  // The process id after "-@"; 0 when absent or not a valid 32-bit process id.
  uint32_t restartProcessId = 0;
  // "-k": check the profile instead of running anything; its value, when given, names the
  // configuration file to check (as "-c" does).
  bool check = false;
  RawString checkFile;

  bool HasRun() const { return !runKind.IsEmpty(); }
};
GuiCommandLine ReadOptions(const RawParameterList& options);

// The configuration file: `fromProfile` (the [Common] choice), replaced by a
// non-empty "-k" or "-c" value resolved against the program folder, else, when no
// run is asked for, by a first argument ending in ".ini" (case-sensitive), used
// unchanged.
RawString ChooseConfigFile(const RawString& fromProfile, const GuiCommandLine& commandLine,
                           const RawString& programFolder);

// The arguments of a restarted instance: "-@ <processId>", then every option but
// "@" in list order as " -key" and, for a non-empty value, " value". A value that holds a
// blank or begins with '-' is written in double quotes, so that the restarted instance reads
// every value as it was (a profile in "C:\Users\Jo Smith" stays one path).
RawString BuildRestartArguments(const RawParameterList& options, uint32_t processId);

}  // namespace AppLayer
