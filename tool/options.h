// Tessera's options: the command line split into an option list, the number rules of
// the geometry options, and the option record that the work reads.
//
// Command-line grammar (blanks are spaces and tabs):
//   line     := blanks? program (blanks token)*
//   program  := characters up to the first blank outside double quotes (skipped)
//   token    := "-" name [value] | argument
//   name     := characters up to the next blank
//   value    := the next token, for the options that take one (n c f x y w h X Y W H e d),
//               when it exists and does not begin with "-"
//   argument / value := '"' text up to the next '"' (or the end) | characters up to a blank
// Options are stored under their name (exact keys: "-x" is not "-X"), other arguments under
// "NoTag_1", "NoTag_2"... and are not used. A data section's "RectSpec" is a text of tokens
// without the program name and goes through the same rules.
#pragma once

#include <cstdint>

#include "raw/parameter_list.h"
#include "raw/string.h"
#include "raw/string_list.h"

namespace ToolLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

inline constexpr char kToolName[] = "Tessera";
inline constexpr char kUsageText[] =
    "Arguments = [-n name]* [-c class]* [-f file]* [-m] [-M] [-e section|-d section] "
    "[[-x|-X] [#|+]num] [[-y|-Y] [#|+]num] [[-w|-W] [#|+]num] [[-h|-H] [#|+]num] "
    "[-p|-l|-k|-q|-i|-a|-t|-T|-o|-b|-g|-s|-s-|-s+|-S|-S-|-S+] [-z]";

// Bits of ToolOptions::flags.
enum ToolFlag : uint32_t {
  FlagGeometry = 0x0001,      // -x -y -w -h -X -Y -W -H
  FlagWindowList = 0x0002,    // -l
  FlagPickWindow = 0x0004,    // -m
  FlagPickRect = 0x0008,      // -M
  FlagTerminate = 0x0010,     // -k
  FlagClose = 0x0020,         // -q
  FlagMinimize = 0x0040,      // -i
  FlagRestore = 0x0080,       // -a
  FlagToTop = 0x0100,         // -t
  FlagTopmost = 0x0200,       // -T
  FlagNotTopmost = 0x0400,    // -o
  FlagQuiet = 0x0800,         // -z
  FlagFlash = 0x1000,         // -b
  FlagCopyRect = 0x2000,      // -g
  FlagWindowGiven = 0x4000,   // -n -c -f
  FlagOpenProfile = 0x8000,   // -p
  FlagSections = 0x10000,     // -e (and -d)
  FlagDelete = 0x20000,       // -d
  FlagStore = 0x100000,       // the -s family
  FlagStoreFull = 0x200000,   // upper-case S: title and file stored as well
  FlagStoreByClass = 0x400000,  // "-": the section is named after the class
  FlagStoreNumbered = 0x800000,  // "+": a free numbered name
};

// Bits of ToolGeometry::flags: absolute x, y, w, h and relative X, Y, W, H.
enum ToolGeometryFlag : uint16_t {
  GeometryLeft = 0x0001,
  GeometryTop = 0x0002,
  GeometryWidth = 0x0004,
  GeometryHeight = 0x0008,
  GeometryMoveLeft = 0x0010,
  GeometryMoveTop = 0x0020,
  GeometryAddWidth = 0x0040,
  GeometryAddHeight = 0x0080,
};

// One value per axis; the bits tell whether it is absolute or relative.
struct ToolGeometry {
  uint16_t flags = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;

  // Sets an absolute (0..3) or relative (4..7) bit and clears its counterpart.
  void Set(ToolGeometryFlag flag, int32_t value);
  bool Any() const { return flags != 0; }
};

struct ToolOptions {
  uint32_t flags = 0;
  ToolGeometry geometry;
  RawStringList names;    // title patterns
  RawStringList classes;  // class patterns
  RawStringList files;    // executable-file patterns
  RawString section;      // the -e / -d pattern
  bool usage = false;     // -?

  bool Has(uint32_t flag) const { return (flags & flag) == flag; }
  bool HasPatterns() const { return !names.IsEmpty() || !classes.IsEmpty() || !files.IsEmpty(); }
  // A copy with lists of its own, so that adding patterns to it leaves this record alone
  // (a plain copy shares the list bodies).
  ToolOptions Clone() const;
};

// Appends the options of a whole command line (program name first) to `options` and
// turns on exact key lookups.
void ReadToolCommandLine(const RawString& commandLine, RawParameterList& options);
// The same for a text of tokens without a program name (a "RectSpec").
void ReadOptionText(const RawString& text, RawParameterList& options);

// A geometry number: a leading "+" is skipped; a leading "#" negates what follows
// ("#10" is -10, "#-10" is 10); otherwise an optional "-"; then decimal digits, reading
// stopping at the first other character ("12px" is 12). A text without any digit ("", "#",
// "+") is no number and gives false. Values beyond 32 bits are held at the 32-bit limits.
[[nodiscard]] bool ParseToolNumber(const RawString& text, int32_t& value);

// Applies the option list in its order to the record: later geometry of an axis replaces
// earlier, patterns accumulate. Options without their value are ignored (an empty pattern,
// a geometry option without digits), as are unknown options and arguments.
void ApplyOptions(const RawParameterList& list, ToolOptions& options);

}  // namespace ToolLayer
