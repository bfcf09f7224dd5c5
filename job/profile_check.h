// The profile checker: reads a launcher profile the way the launcher does, runs nothing, and
// reports every problem it can see in the text, each at its line.
//
// What it reports (errors make a run fail or misbehave for sure; warnings are likely mistakes):
//   - a file that cannot be opened or read to its end, that is not text, or that holds no section;
//   - braces that do not balance (the "{" that never closes, a stray "}"), blocks nested too deep;
//   - an unknown command word, with the nearest known one as a hint;
//   - a command without a parameter it always needs (If without Condition, Shell without Command
//     and Parameter, InputText without 0:Variable, ...);
//   - "Action" naming, as written, no [Action:...] section;
//   - MenuItem or Separator outside a Menu; Else with no If before it in the script (warning);
//   - a reference "$(" without its ")"; a function given fewer arguments than it needs, or more
//     than it takes (warning: a ":" inside an argument splits it);
//   - "$(Name)" whose name is no function, no variable the launcher sets and no variable the
//     profile assigns (warning);
//   - what the settings sections hold, through a section check of the layer that owns them.
// Diagnostics are "PATH(LINE): error: TEXT" or "PATH(LINE): warning: TEXT", sorted by file and
// line, then a summary line "N errors, M warnings". Lines count from 1 as an editor shows them.
#pragma once

#include <cstdint>
#include <vector>

#include "raw/string.h"
#include "raw/string_list.h"

namespace JobLayer {

using RawLayer::RawRangedTextList;
using RawLayer::RawString;

struct JobDiagnostic {
  RawString path;
  int32_t line = 0;
  bool error = false;
  RawString text;
  // The file does not read as a profile here (not text, unbalanced blocks, ...): a launcher that
  // loaded it would lose sections, so a live reload refuses it.
  bool breaksReading = false;
};

class JobDiagnostics {
 public:
  void Error(const RawString& path, int32_t line, const RawString& text);
  void Warning(const RawString& path, int32_t line, const RawString& text);
  // An error that breaks the reading of the file.
  void ReadError(const RawString& path, int32_t line, const RawString& text);
  // The first such error of the first file that has one, or null.
  const JobDiagnostic* FirstReadError() const;
  int32_t Errors() const { return errors_; }
  int32_t Warnings() const { return warnings_; }
  // In report order: the files in the order they were first named, each by line.
  std::vector<JobDiagnostic> Sorted() const;
  // One line per diagnostic, then the summary; lines end with "\n".
  RawString Report() const;
  static RawString Line(const JobDiagnostic& diagnostic);
  RawString Summary() const;

 private:
  void Add(const RawString& path, int32_t line, bool error, const RawString& text);
  std::vector<JobDiagnostic> items_;
  int32_t errors_ = 0;
  int32_t warnings_ = 0;
};

class JobProfileChecker {
 public:
  // Checks a settings section that another layer reads. `header` is the header line's number.
  class SectionCheck {
   public:
    virtual ~SectionCheck() = default;
    // True when the check knows the section of this name (the text between the brackets).
    virtual bool Knows(const RawString& section) const = 0;
    virtual void Check(const RawString& path, const RawString& section, int32_t header,
                       const RawRangedTextList& lines, JobDiagnostics& out) = 0;
  };

  explicit JobProfileChecker(JobDiagnostics& out) : out_(out) {}
  void SetSectionCheck(SectionCheck* check) { sectionCheck_ = check; }
  // The launcher profile: its scripts and every section the section check knows.
  void CheckLauncherProfile(const RawString& path);
  // Another file of the launcher (the GUI profile): only the sections the section check knows.
  void CheckSettingsFile(const RawString& path);

 private:
  void CheckFile(const RawString& path, bool scripts);
  JobDiagnostics& out_;
  SectionCheck* sectionCheck_ = nullptr;
};

// The command word nearest to `word` (letter case counts little, one edit a little more), or the
// empty text when none is near enough to be a likely typo.
RawString NearestCommandWord(const RawString& word);

// The number of arguments a function takes: at least `least`, at most `most` (-1: any number).
struct JobFunctionArity {
  const char* name;
  int32_t least;
  int32_t most;
};
// The arity of the function of that name, or null for a name that is no function.
const JobFunctionArity* FunctionArity(const RawString& name);

}  // namespace JobLayer
